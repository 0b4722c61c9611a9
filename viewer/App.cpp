#include "App.h"

#include <climits>
#include <new>

#include "AboutDlg.h"
#include "LoadStringResource.h"
#include "MainFrm.h"
#include "StartUrl.h"
#include "resource.h"
#include "win32/commctrl.h"
#include "win32/libloader.h"

CApp theApp;

CApp::CApp() : CWinAppEx(TRUE) {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
    SetAppID(L"Viewer.AppID.NoVersion");
}

// The same first steps in every process; only the browser process comes back from
// CefExecuteProcess and goes on to the window.
BOOL CApp::InitInstance() {
    INITCOMMONCONTROLSEX initCtrls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&initCtrls);
    CWinAppEx::InitInstance();
    if (!AfxOleInit()) {
        AfxMessageBox(IDP_OLE_INIT_FAILED, MB_OK);
        return FALSE;
    }
    AfxEnableControlContainer();
    EnableTaskbarInteraction(FALSE);
    SetRegistryKey(LoadStringResource(IDS_MAKER_NAME));

    InitTooltipManager();
    CMFCToolTipInfo ttParams;
    ttParams.m_bVislManagerTheme = TRUE;
    GetTooltipManager()->SetTooltipParams(AFX_TOOLTIP_TYPE_ALL, CMFCToolTipCtrl::GetThisClass(),
                                          &ttParams);

    StartGdiplus();

    CefSettings settings;
    CefMainArgs mainArgs(AfxGetInstanceHandle());
    m_pCefApp = new CKestryCefApp;
    // A helper process of the engine ends here, before any window exists.
    const int code = CefExecuteProcess(mainArgs, m_pCefApp, nullptr);
    if (code >= 0)
        return code;

    settings.multi_threaded_message_loop = false;
    CefInitialize(mainArgs, settings, m_pCefApp, nullptr);

    CMainFrame* frame = new (std::nothrow) CMainFrame;
    if (!frame)
        return FALSE;
    m_pMainWnd = frame;
    m_bLoadWindowPlacement = FALSE;  // always the default position and size
    frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr);
    // Without a window (a frame whose creation failed has destroyed itself and cleared the
    // main window; without a display none was made) the loop below would never end.
    if (m_pMainWnd && !frame->GetSafeHwnd()) {
        m_pMainWnd = nullptr;
        delete frame;
    }
    if (!m_pMainWnd)
        return FALSE;
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();

    // The browser does not exist yet; the view loads this when it is reported created,
    // inside the loop below.
    wchar_t modulePath[PATH_MAX];
    GetModuleFileNameW(AfxGetInstanceHandle(), modulePath, PATH_MAX);
    frame->m_pCefView->m_url = BuildStartUrl(modulePath);

    CefRunMessageLoop();
    return TRUE;
}

int CApp::ExitInstance() {
    CefShutdown();
    ShutdownGdiplus();
    AfxOleTerm(FALSE);
    return CWinAppEx::ExitInstance();
}

BOOL CApp::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (nCode == CN_COMMAND && nID == ID_APP_ABOUT) {
        OnAppAbout();
        return TRUE;
    }
    return CWinAppEx::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
