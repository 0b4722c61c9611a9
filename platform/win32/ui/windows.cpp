#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "client_area.h"
#include "win32/gtk_window.h"
#include "win32/trace.h"
#include "window_table.h"

namespace {

// The size of a top-level window created with CW_USEDEFAULT.
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
// The height the client area loses to an attached menu bar before the window has been laid
// out and can be measured.
constexpr int kNominalMenuBarHeight = 20;

std::map<HWND, Win32Window>& Windows() {
    static std::map<HWND, Win32Window> windows;
    return windows;
}

std::map<std::wstring, WNDPROC>& Classes() {
    static std::map<std::wstring, WNDPROC> classes;
    return classes;
}

HWND g_nextHandle = 0x10;
bool g_quitPosted = false;

HWND NewHandle() {
    return g_nextHandle++;
}

// Destruction that GTK started (a parent went, or the toolkit closed the widget): the same
// notifications as DestroyWindow, without destroying the widget a second time.
void OnWidgetDestroyed(GtkWidget*, gpointer data);

void OnClientAllocated(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    const HWND hwnd = static_cast<HWND>(GPOINTER_TO_UINT(data));
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || w->destroying || w->minimized)
        return;
    if (allocation->width == w->clientWidth && allocation->height == w->clientHeight)
        return;
    w->clientWidth = allocation->width;
    w->clientHeight = allocation->height;
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED,
                 static_cast<LPARAM>((allocation->height << 16) | (allocation->width & 0xFFFF)));
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessageW(static_cast<HWND>(GPOINTER_TO_UINT(data)), WM_CLOSE, 0, 0);
    return TRUE;  // the window's procedure decides; the default destroys it
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessageW(static_cast<HWND>(GPOINTER_TO_UINT(data)), WM_SETFOCUS, 0, 0);
    return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    const HWND hwnd = static_cast<HWND>(GPOINTER_TO_UINT(data));
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || !(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED))
        return FALSE;
    w->minimized = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (w->minimized) {
        SendMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    } else {
        w->clientWidth = gtk_widget_get_allocated_width(w->client);
        w->clientHeight = gtk_widget_get_allocated_height(w->client);
        SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED,
                     static_cast<LPARAM>((w->clientHeight << 16) | (w->clientWidth & 0xFFFF)));
    }
    return FALSE;
}

void ConnectDestroy(GtkWidget* widget, HWND hwnd) {
    g_signal_connect(widget, "destroy", G_CALLBACK(OnWidgetDestroyed), GUINT_TO_POINTER(hwnd));
}

HWND CreateTopLevel(LPCWSTR windowName, DWORD style, int width, int height, WNDPROC proc) {
    const HWND hwnd = NewHandle();
    Win32Window w;
    w.widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    w.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    w.client = Win32ClientAreaNew();
    w.proc = proc;
    w.defaultWidth = width == CW_USEDEFAULT ? kDefaultWidth : width;
    w.defaultHeight = height == CW_USEDEFAULT ? kDefaultHeight : height;
    gtk_window_set_default_size(GTK_WINDOW(w.widget), w.defaultWidth, w.defaultHeight);
    gtk_window_set_resizable(GTK_WINDOW(w.widget), (style & WS_THICKFRAME) != 0);
    gtk_box_pack_end(GTK_BOX(w.box), w.client, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(w.widget), w.box);
    gtk_widget_show(w.client);
    gtk_widget_show(w.box);
    Windows()[hwnd] = w;
    SetWindowTextW(hwnd, windowName);

    gpointer data = GUINT_TO_POINTER(hwnd);
    g_signal_connect(w.widget, "delete-event", G_CALLBACK(OnDeleteEvent), data);
    g_signal_connect(w.widget, "focus-in-event", G_CALLBACK(OnFocusIn), data);
    g_signal_connect(w.widget, "window-state-event", G_CALLBACK(OnWindowState), data);
    g_signal_connect(w.client, "size-allocate", G_CALLBACK(OnClientAllocated), data);
    ConnectDestroy(w.widget, hwnd);
    Win32Trace("CreateWindowExW top-level");
    return hwnd;
}

HWND CreateChild(HWND parent, int x, int y, int width, int height, int id, WNDPROC proc) {
    GtkWidget* area = Win32ClientAreaNew();
    const HWND hwnd = Win32AttachChildWidget(parent, area, x, y, width, height, id, proc);
    if (hwnd)
        Win32LookupWindow(hwnd)->client = area;
    return hwnd;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (const auto& [hwnd, w] : Windows()) {
        if (w.parent == parent)
            children.push_back(hwnd);
    }
    std::reverse(children.begin(), children.end());  // the latest first
    return children;
}

