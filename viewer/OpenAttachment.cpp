// The attachment opener of the client handler: a file that the page names, opened through
// the desktop.
#include "KestryCefHandler.h"
#include "ResolveAttachmentName.h"
#include "cef/cef_task.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

namespace {

// The text up to its first NUL character.
CStringW UpToNul(const CefString& s) {
    return CStringW(s.ToWString().c_str());
}

}  // namespace

void CKestryCefHandler::OpenAttachment(CefRefPtr<CefBrowser> browser,
                                       CefRefPtr<CefListValue> arguments) {
    CefRequireUiThread();
    if (!arguments || arguments->GetSize() == 0)
        return;
    CefRefPtr<CefFrame> mainFrame = browser ? browser->GetMainFrame() : nullptr;
    const CStringW url = mainFrame ? mainFrame->GetURL().ToWString().c_str() : L"";
    const CStringW path = ResolveAttachmentName(UpToNul(arguments->GetString(0)), url);
    // Only a name that exists reaches the shell; what the shell then does is not checked.
    if (!path.IsEmpty())
        ::ShellExecuteW(0, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
