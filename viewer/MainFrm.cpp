#include "MainFrm.h"

#include <new>

#include "cef/cef_task.h"
#include "resource.h"
#include "win32/resources.h"

namespace {

// The browser window is made this much taller than the client area at creation, while the
// frame still has its menu bar: the bar's height, which the client area gains once the
// menu is removed.
constexpr int kMenuBarAllowance = 20;

}  // namespace

CMainFrame::CMainFrame() : m_pCefView(new (std::nothrow) CCefView) {}

CMainFrame::~CMainFrame() {
    delete m_pCefView;
    m_pCefView = nullptr;
}

CRuntimeClass* CMainFrame::GetRuntimeClass() const {
    static CRuntimeClass runtimeClass{"CMainFrame"};
    return &runtimeClass;
}

// The plain frame routing: the frame, then the application object.
BOOL CMainFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CFrameWndEx::PreCreateWindow(cs))
        return FALSE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    cs.lpszClass = AfxRegisterWndClass(0, 0, 0, 0);
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CFrameWndEx::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (!m_pCefView)
        return -1;  // nowhere to keep the browser

    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    CRect r;
    GetClientRect(r);
    const CRect browserRect(0, 0, r.right - r.left, r.bottom - r.top + kMenuBarAllowance);
    m_pCefView->CreateBrowser(browserRect, handler, this, L"", nullptr);

    const HINSTANCE resources = AfxGetResourceHandle();
    SendMessage(WM_SETICON, ICON_SMALL,
                static_cast<LPARAM>(LoadIconW(resources, MAKEINTRESOURCEW(IDR_MAINFRAME))));
    SendMessage(WM_SETICON, ICON_BIG,
                static_cast<LPARAM>(LoadIconW(resources, MAKEINTRESOURCEW(IDR_MAINFRAME))));
    SetMenu(nullptr);
    return 0;
}

void CMainFrame::OnSize(UINT nType, int cx, int cy) {
    CFrameWndEx::OnSize(nType, cx, cy);
    if (!m_pCefView || !m_pCefView->m_browser)
        return;
    if (CefCurrentlyOn(TID_UI)) {
        ResizeBrowser(cx, cy);
    } else {
        CefRefPtr<CResizeTask> task = new CResizeTask(cx, cy);
        CefPostTask(TID_UI, task.get());
    }
}

// The browser lays its page out from the loop rather than from a loop run here: a loop run
// inside the size handler could carry out a pending close (the page's titleExit) and delete
// this frame under its own handler.
void CMainFrame::ResizeBrowser(int cx, int cy) {
    CefRequireUiThread();
    if (!m_pCefView || !m_pCefView->m_browser)
        return;
    CefRefPtr<CefBrowser> browser = m_pCefView->m_browser;
    CefRefPtr<CefBrowserHost> host = browser->GetHost();
    SetWindowPos(host->GetWindowHandle(), 0, 0, 0, cx, cy, SWP_NOZORDER);
    host->WasResized();
}

void CMainFrame::OnSetFocus(CWnd*) {
    CefRequireUiThread();
    if (m_pCefView && m_pCefView->m_browser)
        m_pCefView->m_browser->GetHost()->SetFocus(true);
}

void CResizeTask::Execute() {
    if (!CefCurrentlyOn(TID_UI))
        return;
    if (auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd()))
        frame->ResizeBrowser(m_cx, m_cy);
}