// Everything of a window's destruction but the widget's own: WM_DESTROY to the window,
// the children destroyed, the handle retired, then WM_NCDESTROY (the handle no longer
// names a window by then).
void RetireWindow(HWND hwnd, bool destroyWidget) {
    Win32Window* w = Win32LookupWindow(hwnd);
    w->destroying = true;
    if (!w->parent)
        Win32Trace("DestroyWindow top-level");
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : ChildrenOf(hwnd))
        DestroyWindow(child);
    w = Win32LookupWindow(hwnd);
    GtkWidget* widget = w->widget;
    const WNDPROC proc = w->proc;
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(OnWidgetDestroyed),
                                         GUINT_TO_POINTER(hwnd));
    if (w->client) {
        g_signal_handlers_disconnect_by_data(w->client, GUINT_TO_POINTER(hwnd));
    }
    g_signal_handlers_disconnect_by_data(widget, GUINT_TO_POINTER(hwnd));
    Windows().erase(hwnd);
    if (destroyWidget)
        gtk_widget_destroy(widget);
    if (proc) {
        proc(hwnd, WM_NCDESTROY, 0, 0);
    } else {
        DefWindowProcW(hwnd, WM_NCDESTROY, 0, 0);
    }
}

void OnWidgetDestroyed(GtkWidget*, gpointer data) {
    const HWND hwnd = static_cast<HWND>(GPOINTER_TO_UINT(data));
    Win32Window* w = Win32LookupWindow(hwnd);
    if (w && !w->destroying)
        RetireWindow(hwnd, false);
}

}  // namespace

Win32Window* Win32LookupWindow(HWND hwnd) {
    auto it = Windows().find(hwnd);
    return it == Windows().end() ? nullptr : &it->second;
}

HWND Win32AttachChildWidget(HWND parent, GtkWidget* widget, int x, int y, int width, int height,
                            int controlId, WNDPROC proc) {
    Win32Window* p = Win32LookupWindow(parent);
    if (!p || !p->client || !widget)
        return 0;
    const HWND hwnd = NewHandle();
    Win32Window w;
    w.widget = widget;
    w.parent = parent;
    w.controlId = controlId;
    w.proc = proc;
    Win32ClientAreaPut(p->client, widget, x, y, width, height);
    Windows()[hwnd] = w;
    ConnectDestroy(widget, hwnd);
    return hwnd;
}

GtkWidget* Win32GetWidget(HWND hwnd) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    return w ? w->widget : nullptr;
}

HWND Win32FindWindow(GtkWidget* widget) {
    for (const auto& [hwnd, w] : Windows()) {
        if (w.widget == widget)
            return hwnd;
    }
    return 0;
}

void Win32SetWindowData(HWND hwnd, void* data) {
    if (Win32Window* w = Win32LookupWindow(hwnd))
        w->data = data;
}

void* Win32GetWindowData(HWND hwnd) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    return w ? w->data : nullptr;
}

BOOL RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName)
        return FALSE;
    Classes()[wc->lpszClassName] = wc->lpfnWndProc;
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
    if (!className)
        return 0;
    auto cls = Classes().find(className);
    if (cls == Classes().end())
        return 0;
    if (!gtk_init_check(nullptr, nullptr))
        return 0;
    const bool child = (style & WS_CHILD) != 0;
    const HWND hwnd =
        child ? CreateChild(parent, x, y, width, height, static_cast<int>(menu), cls->second)
              : CreateTopLevel(windowName, style, width, height, cls->second);
    if (!hwnd)
        return 0;
    if (!child && menu)
        SetMenu(hwnd, menu);

    CREATESTRUCTW cs{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return 0;
    }
    if ((style & WS_VISIBLE) && IsWindow(hwnd))
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return FALSE;
    if (!w->destroying)
        RetireWindow(hwnd, true);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return Win32LookupWindow(hwnd) ? TRUE : FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return 0;
    return w->proc ? w->proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return 0;
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SETICON: {
            HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
            const HICON previous = slot;
            slot = static_cast<HICON>(lParam);
            if (GTK_IS_WINDOW(w->widget)) {
                GList* images = nullptr;
                for (HICON icon : {w->smallIcon, w->bigIcon}) {
                    if (GdkPixbuf* image = Win32IconImage(icon))
                        images = g_list_append(images, image);
                }
                gtk_window_set_icon_list(GTK_WINDOW(w->widget), images);
                g_list_free(images);
            }
            return static_cast<LRESULT>(previous);
        }
        default:
            return 0;
    }
}

