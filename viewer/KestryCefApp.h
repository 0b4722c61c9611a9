// The application object of every process: fixed engine switches on each command line, the
// browser-process handler (itself, with the defaults) and the render-process handler that
// installs the page bridge.
#pragma once

#include "cef/cef_app.h"

class CKestryCefApp : public CefRefCounted<CefApp, CefBrowserProcessHandler> {
  public:
    CKestryCefApp() = default;
    CKestryCefApp(const CKestryCefApp&) = delete;
    CKestryCefApp& operator=(const CKestryCefApp&) = delete;

    // CefApp methods:
    void OnBeforeCommandLineProcessing(const CefString& process_type,
                                       CefRefPtr<CefCommandLine> command_line) override;
    CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
    // A new handler on every request; none is kept or reused.
    CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;
};
