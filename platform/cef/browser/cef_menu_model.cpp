#include "cef/cef_menu_model.h"

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