BOOL SetWindowPos(HWND hwnd, HWND /*insertAfter: one stacking order here*/, int x, int y, int cx,
                  int cy, UINT flags) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return FALSE;
    if (const Win32Window* p = Win32LookupWindow(w->parent)) {
        GdkRectangle r{};
        Win32ClientAreaGetRect(p->client, w->widget, &r);
        if (!(flags & SWP_NOMOVE)) {
            r.x = x;
            r.y = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            r.width = cx;
            r.height = cy;
        }
        Win32ClientAreaMove(p->client, w->widget, r.x, r.y, r.width, r.height);
        return TRUE;
    }
    if (!GTK_IS_WINDOW(w->widget))
        return FALSE;
    if (!(flags & SWP_NOMOVE))
        gtk_window_move(GTK_WINDOW(w->widget), x, y);
    if (!(flags & SWP_NOSIZE))
        gtk_window_resize(GTK_WINDOW(w->widget), std::max(cx, 1), std::max(cy, 1));
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return FALSE;
    const BOOL wasVisible = gtk_widget_get_visible(w->widget);
    if (cmdShow == SW_HIDE) {
        gtk_widget_hide(w->widget);
    } else {
        gtk_widget_show(w->widget);
    }
    return wasVisible;
}

// Painting happens in the loop's frame cycle, which follows at once.
BOOL UpdateWindow(HWND hwnd) {
    return IsWindow(hwnd);
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || !rect)
        return FALSE;
    int width = 0;
    int height = 0;
    if (const Win32Window* p = Win32LookupWindow(w->parent)) {
        GdkRectangle r{};
        Win32ClientAreaGetRect(p->client, w->widget, &r);
        width = r.width;
        height = r.height;
    } else if (w->clientWidth >= 0) {
        width = w->clientWidth;
        height = w->clientHeight;
    } else {
        // Not laid out yet: the size asked for, less the menu bar.
        width = w->defaultWidth;
        height = w->defaultHeight - (w->menuBar ? kNominalMenuBarHeight : 0);
    }
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || !rect)
        return FALSE;
    if (const Win32Window* p = Win32LookupWindow(w->parent)) {
        GdkRectangle r{};
        Win32ClientAreaGetRect(p->client, w->widget, &r);
        *rect = RECT{r.x, r.y, r.x + r.width, r.y + r.height};
        return TRUE;
    }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    gtk_window_get_position(GTK_WINDOW(w->widget), &x, &y);
    gtk_window_get_size(GTK_WINDOW(w->widget), &width, &height);
    *rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

int GetDlgCtrlID(HWND hwnd) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    return w ? w->controlId : 0;
}

HWND GetParent(HWND hwnd) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    return w ? w->parent : 0;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || !GTK_IS_WINDOW(w->widget))
        return FALSE;
    gtk_window_set_title(GTK_WINDOW(w->widget), Win32TextToUtf8(text).c_str());
    return TRUE;
}

std::string Win32TextToUtf8(LPCWSTR text) {
    gchar* utf8 = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(text ? text : L""), -1, nullptr,
                                 nullptr, nullptr);
    std::string s = utf8 ? utf8 : "";
    g_free(utf8);
    return s;
}

HWND SetFocus(HWND hwnd) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w)
        return 0;
    gtk_widget_grab_focus(w->widget);
    return hwnd;
}

void PostQuitMessage(int /*exitCode*/) {
    Win32Trace("PostQuitMessage");
    g_quitPosted = true;
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

void Win32RunMessageLoop() {
    if (!g_quitPosted)
        gtk_main();
    g_quitPosted = false;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    Win32Window* w = Win32LookupWindow(hwnd);
    if (!w || !w->box)
        return FALSE;
    if (w->menuBar) {
        gtk_widget_destroy(w->menuBar);
        w->menuBar = nullptr;
    }
    w->menu = menu;
    if (menu) {
        w->menuBar = Win32BuildMenuBar(menu, hwnd);
        if (!w->menuBar)
            return FALSE;
        gtk_box_pack_start(GTK_BOX(w->box), w->menuBar, FALSE, FALSE, 0);
        gtk_widget_show_all(w->menuBar);
    }
    return TRUE;
}

HMENU GetMenu(HWND hwnd) {
    const Win32Window* w = Win32LookupWindow(hwnd);
    return w ? w->menu : 0;
}
