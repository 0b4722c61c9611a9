// The error exits of every libjpeg codec the library creates.
#include "formats/jpeg/jpeg_error_trap.h"

#include <cstring>

#include "win32/message_box.h"

namespace imagelib {
namespace {

constexpr const wchar_t* kMessageTitle = L"JPEG Library Error";

// Texts of the library's own messages, from kJpegTooManyScans on.
const char* const kOwnMessages[] = {
    "Too many scans for the image size: decoded from the first %d only",
    nullptr,
};

JpegErrorTrap* TrapOf(j_common_ptr codec) {
    return reinterpret_cast<JpegErrorTrap*>(codec->err);
}

void ShowText(JpegErrorTrap* trap, const char* text) {
    wchar_t wide[JMSG_LENGTH_MAX];
    std::size_t n = 0;
    // libjpeg's messages are ASCII; any other byte is shown as one Latin-1 character.
    for (; text[n] != '\0' && n + 1 < JMSG_LENGTH_MAX; ++n)
        wide[n] = static_cast<unsigned char>(text[n]);
    wide[n] = L'\0';
    Win32NoticeBoxW(0, wide, kMessageTitle, MB_OK | MB_ICONERROR);
    trap->messageShown = 1;
    trap->warningHeld = 0;
}

// output_message: the codec's current message in the message box.
void ShowMessage(j_common_ptr codec) {
    char text[JMSG_LENGTH_MAX];
    (*codec->err->format_message)(codec, text);
    ShowText(TrapOf(codec), text);
}

// error_exit: show the message once, then back to the armed trap; never into libjpeg.
[[noreturn]] void ErrorExit(j_common_ptr codec) {
    JpegErrorTrap* trap = TrapOf(codec);
    if (!trap->messageShown)
        (*codec->err->output_message)(codec);
    std::longjmp(trap->jump, 1);
}

// emit_message: warnings (level -1) are counted and the first is held; trace messages are
// never shown (the trace level stays 0).
void EmitMessage(j_common_ptr codec, int level) {
    if (level >= 0)
        return;
    JpegErrorTrap* trap = TrapOf(codec);
    if (codec->err->num_warnings == 0 && !trap->messageShown) {
        (*codec->err->format_message)(codec, trap->heldWarning);
        trap->warningHeld = 1;
    }
    ++codec->err->num_warnings;
}

}  // namespace

jpeg_error_mgr* JpegInstallErrorTrap(JpegErrorTrap* trap) {
    jpeg_error_mgr* manager = jpeg_std_error(&trap->manager);
    manager->error_exit = ErrorExit;
    manager->output_message = ShowMessage;
    manager->emit_message = EmitMessage;
    manager->addon_message_table = kOwnMessages;
    manager->first_addon_message = kJpegTooManyScans;
    manager->last_addon_message = kJpegTooManyScans;
    trap->warningHeld = 0;
    trap->messageShown = 0;
    return manager;
}

void JpegNotice(j_common_ptr codec, int code, int parameter) {
    codec->err->msg_code = code;
    codec->err->msg_parm.i[0] = parameter;
    if (!TrapOf(codec)->messageShown)
        (*codec->err->output_message)(codec);
}

void JpegEndMessages(JpegErrorTrap* trap) {
    if (trap->warningHeld && !trap->messageShown)
        ShowText(trap, trap->heldWarning);
    trap->warningHeld = 0;
}

}  // namespace imagelib
