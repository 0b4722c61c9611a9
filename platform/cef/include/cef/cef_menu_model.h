// The items of a context menu. The browser side fills it from the engine's menu before the
// context-menu handler sees it; a model that is empty afterwards shows no menu, and items
// the handler removed are removed from the menu shown.
#pragma once

#include <vector>

#include "cef/cef_base.h"
#include "cef/cef_string.h"

class CefMenuModel : public CefRefCounted<> {
  public:
    static CefRefPtr<CefMenuModel> Create();

    bool Clear();
    std::size_t GetCount() const { return items_.size(); }
    bool AddItem(int commandId, const CefString& label);
    bool RemoveAt(std::size_t index);
    int GetCommandIdAt(std::size_t index) const;  // -1 past the end
    CefString GetLabelAt(std::size_t index) const;

  private:
    CefMenuModel() = default;

    struct Item {
        int commandId;
        CefString label;
    };
    std::vector<Item> items_;
};
