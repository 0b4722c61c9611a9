// The about box built from its template, and tasks posted to the UI thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AboutDlg.h"
#include "cef/cef_task.h"
#include "resource.h"
#include "win32/gtk_window.h"

namespace {

void CollectLabels(GtkWidget* widget, gpointer data) {
    auto* labels = static_cast<std::vector<std::string>*>(data);
    if (GTK_IS_LABEL(widget))
        labels->push_back(gtk_label_get_text(GTK_LABEL(widget)));
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), CollectLabels, data);
}

struct DialogSeen {
    std::string title;
    std::vector<std::string> labels;
};

// Runs inside the dialog's modal loop: records the dialog and presses its OK button.
gboolean PressOk(gpointer data) {
    auto* seen = static_cast<DialogSeen*>(data);
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        if (!GTK_IS_DIALOG(l->data) || !gtk_widget_get_visible(GTK_WIDGET(l->data)))
            continue;
        seen->title = gtk_window_get_title(GTK_WINDOW(l->data));
        CollectLabels(GTK_WIDGET(l->data), &seen->labels);
        gtk_dialog_response(GTK_DIALOG(l->data), IDOK);
    }
    g_list_free(windows);
    return G_SOURCE_REMOVE;
}

TEST(AboutDlgTest, ShowsTheTemplateAndEndsWithTheButtonPressed) {
    RegisterViewerResources();
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
    DialogSeen seen;
    g_idle_add(PressOk, &seen);
    CAboutDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(seen.title, "About Viewer");
    EXPECT_NE(std::find(seen.labels.begin(), seen.labels.end(), "Viewer, Version 1.0"),
              seen.labels.end());
    EXPECT_NE(std::find(seen.labels.begin(), seen.labels.end(), "OK"), seen.labels.end());
}

TEST(AboutDlgTest, AMissingTemplateShowsNothing) {
    CDialogEx dialog(4321, nullptr);
    EXPECT_EQ(dialog.DoModal(), -1);
}

class CountingTask : public CefTask {
  public:
    explicit CountingTask(std::atomic<int>* runs, std::atomic<bool>* onUi)
        : runs_(runs), onUi_(onUi) {}
    void Execute() override {
        *onUi_ = CefCurrentlyOn(TID_UI);
        ++*runs_;
    }
    void AddRef() const override { ref_.AddRef(); }
    bool Release() const override {
        if (!ref_.Release())
            return false;
        delete this;
        return true;
    }
    bool HasOneRef() const override { return ref_.HasOneRef(); }
    bool HasAtLeastOneRef() const override { return ref_.HasAtLeastOneRef(); }

  private:
    std::atomic<int>* runs_;
    std::atomic<bool>* onUi_;
    CefRefCount ref_;
};

TEST(CefTaskTest, ATaskPostedFromAnotherThreadRunsOnceOnTheUiThread) {
    EXPECT_TRUE(CefCurrentlyOn(TID_UI));
    std::atomic<int> runs{0};
    std::atomic<bool> onUi{false};
    std::atomic<bool> otherThreadOnUi{true};
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        otherThreadOnUi = CefCurrentlyOn(TID_UI);
        posted = CefPostTask(TID_UI, new CountingTask(&runs, &onUi));
    });
    worker.join();
    EXPECT_FALSE(otherThreadOnUi);
    ASSERT_TRUE(posted);
    EXPECT_EQ(runs, 0);  // queued, not run
    while (runs == 0)
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(onUi);
    EXPECT_FALSE(CefPostTask(TID_UI, nullptr));
}

}  // namespace
