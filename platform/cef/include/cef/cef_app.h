// The application object every process hands to the layer: it sees each process's command
// line first and supplies the process handlers.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_command_line.h"
#include "cef/cef_render_process_handler.h"
#include "cef/cef_string.h"

// Custom schemes and resource bundles are not supported by this layer; the application
// object's defaults register none and supply none.
class CefSchemeRegistrar {};
class CefResourceBundleHandler : public virtual CefBaseRefCounted {};

class CefBrowserProcessHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnContextInitialized() {}
};

class CefApp : public virtual CefBaseRefCounted {
public:
    virtual void OnBeforeCommandLineProcessing(const CefString& /*processType*/,
                                               CefRefPtr<CefCommandLine> /*commandLine*/) {}
    virtual void OnRegisterCustomSchemes(CefSchemeRegistrar* /*registrar*/) {}
    virtual CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() { return nullptr; }
    virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
    virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};
