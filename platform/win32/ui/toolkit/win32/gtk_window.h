// The GTK side of window handles, for the layers that build windows of their own widgets.
#pragma once

#include <string>

#include "win32/winuser.h"

// After the platform types: the toolkit defines TRUE and FALSE as macros.
#include <gtk/gtk.h>

// Makes widget a child window of parent at the rectangle (in the parent's client area)
// with the control id and procedure (null: DefWindowProcW). 0 when parent is no window.
HWND Win32AttachChildWidget(HWND parent, GtkWidget* widget, int x, int y, int width, int height,
                            int controlId, WNDPROC proc);
GtkWidget* Win32GetWidget(HWND hwnd);     // null for no window
HWND Win32FindWindow(GtkWidget* widget);  // 0 when the widget has no handle
// A pointer the owner keeps with the window.
void Win32SetWindowData(HWND hwnd, void* data);
void* Win32GetWindowData(HWND hwnd);

// Runs the toolkit's main loop until PostQuitMessage; at once when a quit is pending.
void Win32RunMessageLoop();
// The UTF-8 form of a wide text for the toolkit to show; empty for null or for a text the
// conversion rejects.
std::string Win32TextToUtf8(LPCWSTR text);
// The image of an icon handle (owned by the icon); null for an unknown one.
GdkPixbuf* Win32IconImage(HICON icon);
