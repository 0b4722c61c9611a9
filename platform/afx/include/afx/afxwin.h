// The application framework over GTK 3: the application object and its entry point,
// windows with their messages turned into virtual handlers, frame windows, dialogs.
#pragma once

#include <cstdint>

#include "afx/afxstr.h"
#include "win32/types.h"
#include "win32/winuser.h"

using CREATESTRUCT = CREATESTRUCTW;
using LPCREATESTRUCT = CREATESTRUCTW*;

constexpr int CN_COMMAND = 0;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;  // 57344
constexpr UINT ID_APP_ABOUT = 0xE140;       // 57664
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;
constexpr UINT AFX_TOOLTIP_TYPE_ALL = 0xFFFF;

// The name of a class, for the framework's run-time class information.
struct CRuntimeClass {
    const char* m_lpszClassName;
};

struct AFX_CMDHANDLERINFO;
struct CCreateContext;

class CRect : public RECT {
  public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
};

class CMenu {
  public:
    HMENU m_hMenu = 0;
};

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;
    // Routes a command; true when a handler took it. Nothing here takes one.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);
};

class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    // The framework's object for a window: the one that created it, else a wrapper kept
    // until the window is gone. Null for no window.
    static CWnd* FromHandle(HWND hwnd);

    HWND GetSafeHwnd() const { return m_hWnd; }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    BOOL SetMenu(CMenu* pMenu) { return ::SetMenu(m_hWnd, pMenu ? pMenu->m_hMenu : 0); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    virtual BOOL DestroyWindow();

    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menu);

    HWND m_hWnd = 0;

  protected:
    // The window's messages, turned into the handlers below.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnSetFocus(CWnd* pOldWnd);
    virtual void OnClose();
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    // After the window is gone; owners that allocate the object delete it here.
    virtual void PostNcDestroy() {}

  private:
    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
};

// The procedure of every window the framework creates.
LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class CFrameWnd : public CWnd {
  public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    // Creates the window with the title from the first field of string nIDResource and
    // the menu and accelerators of that id.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD style, CWnd* pParentWnd,
                           CCreateContext* pContext);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    // The frame, then the application object.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  protected:
    void PostNcDestroy() override;  // deletes the frame object
    HACCEL m_hAccelTable = 0;
    CStringW m_strTitle;
};

class CWinThread : public CCmdTarget {
  public:
    virtual BOOL InitInstance() { return TRUE; }
    // The message loop, then ExitInstance; at once when there is no main window.
    virtual int Run();
    virtual int ExitInstance() { return 0; }
    CWnd* GetMainWnd() const { return m_pMainWnd; }

    CWnd* m_pMainWnd = nullptr;
};

class CWinApp : public CWinThread {
  public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    BOOL InitInstance() override { return TRUE; }
    int ExitInstance() override;
    // No taskbar grouping or restart manager here: the id and the restart flags are kept
    // and not used.
    void SetAppID(LPCWSTR appId) { m_pszAppID = appId ? appId : L""; }
    // The per-user settings root: <config folder>/<key>/<application title>.
    void SetRegistryKey(LPCWSTR key);

    CStringW m_pszAppName;
    CStringW m_pszAppID;
    CStringW m_pszRegistryKey;
    DWORD m_dwRestartManagerSupportFlags = 0;
};

class CDialog : public CWnd {
  public:
    CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Shows the dialog of the template and waits; the id of the button that ended it.
    virtual std::intptr_t DoModal();

  protected:
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// A window class with the framework's procedure; its name lives as long as the process.
LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = 0, HBRUSH background = 0,
                            HICON icon = 0);
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK);
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK);
// OLE and control containment have no counterpart here: they succeed and say so in the
// platform trace.
BOOL AfxOleInit();
void AfxOleTerm(BOOL justRevoke = FALSE);
void AfxEnableControlContainer();
