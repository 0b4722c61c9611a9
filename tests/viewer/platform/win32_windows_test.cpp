// Window handles over GTK: messages, destruction order, placement of children.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "test_windows.h"
#include "win32/gtk_window.h"
#include "win32/winuser.h"

namespace {

std::vector<std::string> g_log;
std::map<HWND, std::string> g_ids;  // kept past the handles' retirement

// Logs creation and destruction with the control id, and whether the handle still
// stands for a window.
LRESULT LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static const std::map<UINT, std::string> logged{
        {WM_CREATE, "create "}, {WM_DESTROY, "destroy "}, {WM_NCDESTROY, "ncdestroy "}};
    if (msg == WM_CREATE)
        g_ids[hwnd] = std::to_string(GetDlgCtrlID(hwnd));
    if (!logged.count(msg))
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    const char* state = msg == WM_CREATE ? "" : IsWindow(hwnd) ? " (window)" : " (gone)";
    g_log.push_back(logged.at(msg) + g_ids[hwnd] + state);
    return 0;
}

LRESULT RefusingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return msg == WM_CREATE ? -1 : DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Win32WindowsTest, DestructionNotifiesTheParentThenTheChildrenThenRetiresTheHandles) {
    const WNDCLASSW logging{0, LoggingProc, 0, 0, 0, 0, L"LoggingWindow"};
    RegisterClassW(&logging);
    const HWND top = CreateWindowExW(0, L"LoggingWindow", L"t", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, 0, nullptr);
    ASSERT_NE(top, 0u) << "no display";
    const HWND child = CreateWindowExW(0, L"LoggingWindow", L"", WS_CHILD, 0, 0, 5, 5, top,
                                       static_cast<HMENU>(7), 0, nullptr);
    EXPECT_EQ(GetParent(child), top);
    SendMessageW(top, WM_CLOSE, 0, 0);  // the default handling destroys it
    EXPECT_FALSE(IsWindow(top) || IsWindow(child));
    EXPECT_EQ(g_log, (std::vector<std::string>{"create 0", "create 7", "destroy 0 (window)",
                                               "destroy 7 (window)", "ncdestroy 7 (gone)",
                                               "ncdestroy 0 (gone)"}));
    EXPECT_EQ(SendMessageW(top, WM_CLOSE, 0, 0), 0);  // a stale handle is harmless
    EXPECT_FALSE(DestroyWindow(top));

    const WNDCLASSW refusing{0, RefusingProc, 0, 0, 0, 0, L"RefusingWindow"};
    RegisterClassW(&refusing);
    EXPECT_EQ(CreateWindowExW(0, L"RefusingWindow", L"", 0, 0, 0, 10, 10, 0, 0, 0, nullptr), 0u);
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 10, 10, 0, 0, 0, nullptr), 0u);
}

std::vector<LONG> Corners(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

TEST(Win32WindowsTest, ChildrenArePlacedExactlyAndKeepTheirControlIds) {
    const HWND top = MakeTestTopLevel();
    ASSERT_NE(top, 0u);
    const HWND child = MakeTestChild(top, 604, 3, 4, 50, 60);
    EXPECT_EQ(GetDlgCtrlID(child), 604);
    EXPECT_EQ(GetDlgCtrlID(top), 0);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(Corners(r), (std::vector<LONG>{3, 4, 53, 64}));
    SetWindowPos(child, 0, 0, 0, 900, 700, SWP_NOZORDER);  // larger than the parent: allowed
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(Corners(r), (std::vector<LONG>{0, 0, 900, 700}));
    SetWindowPos(child, 0, 0, 0, 0, 0, SWP_NOZORDER);  // a minimised frame's browser
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(Corners(r), (std::vector<LONG>{0, 0, 0, 0}));
    // Before it is laid out, a top-level window's client area is the size it asked for.
    ASSERT_TRUE(GetClientRect(top, &r));
    EXPECT_EQ(Corners(r), (std::vector<LONG>{0, 0, 300, 200}));

    // A widget destroyed by the toolkit retires its handle.
    GtkWidget* label = gtk_label_new("x");
    const HWND labelWindow = Win32AttachChildWidget(top, label, 0, 0, 10, 10, 5, nullptr);
    EXPECT_EQ(Win32FindWindow(label), labelWindow);
    gtk_widget_destroy(label);
    EXPECT_FALSE(IsWindow(labelWindow));
    EXPECT_EQ(Win32AttachChildWidget(labelWindow, gtk_label_new("y"), 0, 0, 1, 1, 0, nullptr), 0u);
    DestroyWindow(top);
}

}  // namespace
