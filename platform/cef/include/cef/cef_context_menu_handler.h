// The context menu of a page.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_menu_model.h"

// Where the menu was asked for.
class CefContextMenuParams : public virtual CefBaseRefCounted {
  public:
    virtual int GetXCoord() = 0;
    virtual int GetYCoord() = 0;
    virtual CefString GetLinkUrl() = 0;
};

class CefContextMenuHandler : public virtual CefBaseRefCounted {
  public:
    // Called before the menu is shown; the handler may change the model.
    virtual void OnBeforeContextMenu(CefRefPtr<CefBrowser> /*browser*/,
                                     CefRefPtr<CefFrame> /*frame*/,
                                     CefRefPtr<CefContextMenuParams> /*params*/,
                                     CefRefPtr<CefMenuModel> /*model*/) {}
};
