// Process start-up, the main loop and shutdown of the browser side.
#include <string>

#include "browser_impl.h"
#include "cef/cef_app.h"
#include "cef/cef_task.h"
#include "downloads.h"
#include "engine.h"
#include "process_arguments.h"
#include "win32/gtk_window.h"
#include "win32/trace.h"

namespace {

constexpr int kShutdownPasses = 1000;

// The folder of the running executable.
std::string ExecutableFolder() {
    gchar* exe = g_file_read_link("/proc/self/exe", nullptr);
    gchar* folder = exe ? g_path_get_dirname(exe) : g_strdup(".");
    std::string result = folder;
    g_free(folder);
    g_free(exe);
    return result;
}

void ApplySwitches(Engine& engine, const CefCommandLine& commandLine) {
    engine.autoplayWithoutGesture =
        commandLine.GetSwitchValue("autoplay-policy") == CefString("no-user-gesture-required");
    engine.webSecurityDisabled = commandLine.HasSwitch("disable-web-security");
    if (commandLine.HasSwitch("ignore-certificate-errors")) {
        webkit_website_data_manager_set_tls_errors_policy(
            webkit_web_context_get_website_data_manager(engine.context.get()),
            WEBKIT_TLS_ERRORS_POLICY_IGNORE);
    }
}

}  // namespace

int CefExecuteProcess(const CefMainArgs&, CefRefPtr<CefApp> application, void*) {
    CefRefPtr<CefCommandLine> commandLine = CefCommandLine::GetGlobalCommandLine();
    InitFromProcessArguments(*commandLine);
    Win32Trace("CefExecuteProcess");
    if (!commandLine->HasSwitch("type"))
        return -1;
    // A helper process of the engine's kind: the engine starts its own, so nothing runs here.
    if (application)
        application->OnBeforeCommandLineProcessing(commandLine->GetSwitchValue("type"),
                                                   commandLine);
    return 0;
}

bool CefInitialize(const CefMainArgs&, const CefSettings& settings, CefRefPtr<CefApp> application,
                   void*) {
    CefRequireUiThread();
    Win32Trace("CefInitialize");
    Engine& engine = GetEngine();
    if (engine.context || settings.multi_threaded_message_loop)
        return false;
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    CefRefPtr<CefCommandLine> commandLine = CefCommandLine::GetGlobalCommandLine();
    if (application)
        application->OnBeforeCommandLineProcessing(CefString(), commandLine);

    // One context that keeps nothing on disk, as a browser without a cache path does.
    engine.context = GObjectRef<WebKitWebContext>::Adopt(webkit_web_context_new_ephemeral());
    const std::string extensions = ExecutableFolder() + "/webextensions";
    webkit_web_context_set_web_extensions_directory(engine.context.get(), extensions.c_str());
    ApplySwitches(engine, *commandLine);
    g_signal_connect(engine.context.get(), "download-started", G_CALLBACK(OnDownloadStarted),
                     nullptr);
    return true;
}

void CefRunMessageLoop() {
    CefRequireUiThread();
    Win32Trace("CefRunMessageLoop");
    Win32RunMessageLoop();
    Win32Trace("CefRunMessageLoop returned");
}

void CefDoMessageLoopWork() {
    CefRequireUiThread();
    g_main_context_iteration(nullptr, FALSE);
}

void CefShutdown() {
    CefRequireUiThread();
    Win32Trace("CefShutdown");
    Engine& engine = GetEngine();
    if (!engine.context)
        return;
    for (const auto& browser : BrowserImpl::OpenBrowsers())
        browser->CloseBrowser(true);
    // Lets the closed browsers' pending work finish; bounded, as the engine may keep
    // sources of its own ready.
    for (int i = 0; i < kShutdownPasses && g_main_context_pending(nullptr); ++i) {
        g_main_context_iteration(nullptr, FALSE);
    }
    g_signal_handlers_disconnect_by_func(engine.context.get(),
                                         reinterpret_cast<gpointer>(OnDownloadStarted), nullptr);
    engine = Engine{};
}
