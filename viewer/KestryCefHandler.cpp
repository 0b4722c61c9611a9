#include "KestryCefHandler.h"

void CKestryCefHandler::OnAddressChange(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                        const CefString&) {}

// The page title is never shown: the main window keeps its own.
void CKestryCefHandler::OnTitleChange(CefRefPtr<CefBrowser>, const CefString&) {}

void CKestryCefHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
    if (m_pDelegate)
        m_pDelegate->OnBrowserCreated(browser);
}

bool CKestryCefHandler::DoClose(CefRefPtr<CefBrowser>) {
    return false;
}

void CKestryCefHandler::OnBeforeClose(CefRefPtr<CefBrowser> browser) {
    if (m_pDelegate)
        m_pDelegate->OnBrowserClosed(browser);
}

void CKestryCefHandler::OnLoadingStateChange(CefRefPtr<CefBrowser>, bool, bool, bool) {}

void CKestryCefHandler::OnLoadError(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, cef_errorcode_t,
                                    const CefString&, const CefString&) {}

// An empty model: no context menu is shown.
void CKestryCefHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                            CefRefPtr<CefContextMenuParams>,
                                            CefRefPtr<CefMenuModel> model) {
    model->Clear();
}

// The callback is never continued, so every download is cancelled.
void CKestryCefHandler::OnBeforeDownload(CefRefPtr<CefBrowser>, CefRefPtr<CefDownloadItem>,
                                         const CefString&, CefRefPtr<CefBeforeDownloadCallback>) {}

void CKestryCefHandler::OnDownloadUpdated(CefRefPtr<CefBrowser>,
                                          CefRefPtr<CefDownloadItem> downloadItem,
                                          CefRefPtr<CefDownloadItemCallback>) {
    const int percent = downloadItem->GetPercentComplete();
    if (m_pDelegate) {
        const std::int64_t total = downloadItem->GetTotalBytes();
        m_pDelegate->OnDownloadProgress(percent,
                                        static_cast<int>(static_cast<std::uint32_t>(total)));
    }
}

bool CKestryCefHandler::OnBeforeBrowse(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                       CefRefPtr<CefRequest>, bool, bool) {
    return false;
}
