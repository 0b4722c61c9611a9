// The render side's entry: the engine loads this module into each of its web processes
// and calls webkit_web_extension_initialize before any page exists there.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cef/cef_command_line.h"
#include "render_app.h"
#include "render_browser.h"
#include "render_v8.h"

namespace {

// The render side's process type, as the application object sees it.
const CefString kRendererProcessType = u"renderer";

struct RenderProcess {
    CefRefPtr<CefApp> app;
    CefRefPtr<CefRenderProcessHandler> handler;
};

RenderProcess& Process() {
    static RenderProcess process;
    return process;
}

// The web process's own arguments, NUL-separated in /proc.
void InitFromOwnArguments(CefCommandLine& commandLine) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> args;
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t end = raw.find('\0', start);
        args.push_back(
            raw.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    commandLine.InitFromArgv(static_cast<int>(argv.size()), argv.data());
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
    InitFromOwnArguments(*commandLine);
    process.app->OnBeforeCommandLineProcessing(kRendererProcessType, commandLine);
    process.handler = process.app->GetRenderProcessHandler();
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                     G_CALLBACK(OnWindowObjectCleared), nullptr);
}
