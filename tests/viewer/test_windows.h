// Real windows for tests: a top-level window and children with control ids, all of a class
// whose procedure is DefWindowProcW.
#pragma once

#include "win32/winuser.h"

inline LPCWSTR TestWindowClass() {
    static const WNDCLASSW wc{0, DefWindowProcW, 0, 0, 0, 0, L"TestWindow"};
    static const bool registered = RegisterClassW(&wc) != FALSE;
    return registered ? wc.lpszClassName : nullptr;
}

inline HWND MakeTestTopLevel() {
    return CreateWindowExW(0, TestWindowClass(), L"test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 300, 200, 0, 0, 0, nullptr);
}

inline HWND MakeTestChild(HWND parent, int controlId, int x = 0, int y = 0, int width = 10,
                          int height = 10) {
    return CreateWindowExW(0, TestWindowClass(), L"", WS_CHILD | WS_VISIBLE, x, y, width, height,
                           parent, static_cast<HMENU>(controlId), 0, nullptr);
}
