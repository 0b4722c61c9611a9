// Callbacks of the render side: the application's handler learns of every new JavaScript
// context before the page's scripts run in it.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_process_message.h"
#include "cef/cef_v8.h"

class CefRenderProcessHandler : public virtual CefBaseRefCounted {
  public:
    virtual void OnContextCreated(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                  CefRefPtr<CefV8Context> /*context*/) {}
    // The browser side sends the render side no message; the default refuses every one.
    virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> /*browser*/,
                                          CefRefPtr<CefFrame> /*frame*/,
                                          CefProcessId /*sourceProcess*/,
                                          CefRefPtr<CefProcessMessage> /*message*/) {
        return false;
    }
};
