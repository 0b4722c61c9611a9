// The browser side of the page bridge: the client handler's dispatch of the page's process
// messages, and the opening of attachments through the desktop.
#include "KestryCefHandler.h"
#include "ResolveAttachmentName.h"
#include "afx/afxwin.h"
#include "win32/shellapi.h"
#include "win32/winuser.h"

namespace {

// The text up to its first NUL character.
CStringW UpToNul(const CefString& s) {
    return CStringW(s.ToWString().c_str());
}

}  // namespace

bool CKestryCefHandler::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                                 CefRefPtr<CefFrame> /*frame*/,
                                                 CefProcessId /*source_process*/,
                                                 CefRefPtr<CefProcessMessage> message) {
    const CStringW name = message->GetName().ToWString().c_str();
    if (name == L"titleExit") {
        // Sent, not posted: the main window is closed before this call returns, and the
        // process ends when the message loop does.
        CWinApp* app = AfxGetApp();
        CWnd* mainWnd = app ? app->GetMainWnd() : nullptr;
        if (mainWnd)
            ::SendMessageW(mainWnd->GetSafeHwnd(), WM_CLOSE, 0, 0);
    } else if (name == L"openAttachment") {
        OpenAttachment(browser, message->GetArgumentList());
    }
    return false;
}

void CKestryCefHandler::OpenAttachment(CefRefPtr<CefBrowser> browser,
                                       CefRefPtr<CefListValue> arguments) {
    if (!arguments || arguments->GetSize() == 0)
        return;
    CefRefPtr<CefFrame> mainFrame = browser ? browser->GetMainFrame() : nullptr;
    const CStringW url = mainFrame ? mainFrame->GetURL().ToWString().c_str() : L"";
    const CStringW path = ResolveAttachmentName(UpToNul(arguments->GetString(0)), url);
    // Only a name that exists reaches the shell; what the shell then does is not checked.
    if (!path.IsEmpty())
        ::ShellExecuteW(0, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
