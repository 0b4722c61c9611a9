// The program's entry point: runs the one application object that the program defines.
#include "afx/afxwin.h"
#include "win32/trace.h"

int main() {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->m_pszAppName.IsEmpty())
        app->m_pszAppName.LoadString(AFX_IDS_APP_TITLE);
    if (!app->InitInstance()) {
        if (CWnd* main = app->GetMainWnd())
            main->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}
