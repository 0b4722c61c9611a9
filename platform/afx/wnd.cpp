#include <map>
#include <memory>
#include <string>

#include "afx/afxwin.h"
#include "win32/trace.h"

namespace {

// Windows created by the framework, each with the object that handles its messages.
std::map<HWND, CWnd*>& PermanentMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

// Wrappers for windows the framework did not create; dropped once the window is gone.
std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// The object whose window is being created: it receives the window's first message.
CWnd* g_wndInit = nullptr;

}  // namespace

BOOL CCmdTarget::OnCmdMsg(UINT, int, void*, AFX_CMDHANDLERINFO*) {
    return FALSE;
}

CWnd::~CWnd() {
    auto it = PermanentMap().find(m_hWnd);
    if (m_hWnd && it != PermanentMap().end() && it->second == this) {
        PermanentMap().erase(it);
        ::DestroyWindow(m_hWnd);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    auto& temporary = TemporaryMap();
    for (auto it = temporary.begin(); it != temporary.end();) {
        it = IsWindow(it->first) ? std::next(it) : temporary.erase(it);
    }
    if (!IsWindow(hwnd))
        return nullptr;
    auto permanent = PermanentMap().find(hwnd);
    if (permanent != PermanentMap().end())
        return permanent->second;
    std::unique_ptr<CWnd>& wrapper = temporary[hwnd];
    if (!wrapper) {
        wrapper = std::make_unique<CWnd>();
        wrapper->m_hWnd = hwnd;
    }
    return wrapper.get();
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu) {
    g_wndInit = this;
    const HWND hwnd = CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                      parent, menu, AfxGetInstanceHandle(), nullptr);
    g_wndInit = nullptr;
    return hwnd != 0;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)),
                   HIWORD(static_cast<std::uintptr_t>(lParam)));
            return 0;
        case WM_SETFOCUS:
            OnSetFocus(FromHandle(static_cast<HWND>(wParam)));
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            OnNcDestroy();
            return 0;
        case WM_COMMAND:
            if (OnCommand(wParam, lParam))
                return 0;
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return OnCmdMsg(LOWORD(wParam), CN_COMMAND, nullptr, nullptr);
}

int CWnd::OnCreate(LPCREATESTRUCT) {
    return 0;
}

void CWnd::OnSize(UINT, int, int) {}

void CWnd::OnSetFocus(CWnd*) {}

void CWnd::OnClose() {
    DestroyWindow();
}

void CWnd::OnDestroy() {}

// The last message of a window. When the application's main window goes, the framework
// posts its quit message, which ends the message loop.
void CWnd::OnNcDestroy() {
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        PostQuitMessage(0);
        app->m_pMainWnd = nullptr;
    }
    PermanentMap().erase(m_hWnd);
    m_hWnd = 0;
    PostNcDestroy();
}

LRESULT AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = nullptr;
    auto it = PermanentMap().find(hwnd);
    if (it != PermanentMap().end()) {
        wnd = it->second;
    } else if (g_wndInit) {
        wnd = g_wndInit;
        g_wndInit = nullptr;
        wnd->m_hWnd = hwnd;
        PermanentMap()[hwnd] = wnd;
    }
    return wnd ? wnd->WindowProc(message, wParam, lParam)
               : DefWindowProcW(hwnd, message, wParam, lParam);
}

LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::map<std::wstring, std::wstring> names;
    const std::wstring name = L"Afx:" + std::to_wstring(classStyle) + L":" +
                              std::to_wstring(cursor) + L":" + std::to_wstring(background) + L":" +
                              std::to_wstring(icon);
    std::wstring& stored = names[name];
    if (stored.empty()) {
        stored = name;
        WNDCLASSW wc{classStyle, AfxWndProc, AfxGetInstanceHandle(), icon,
                     cursor,     background, stored.c_str()};
        RegisterClassW(&wc);
    }
    return stored.c_str();
}
