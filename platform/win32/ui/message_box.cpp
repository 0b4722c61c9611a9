#include <cstdio>
#include <string>

#include "win32/gtk_window.h"

int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type) {
    const std::string message = Win32TextToUtf8(text);
    const std::string title = Win32TextToUtf8(caption);
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
        return IDOK;
    }
    GtkWidget* owner = Win32GetWidget(hwnd);
    GtkWidget* box = gtk_message_dialog_new(
        owner && GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr, GTK_DIALOG_MODAL,
        (type & MB_ICONERROR) ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s",
        message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), title.c_str());
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return IDOK;
}
