#include <glib.h>

#include <thread>

#include "cef/cef_menu_model.h"
#include "cef/cef_task.h"

namespace {

// Static initialisation runs on the main thread, the layer's UI thread.
const std::thread::id g_uiThread = std::this_thread::get_id();

}  // namespace

bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task) {
    if (threadId != TID_UI || !task)
        return false;
    // The default main context is the UI thread's loop; adding to it is safe from any thread.
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

CefRefPtr<CefMenuModel> CefMenuModel::Create() {
    return new CefMenuModel();
}

bool CefMenuModel::Clear() {
    items_.clear();
    return true;
}

bool CefMenuModel::AddItem(int commandId, const CefString& label) {
    items_.push_back(Item{commandId, label});
    return true;
}

bool CefMenuModel::RemoveAt(std::size_t index) {
    if (index >= items_.size())
        return false;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

int CefMenuModel::GetCommandIdAt(std::size_t index) const {
    return index < items_.size() ? items_[index].commandId : -1;
}

CefString CefMenuModel::GetLabelAt(std::size_t index) const {
    return index < items_.size() ? items_[index].label : CefString();
}
