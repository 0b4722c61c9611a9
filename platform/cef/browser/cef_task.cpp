#include "cef/cef_task.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Static initialisation runs on the main thread, the layer's UI thread.
const std::thread::id g_uiThread = std::this_thread::get_id();

}  // namespace

bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task) {
    if (threadId != TID_UI || !task)
        return false;
    // The default main context is the UI thread's loop; adding to it is safe from any thread.
    // The queue's reference goes with the source, whether the task ran or not.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<CefRefPtr<CefTask>*>(data))->Execute();
            return G_SOURCE_REMOVE;
        },
        new CefRefPtr<CefTask>(std::move(task)),
        [](gpointer data) { delete static_cast<CefRefPtr<CefTask>*>(data); });
    return true;
}

bool CefCurrentlyOn(CefThreadId threadId) {
    return threadId == TID_UI && std::this_thread::get_id() == g_uiThread;
}

void CefUiThreadRequired(const char* function) {
    std::fprintf(stderr, "%s must be called on the UI thread\n", function);
    std::abort();
}
