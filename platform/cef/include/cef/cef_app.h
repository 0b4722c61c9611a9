// The application object every process hands to the layer: it sees each process's command
// line first and supplies the process handlers.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_command_line.h"
#include "cef/cef_render_process_handler.h"
#include "cef/cef_string.h"
#include "cef/cef_types.h"

// Custom schemes and resource bundles are not supported by this layer; the application
// object's defaults register none and supply none.
class CefSchemeRegistrar {};
class CefResourceBundleHandler : public virtual CefBaseRefCounted {};

// No browser-process callback is made by this layer: the handler's defaults apply.
class CefBrowserProcessHandler : public virtual CefBaseRefCounted {};

class CefApp : public virtual CefBaseRefCounted {
  public:
    virtual void OnBeforeCommandLineProcessing(const CefString& /*processType*/,
                                               CefRefPtr<CefCommandLine> /*commandLine*/) {}
    virtual void OnRegisterCustomSchemes(CefSchemeRegistrar* /*registrar*/) {}
    virtual CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() { return nullptr; }
    virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
    virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// Process start-up and the message loop of the browser side.
//
// Returns -1 in the browser process, which then goes on to CefInitialize. The engine starts
// its helper processes itself, so a process started with a process type ("--type=...") has
// nothing to run here: it gets 0 at once. The sandbox information is not used.
int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> application,
                      void* windowsSandboxInfo);
// Starts the toolkit and the engine's one ephemeral web context, after the application
// object has seen the process's command line.
bool CefInitialize(const CefMainArgs& args, const CefSettings& settings,
                   CefRefPtr<CefApp> application, void* windowsSandboxInfo);
// Runs the main loop until the program's quit message (the framework posts it when the
// main window is destroyed).
void CefRunMessageLoop();
// One pass of the main loop without waiting.
void CefDoMessageLoopWork();
// Closes the browsers still open and releases the engine; harmless when CefInitialize
// never ran.
void CefShutdown();
