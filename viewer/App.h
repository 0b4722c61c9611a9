// The application object: the process's start-up (framework, graphics library, engine,
// main window) and its shutdown.
#pragma once

#include "GdiPlusApp.h"
#include "KestryCefApp.h"
#include "afx/afxext.h"

class CApp : public CWinAppEx, public CGdiPlusApp {
  public:
    CApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    void OnAppAbout();

    // The process's one engine application object, from InitInstance to the end. Main
    // thread only (the engine takes references of its own).
    CefRefPtr<CKestryCefApp> m_pCefApp;
};

extern CApp theApp;
