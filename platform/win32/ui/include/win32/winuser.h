// Windows, messages, menus, icons, strings and message boxes over GTK 3. A window handle
// names a GTK widget: a top-level window, or a child placed in its parent's client area at
// an exact rectangle. Messages are delivered synchronously to the window's procedure.
#pragma once

#include <cstdint>

#include "win32/message_box.h"  // MB_OK, MB_ICONERROR, IDOK
#include "win32/types.h"

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HACCEL = std::uint32_t;
using HCURSOR = std::uint32_t;
using HBRUSH = std::uint32_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

inline WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

struct CREATESTRUCTW {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszClassName;
};

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

// Messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_COMMAND = 0x0111;

// WM_SIZE kinds and WM_SETICON sizes.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// SetWindowPos flags and ShowWindow commands.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// Menu resources: one entry per item, in order; a popup's items follow it one level
// deeper. Id 0 with no text is a separator.
struct MenuResourceItem {
    int depth;
    UINT id;
    LPCWSTR text;
};

// Dialog resources: the template of a modal dialog, positions in dialog units.
enum class DialogControlKind {
    Icon,  // text unused; iconId names the icon resource
    Text,
    Button,  // id is the command the dialog ends with
};

struct DialogResourceControl {
    DialogControlKind kind;
    int id;
    LPCWSTR text;
    WORD iconId;
    short x;
    short y;
    short cx;
    short cy;
    DWORD style;
};

struct DialogResource {
    LPCWSTR caption;
    short cx;
    short cy;
    LPCWSTR fontName;
    WORD pointSize;
    DWORD style;
    const DialogResourceControl* controls;
    WORD controlCount;
};

constexpr DWORD BS_DEFPUSHBUTTON = 0x00000001;

// Window classes: the class names a window procedure for the windows created with it.
BOOL RegisterClassW(const WNDCLASSW* wc);

// A window without WS_CHILD is a top-level window (CW_USEDEFAULT gives the default size); a
// child is placed in its parent's client area, and hMenu is then its control id. WM_CREATE
// reaches the procedure before this returns; -1 from it fails the creation.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, destroys the children, then the window, then sends WM_NCDESTROY.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The default handling: WM_CLOSE destroys the window, WM_SETICON sets its icon.
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL UpdateWindow(HWND hwnd);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
// Screen position and outer size of a top-level window; a child's rectangle in its parent.
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
int GetDlgCtrlID(HWND hwnd);
HWND GetParent(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
HWND SetFocus(HWND hwnd);
// Stops the message loop once the current message has been handled.
void PostQuitMessage(int exitCode);

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
HMENU GetMenu(HWND hwnd);
// Shows the menu as the window's menu bar; null removes the bar.
BOOL SetMenu(HWND hwnd, HMENU menu);
BOOL DestroyMenu(HMENU menu);
// Accelerator tables are loaded and kept: the message loop translates no keys, so a
// table has no effect on the keys a page receives.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);

// Icons are image files (any format the toolkit reads) in the group-icon resources.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// Copies string resource id into buffer (cut to bufferMax - 1 units); its length, or 0.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
// A modal message box while a display is available, else the text on the error stream.
int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type);
