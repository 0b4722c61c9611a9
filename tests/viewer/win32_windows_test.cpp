// Window handles over GTK: messages, destruction order, placement of children.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "test_windows.h"
#include "win32/gtk_window.h"
#include "win32/resources.h"
#include "win32/winuser.h"

namespace {

std::vector<std::string> g_log;
std::map<HWND, std::string> g_ids;  // kept past the handles' retirement

LRESULT LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE)
        g_ids[hwnd] = std::to_string(GetDlgCtrlID(hwnd));
    const std::string id = g_ids[hwnd];
    switch (msg) {
        case WM_CREATE:
            g_log.push_back("create " + id);
            return 0;
        case WM_DESTROY:
            g_log.push_back("destroy " + id + (IsWindow(hwnd) ? " (window)" : " (gone)"));
            return 0;
        case WM_NCDESTROY:
            g_log.push_back("ncdestroy " + id + (IsWindow(hwnd) ? " (window)" : " (gone)"));
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LPCWSTR LoggingClass() {
    static const bool registered = [] {
        WNDCLASSW wc{0, LoggingProc, 0, 0, 0, 0, L"LoggingWindow"};
        return RegisterClassW(&wc) != FALSE;
    }();
    return registered ? L"LoggingWindow" : nullptr;
}

TEST(Win32WindowsTest, DestructionNotifiesTheParentThenTheChildrenThenRetiresTheHandles) {
    g_log.clear();
    const HWND top = CreateWindowExW(0, LoggingClass(), L"t", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, 0, nullptr);
    ASSERT_NE(top, 0u) << "no display";
    const HWND child = CreateWindowExW(0, LoggingClass(), L"", WS_CHILD, 0, 0, 5, 5, top,
                                       static_cast<HMENU>(7), 0, nullptr);
    ASSERT_NE(child, 0u);
    EXPECT_EQ(GetParent(child), top);
    SendMessageW(top, WM_CLOSE, 0, 0);  // the default handling destroys it
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(g_log, (std::vector<std::string>{"create 0", "create 7", "destroy 0 (window)",
                                               "destroy 7 (window)", "ncdestroy 7 (gone)",
                                               "ncdestroy 0 (gone)"}));
    EXPECT_EQ(SendMessageW(top, WM_CLOSE, 0, 0), 0);  // a stale handle is harmless
    EXPECT_FALSE(DestroyWindow(top));
}

TEST(Win32WindowsTest, ACreationRefusedByItsProcedureLeavesNoWindow) {
    static const WNDCLASSW refusing{0,
                                    [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                                        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, w, l);
                                    },
                                    0,
                                    0,
                                    0,
                                    0,
                                    L"RefusingWindow"};
    RegisterClassW(&refusing);
    EXPECT_EQ(CreateWindowExW(0, L"RefusingWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, 0, 0, 0,
                              nullptr),
              0u);
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 10, 10, 0, 0, 0, nullptr), 0u);
}

TEST(Win32WindowsTest, ChildrenArePlacedExactlyAndKeepTheirControlIds) {
    const HWND top = MakeTestTopLevel();
    ASSERT_NE(top, 0u);
    const HWND child = MakeTestChild(top, 604, 3, 4, 50, 60);
    EXPECT_EQ(GetDlgCtrlID(child), 604);
    EXPECT_EQ(GetDlgCtrlID(top), 0);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{3, 4, 53, 64}));
    SetWindowPos(child, 0, 0, 0, 900, 700, SWP_NOZORDER);  // larger than the parent: allowed
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{0, 0, 900, 700}));
    SetWindowPos(child, 0, 0, 0, 0, 0, SWP_NOZORDER);  // a minimised frame's browser
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    // Before it is laid out, a top-level window's client area is the size it asked for.
    ASSERT_TRUE(GetClientRect(top, &r));
    EXPECT_EQ((std::vector<LONG>{r.right, r.bottom}), (std::vector<LONG>{300, 200}));
    DestroyWindow(top);
}

TEST(Win32WindowsTest, AWidgetDestroyedByTheToolkitRetiresItsHandle) {
    const HWND top = MakeTestTopLevel();
    ASSERT_NE(top, 0u);
    GtkWidget* label = gtk_label_new("x");
    const HWND child = Win32AttachChildWidget(top, label, 0, 0, 10, 10, 5, nullptr);
    ASSERT_NE(child, 0u);
    EXPECT_EQ(Win32FindWindow(label), child);
    gtk_widget_destroy(label);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(Win32AttachChildWidget(child, gtk_label_new("y"), 0, 0, 1, 1, 0, nullptr), 0u);
    DestroyWindow(top);
}

TEST(Win32WindowsTest, StringsAndIconsComeFromTheResourceTable) {
    wchar_t buffer[8];
    EXPECT_EQ(LoadStringW(0, 54321, buffer, 8), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(LoadIconW(0, MAKEINTRESOURCEW(54321)), 0u);
}

}  // namespace
