#include "afx/afxext.h"
#include "afx/afxwin.h"
#include "win32/resources.h"

CRuntimeClass* CFrameWnd::GetRuntimeClass() const {
    static CRuntimeClass runtimeClass{"CFrameWnd"};
    return &runtimeClass;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD style, CWnd* pParentWnd, CCreateContext*) {
    // The frame string's fields are separated by newlines; the first is the title.
    CStringW frameString;
    frameString.LoadString(nIDResource);
    const int newline = frameString.Find(L'\n');
    m_strTitle = newline < 0 ? frameString : frameString.Left(newline);

    const HINSTANCE resources = AfxGetResourceHandle();
    const HMENU menu = LoadMenuW(resources, MAKEINTRESOURCEW(static_cast<WORD>(nIDResource)));
    m_hAccelTable = LoadAcceleratorsW(resources, MAKEINTRESOURCEW(static_cast<WORD>(nIDResource)));

    CREATESTRUCT cs{};
    cs.style = static_cast<LONG>(style & ~FWS_ADDTOTITLE);  // a framework bit, not a window style
    cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
    cs.lpszName = m_strTitle.GetString();
    cs.hMenu = menu;
    cs.hwndParent = pParentWnd ? pParentWnd->m_hWnd : 0;
    cs.hInstance = AfxGetInstanceHandle();
    if (!PreCreateWindow(cs))
        return FALSE;
    return CreateEx(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                    cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass)
        cs.lpszClass = AfxRegisterWndClass(0);
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CFrameWnd::PostNcDestroy() {
    delete this;
}

BOOL CFrameWndEx::LoadFrame(UINT nIDResource, DWORD style, CWnd* pParentWnd,
                            CCreateContext* pContext) {
    if (!CFrameWnd::LoadFrame(nIDResource, style, pParentWnd, pContext))
        return FALSE;
    if (auto* app = dynamic_cast<CWinAppEx*>(AfxGetApp()))
        app->LoadState(this);
    return TRUE;
}

void CFrameWndEx::OnClose() {
    CWinApp* app = AfxGetApp();
    auto* appEx = dynamic_cast<CWinAppEx*>(app);
    if (appEx && app->m_pMainWnd == this)
        appEx->SaveState(this);
    CFrameWnd::OnClose();
}
