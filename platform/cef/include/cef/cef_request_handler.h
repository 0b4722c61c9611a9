// Navigation decisions of a browser.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_request.h"

class CefRequestHandler : public virtual CefBaseRefCounted {
  public:
    // Asked before a frame navigates; true cancels the navigation.
    virtual bool OnBeforeBrowse(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                CefRefPtr<CefRequest> /*request*/, bool /*userGesture*/,
                                bool /*isRedirect*/) {
        return false;
    }
};
