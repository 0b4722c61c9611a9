// The table of window handles shared by the files of this library.
#pragma once

#include <gtk/gtk.h>

#include "win32/winuser.h"

// The table and every entry: UI thread only (the toolkit's thread).
struct Win32Window {
    GtkWidget* widget = nullptr;  // a GtkWindow for a top-level window
    GtkWidget* box = nullptr;     // top-level: the menu bar above the client area
    GtkWidget* client = nullptr;  // where children are placed (null for foreign widgets)
    GtkWidget* menuBar = nullptr;
    HMENU menu = 0;
    HWND parent = 0;
    int controlId = 0;
    WNDPROC proc = nullptr;
    void* data = nullptr;
    HICON smallIcon = 0;
    HICON bigIcon = 0;
    bool destroying = false;
    bool minimized = false;
    int clientWidth = -1;  // the last size reported with WM_SIZE; -1 before the first
    int clientHeight = -1;
    int defaultWidth = 0;  // top-level: the size asked for at creation
    int defaultHeight = 0;
};

// Null for a handle that names no window (any more).
Win32Window* Win32LookupWindow(HWND hwnd);

// Builds the menu bar of a menu, whose items send WM_COMMAND to hwnd.
GtkWidget* Win32BuildMenuBar(HMENU menu, HWND hwnd);
