// The render side of the JavaScript bridge: installs BrevonaInterface in every JavaScript
// context and sends one process message to the browser side for each call on it.
#pragma once

#include "cef/cef_render_process_handler.h"
#include "cef/cef_v8.h"

class ViewerCefProcessHandler : public CefRefCounted<CefRenderProcessHandler, CefV8Handler> {
  public:
    ViewerCefProcessHandler() = default;
    ViewerCefProcessHandler(const ViewerCefProcessHandler&) = delete;
    ViewerCefProcessHandler& operator=(const ViewerCefProcessHandler&) = delete;

    // CefRenderProcessHandler methods:
    void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                          CefRefPtr<CefV8Context> context) override;

    // CefV8Handler methods:
    bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                 const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                 CefString& exception) override;
};
