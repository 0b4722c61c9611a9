#include <string>

#include "afx/afxwin.h"
#include "win32/gtk_window.h"
#include "win32/resources.h"

namespace {

// Dialog units of the template's 8-point font in pixels: a quarter of the average
// character width horizontally, an eighth of the character height vertically.
int DluX(int x) {
    return x * 6 / 4;
}
int DluY(int y) {
    return y * 13 / 8;
}

GtkWidget* ControlWidget(const DialogResourceControl& c, GtkDialog* dialog) {
    switch (c.kind) {
        case DialogControlKind::Icon: {
            const HICON icon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(c.iconId));
            GdkPixbuf* image = Win32IconImage(icon);
            if (!image)
                return gtk_image_new();
            GdkPixbuf* scaled =
                gdk_pixbuf_scale_simple(image, DluX(c.cx), DluY(c.cy), GDK_INTERP_BILINEAR);
            GtkWidget* widget = gtk_image_new_from_pixbuf(scaled);
            g_object_unref(scaled);
            return widget;
        }
        case DialogControlKind::Text: {
            GtkWidget* label = gtk_label_new(Win32TextToUtf8(c.text).c_str());
            gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
            return label;
        }
        case DialogControlKind::Button: {
            GtkWidget* button = gtk_button_new_with_label(Win32TextToUtf8(c.text).c_str());
            g_signal_connect_swapped(button, "clicked", G_CALLBACK(+[](GtkDialog* d, GtkWidget* b) {
                                         gtk_dialog_response(d, GPOINTER_TO_INT(g_object_get_data(
                                                                    G_OBJECT(b), "afx-id")));
                                     }),
                                     dialog);
            g_object_set_data(G_OBJECT(button), "afx-id", GINT_TO_POINTER(c.id));
            if (c.style & BS_DEFPUSHBUTTON) {
                gtk_widget_set_can_default(button, TRUE);
                gtk_window_set_default(GTK_WINDOW(dialog), button);
            }
            return button;
        }
    }
    return gtk_label_new("");
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

std::intptr_t CDialog::DoModal() {
    const HINSTANCE module = AfxGetResourceHandle();
    const HRSRC res =
        FindResourceW(module, MAKEINTRESOURCEW(static_cast<WORD>(m_nIDHelp)), RT_DIALOG);
    const auto* tmpl =
        res && SizeofResource(module, res) == sizeof(DialogResource)
            ? static_cast<const DialogResource*>(LockResource(LoadResource(module, res)))
            : nullptr;
    if (!tmpl || !gtk_init_check(nullptr, nullptr))
        return -1;

    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), Win32TextToUtf8(tmpl->caption).c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    if (GtkWidget* owner = parent ? Win32GetWidget(parent->m_hWnd) : nullptr) {
        if (GTK_IS_WINDOW(owner))
            gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(owner));
    }
    GtkWidget* layout = gtk_fixed_new();
    gtk_widget_set_size_request(layout, DluX(tmpl->cx), DluY(tmpl->cy));
    for (WORD i = 0; i < tmpl->controlCount; ++i) {
        const DialogResourceControl& c = tmpl->controls[i];
        GtkWidget* widget = ControlWidget(c, GTK_DIALOG(dialog));
        gtk_widget_set_size_request(widget, DluX(c.cx), DluY(c.cy));
        gtk_fixed_put(GTK_FIXED(layout), widget, DluX(c.x), DluY(c.y));
    }
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), layout);
    gtk_widget_show_all(dialog);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response > 0 ? response : 2;  // closed without a button: IDCANCEL
}
