#include "KestryCefHandler.h"

#include "afx/afxwin.h"
#include "cef/cef_task.h"
#include "win32/winuser.h"

void CKestryCefHandler::OnAddressChange(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                        const CefString&) {
    CefRequireUiThread();
}

// The page title is never shown: the main window keeps its own.
void CKestryCefHandler::OnTitleChange(CefRefPtr<CefBrowser>, const CefString&) {
    CefRequireUiThread();
}

void CKestryCefHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
    CefRequireUiThread();
    if (m_pDelegate)
        m_pDelegate->OnBrowserCreated(browser);
}

bool CKestryCefHandler::DoClose(CefRefPtr<CefBrowser>) {
    CefRequireUiThread();
    return false;
}

void CKestryCefHandler::OnBeforeClose(CefRefPtr<CefBrowser> browser) {
    CefRequireUiThread();
    if (m_pDelegate)
        m_pDelegate->OnBrowserClosed(browser);
}

void CKestryCefHandler::OnLoadingStateChange(CefRefPtr<CefBrowser>, bool, bool, bool) {
    CefRequireUiThread();
}

void CKestryCefHandler::OnLoadError(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, cef_errorcode_t,
                                    const CefString&, const CefString&) {
    CefRequireUiThread();
}

// An empty model: no context menu is shown.
void CKestryCefHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                            CefRefPtr<CefContextMenuParams>,
                                            CefRefPtr<CefMenuModel> model) {
    CefRequireUiThread();
    model->Clear();
}

// The callback is never continued, so every download is cancelled.
void CKestryCefHandler::OnBeforeDownload(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem>,
                                         const CefString&, CefRefPtr<CefBeforeDownloadCallback>) {
    CefRequireUiThread();
}

void CKestryCefHandler::OnDownloadUpdated(CefRefPtr<CefBrowser>,
                                          CefRefPtr<CefDownloadItem> downloadItem,
                                          CefRefPtr<CefDownloadItemCallback>) {
    CefRequireUiThread();
    const int percent = downloadItem->GetPercentComplete();
    if (m_pDelegate) {
        const std::int64_t total = downloadItem->GetTotalBytes();
        m_pDelegate->OnDownloadProgress(percent,
                                        static_cast<int>(static_cast<std::uint32_t>(total)));
    }
}

bool CKestryCefHandler::OnBeforeBrowse(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                       CefRefPtr<CefRequest>, bool, bool) {
    CefRequireUiThread();
    return false;
}

// The page's bridge messages; any other name is ignored.
bool CKestryCefHandler::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                                 CefRefPtr<CefFrame> /*frame*/,
                                                 CefProcessId /*source_process*/,
                                                 CefRefPtr<CefProcessMessage> message) {
    CefRequireUiThread();
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
