// Built into the viewer and into the render-side module alike: the layer's public headers only.
#include "KestryCefApp.h"

#include "ViewerCefProcessHandler.h"

// The switches every process gets, whatever its type, in this order.
void CKestryCefApp::OnBeforeCommandLineProcessing(const CefString& /*process_type*/,
                                                  CefRefPtr<CefCommandLine> command_line) {
    command_line->AppendSwitchWithValue("autoplay-policy", "no-user-gesture-required");
    command_line->AppendSwitchWithValue("ppapi-flash-version", "32.0.0.371");
    command_line->AppendSwitchWithValue("disable-web-security", "true");
    command_line->AppendSwitch("allow-running-insecure-content");
    command_line->AppendSwitch("ignore-certificate-errors");
    command_line->AppendSwitch("disable-gpu-memory-buffer-compositor-resources");
    command_line->AppendSwitch("disable-gpu-memory-buffer-video-frames");
    command_line->AppendSwitch("disable-gpu-program-cache");
}

CefRefPtr<CefRenderProcessHandler> CKestryCefApp::GetRenderProcessHandler() {
    return new ViewerCefProcessHandler;
}
