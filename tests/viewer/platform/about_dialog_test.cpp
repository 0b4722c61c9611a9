// The about box built from its template, as the toolkit shows it.
#include <gtest/gtest.h>

#include <string>

#include "AboutDlg.h"
#include "resource.h"
#include "win32/gtk_window.h"

namespace {

// Appends the text of every label below the widget, each followed by '|'.
void CollectLabels(GtkWidget* widget, gpointer texts) {
    if (GTK_IS_LABEL(widget))
        static_cast<std::string*>(texts)->append(gtk_label_get_text(GTK_LABEL(widget))) += '|';
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), CollectLabels, texts);
}

// Runs inside the dialog's modal loop: records the title and labels of the dialog shown,
// and presses its OK button.
gboolean PressOk(gpointer seen) {
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) {
            static_cast<std::string*>(seen)->append(gtk_window_get_title(GTK_WINDOW(l->data))) +=
                '|';
            CollectLabels(GTK_WIDGET(l->data), seen);
            gtk_dialog_response(GTK_DIALOG(l->data), IDOK);
        }
    }
    g_list_free(windows);
    return G_SOURCE_REMOVE;
}

TEST(AboutDlgTest, ShowsTheTemplateAndEndsWithTheButtonPressed) {
    RegisterViewerResources();
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
    std::string seen;
    g_idle_add(PressOk, &seen);
    CAboutDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    for (const char* text : {"About Viewer|", "|Viewer, Version 1.0|", "|OK|"})
        EXPECT_NE(seen.find(text), std::string::npos) << seen;
    EXPECT_EQ(CDialogEx(4321, nullptr).DoModal(), -1);  // no such template: nothing shown
}

}  // namespace
