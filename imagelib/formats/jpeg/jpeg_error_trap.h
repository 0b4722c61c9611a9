// libjpeg's error manager for every codec the library creates: a fatal error shows its
// message in the non-blocking message box and jumps back to the armed trap instead of
// ending the process, and at most one message is shown per codec.
#pragma once

#include <csetjmp>
#include <cstdint>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace imagelib {

struct JpegErrorTrap {
    jpeg_error_mgr manager;  // first: libjpeg's err pointer is the trap's address
    std::jmp_buf jump;
    // The first warning, held back: a fatal error that follows shows only its own message,
    // so a damaged file never shows two. JpegEndMessages shows it otherwise.
    char heldWarning[JMSG_LENGTH_MAX];
    std::uint8_t warningHeld;
    std::uint8_t messageShown;
};

// Fills the manager as jpeg_std_error does, with the trap's exits; the codec's err.
jpeg_error_mgr* JpegInstallErrorTrap(JpegErrorTrap* trap);

// The library's own message, beside libjpeg's: a multi-scan image whose scans would take
// far more work than its size justifies is decoded from its first scans only (the parameter
// is the number of scans decoded).
constexpr int kJpegTooManyScans = 1000;

// Shows one of the library's own messages now, as a fatal error's would be shown, and
// returns: the decoding goes on, and no later warning is shown for the codec.
void JpegNotice(j_common_ptr codec, int code, int parameter);

// The codec is ending: a held warning is shown now, unless a message was shown already.
void JpegEndMessages(JpegErrorTrap* trap);

// Runs f with the trap armed; false when a fatal libjpeg error ended it. f holds only calls
// into libjpeg and plain data: the jump skips destructors, so none may be pending.
template <class F>
bool JpegTrapped(JpegErrorTrap* trap, F&& f) {
    if (setjmp(trap->jump) != 0)
        return false;
    f();
    return true;
}

}  // namespace imagelib
