// Creation and closing of browsers, pop-ups included.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"

class CefLifeSpanHandler : public virtual CefBaseRefCounted {
  public:
    // Asked before a page opens a pop-up: false lets the layer create it, in a top-level
    // window of its own with the opener's client; true refuses it.
    virtual bool OnBeforePopup(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                               const CefString& /*targetUrl*/) {
        return false;
    }
    virtual void OnAfterCreated(CefRefPtr<CefBrowser> /*browser*/) {}
    // Asked when a browser's window is to close; false lets the close proceed.
    virtual bool DoClose(CefRefPtr<CefBrowser> /*browser*/) { return false; }
    virtual void OnBeforeClose(CefRefPtr<CefBrowser> /*browser*/) {}
};
