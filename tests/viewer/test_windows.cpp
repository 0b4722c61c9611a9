#include "test_windows.h"

namespace {

LPCWSTR TestClass() {
    static const bool registered = [] {
        WNDCLASSW wc{0, DefWindowProcW, 0, 0, 0, 0, L"TestWindow"};
        return RegisterClassW(&wc) != FALSE;
    }();
    return registered ? L"TestWindow" : nullptr;
}

}  // namespace

HWND MakeTestTopLevel() {
    return CreateWindowExW(0, TestClass(), L"test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 300, 200, 0, 0, 0, nullptr);
}

HWND MakeTestChild(HWND parent, int controlId, int x, int y, int width, int height) {
    return CreateWindowExW(0, TestClass(), L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                           static_cast<HMENU>(controlId), 0, nullptr);
}
