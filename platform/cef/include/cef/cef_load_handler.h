// Loading state and load errors of a browser's frames.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_string.h"

// The engine's error codes are passed through; ERR_ABORTED marks a load that was stopped.
enum cef_errorcode_t {
    ERR_NONE = 0,
    ERR_FAILED = -2,
    ERR_ABORTED = -3,
};

class CefLoadHandler : public virtual CefBaseRefCounted {
  public:
    virtual void OnLoadingStateChange(CefRefPtr<CefBrowser> /*browser*/, bool /*isLoading*/,
                                      bool /*canGoBack*/, bool /*canGoForward*/) {}
    virtual void OnLoadStart(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/) {}
    virtual void OnLoadEnd(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                           int /*httpStatusCode*/) {}
    virtual void OnLoadError(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                             cef_errorcode_t /*errorCode*/, const CefString& /*errorText*/,
                             const CefString& /*failedUrl*/) {}
};
