// The render side's entry: the engine loads this module into each of its web processes
// and calls webkit_web_extension_initialize before any page exists there.
#include "cef/cef_command_line.h"
#include "cef/cef_render_app.h"
#include "process_arguments.h"
#include "render_browser.h"
#include "render_v8.h"

namespace {

// The render side's process type, as the application object sees it.
const CefString kRendererProcessType = u"renderer";

// The web process's main thread only: the engine calls the module there.
struct RenderProcess {
    CefRefPtr<CefApp> app;
    CefRefPtr<CefRenderProcessHandler> handler;
};

RenderProcess& Process() {
    static RenderProcess process;
    return process;
}

// Every new JavaScript context of the page's own world: the main frame's, each iframe's,
// and each new document's after a navigation.
void OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                           gpointer /*data*/) {
    const CefRefPtr<CefRenderProcessHandler>& handler = Process().handler;
    if (!handler)
        return;
    auto js =
        GObjectRef<JSCContext>::Adopt(webkit_frame_get_js_context_for_script_world(frame, world));
    CefRefPtr<RenderV8Context> context = new RenderV8Context(js, page, frame);
    ScopedEnteredContext entered(context);
    handler->OnContextCreated(new RenderBrowser(page), new RenderFrame(page, frame), context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* /*extension*/) {
    RenderProcess& process = Process();
    process.app = CreateRenderProcessApp();
    if (!process.app)
        return;
    CefRefPtr<CefCommandLine> commandLine = CefCommandLine::GetGlobalCommandLine();
    InitFromProcessArguments(*commandLine);
    process.app->OnBeforeCommandLineProcessing(kRendererProcessType, commandLine);
    process.handler = process.app->GetRenderProcessHandler();
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                     G_CALLBACK(OnWindowObjectCleared), nullptr);
}
