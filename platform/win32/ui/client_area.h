// The client area of a window: a container that places each child at an exact rectangle
// by allocation. It asks for no size of its own, so a child never becomes the window's
// minimum size and the window shrinks freely.
#pragma once

#include <gtk/gtk.h>

GtkWidget* Win32ClientAreaNew();
void Win32ClientAreaPut(GtkWidget* area, GtkWidget* child, int x, int y, int width, int height);
// Moves and sizes a child at once when the area has been laid out, else at its layout.
void Win32ClientAreaMove(GtkWidget* area, GtkWidget* child, int x, int y, int width, int height);
// The child's rectangle; false when child is not in the area.
bool Win32ClientAreaGetRect(GtkWidget* area, GtkWidget* child, GdkRectangle* rect);
