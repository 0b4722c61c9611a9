#include "CefView.h"

#include "cef/cef_task.h"
#include "cef/cef_types.h"

namespace {

// The control id of a browser's window; 0 when the window is gone.
int BrowserWindowId(const CefRefPtr<CefBrowser>& browser) {
    CefRefPtr<CefBrowserHost> host = browser ? browser->GetHost() : nullptr;
    CWnd* wnd = host ? CWnd::FromHandle(host->GetWindowHandle()) : nullptr;
    return wnd ? wnd->GetDlgCtrlID() : 0;
}

}  // namespace

CCefView::~CCefView() {
    CefRequireUiThread();
    CefRefPtr<CefBrowser> browser = m_browser;
    if (browser) {
        // Closed while the view still holds it; the reference goes after the request.
        CefRefPtr<CefBrowserHost> host = browser->GetHost();
        if (host && IsWindow(host->GetWindowHandle()))
            host->CloseBrowser(true);
    }
    m_browser = nullptr;
    m_url.Empty();
    if (m_handler && m_handler->GetDelegate() == this)
        m_handler->SetDelegate(nullptr);
}

bool CCefView::CreateBrowser(CRect rect, CefRefPtr<CKestryCefHandler> handler, CWnd* parent,
                             CStringW url, CefRefPtr<CefRequestContext> requestContext) {
    CefRequireUiThread();
    // First, so that the handler can report the browser this request creates.
    handler->SetDelegate(this);
    m_handler = handler;

    CefBrowserSettings settings;
    settings.webgl = STATE_ENABLED;

    CefWindowInfo windowInfo;
    windowInfo.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
    windowInfo.x = rect.left;
    windowInfo.y = rect.top;
    windowInfo.width = rect.right - rect.left;
    windowInfo.height = rect.bottom - rect.top;
    windowInfo.parent_window = parent->GetSafeHwnd();
    windowInfo.menu = static_cast<HMENU>(kBrowserWindowId);

    return CefBrowserHost::CreateBrowser(windowInfo, handler, CefString(url.GetString()), settings,
                                         nullptr, requestContext);
}

void CCefView::LoadUrl(CStringW url) {
    CefRequireUiThread();
    if (!m_browser)
        return;
    m_browser->GetMainFrame()->LoadURL(CefString(url.GetString()));
}

void CCefView::OnBrowserCreated(CefRefPtr<CefBrowser> browser) {
    CefRequireUiThread();
    if (BrowserWindowId(browser) != kBrowserWindowId)
        return;  // a pop-up
    m_browser = browser;
    if (!m_url.IsEmpty())
        LoadUrl(m_url);
}

void CCefView::OnBrowserClosed(CefRefPtr<CefBrowser> browser) {
    CefRequireUiThread();
    if (BrowserWindowId(browser) == kBrowserWindowId)
        m_browser = nullptr;
}

void CCefView::OnDownloadProgress(int, int) {
    CefRequireUiThread();
}
