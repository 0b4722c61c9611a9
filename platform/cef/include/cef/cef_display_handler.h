// Address and title changes of a browser.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_string.h"

class CefDisplayHandler : public virtual CefBaseRefCounted {
  public:
    virtual void OnAddressChange(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                 const CefString& /*url*/) {}
    virtual void OnTitleChange(CefRefPtr<CefBrowser> /*browser*/, const CefString& /*title*/) {}
};
