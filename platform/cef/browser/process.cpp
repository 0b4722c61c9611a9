#include <string>

#include "browser_impl.h"
#include "cef/cef_app.h"
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
            webkit_web_context_get_website_data_manager(engine.context),
            WEBKIT_TLS_ERRORS_POLICY_IGNORE);
    }
}

}  // namespace

Engine& GetEngine() {
    static Engine engine;
    return engine;
}

WebKitSettings* NewViewSettings(const CefBrowserSettings& browserSettings) {
    const Engine& engine = GetEngine();
    WebKitSettings* settings = webkit_settings_new();
    // Pages may open windows from script; the layer shows them as pop-up browsers.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings,
                                                             !engine.autoplayWithoutGesture);
    if (engine.webSecurityDisabled) {
        webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
        webkit_settings_set_allow_universal_access_from_file_urls(settings, TRUE);
    }
    auto apply = [](cef_state_t state, auto setter, WebKitSettings* s) {
        if (state != STATE_DEFAULT)
            setter(s, state == STATE_ENABLED);
    };
    apply(browserSettings.javascript, webkit_settings_set_enable_javascript, settings);
    apply(browserSettings.javascript_access_clipboard,
          webkit_settings_set_javascript_can_access_clipboard, settings);
    apply(browserSettings.image_loading, webkit_settings_set_auto_load_images, settings);
    apply(browserSettings.local_storage, webkit_settings_set_enable_html5_local_storage, settings);
    apply(browserSettings.webgl, webkit_settings_set_enable_webgl, settings);
    if (browserSettings.default_font_size > 0) {
        webkit_settings_set_default_font_size(
            settings, static_cast<guint32>(browserSettings.default_font_size));
    }
    if (!browserSettings.standard_font_family.empty()) {
        webkit_settings_set_default_font_family(
            settings, browserSettings.standard_font_family.ToString().c_str());
    }
    if (!browserSettings.default_encoding.empty()) {
        webkit_settings_set_default_charset(settings,
                                            browserSettings.default_encoding.ToString().c_str());
    }
    return settings;
}

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
    engine.context = webkit_web_context_new_ephemeral();
    const std::string extensions = ExecutableFolder() + "/webextensions";
    webkit_web_context_set_web_extensions_directory(engine.context, extensions.c_str());
    ApplySwitches(engine, *commandLine);
    g_signal_connect(engine.context, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
    return true;
}

void CefRunMessageLoop() {
    Win32Trace("CefRunMessageLoop");
    Win32RunMessageLoop();
    Win32Trace("CefRunMessageLoop returned");
}

void CefDoMessageLoopWork() {
    g_main_context_iteration(nullptr, FALSE);
}

void CefShutdown() {
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
    g_signal_handlers_disconnect_by_func(engine.context,
                                         reinterpret_cast<gpointer>(OnDownloadStarted), nullptr);
    g_object_unref(engine.context);
    engine = Engine{};
}

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                                   const CefString& url, const CefBrowserSettings& settings,
                                   CefRefPtr<CefDictionaryValue>, CefRefPtr<CefRequestContext>) {
    Engine& engine = GetEngine();
    if (!engine.context || !client || windowInfo.windowless_rendering_enabled)
        return false;
    HWND top = 0;
    HWND parent = windowInfo.parent_window;
    RECT rect{windowInfo.x, windowInfo.y, windowInfo.x + windowInfo.width,
              windowInfo.y + windowInfo.height};
    if (!parent) {
        top = CreateWindowExW(0, BrowserWindowClass(), windowInfo.window_name.ToWString().c_str(),
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              windowInfo.width > 0 ? windowInfo.width : CW_USEDEFAULT,
                              windowInfo.height > 0 ? windowInfo.height : CW_USEDEFAULT, 0, 0, 0,
                              nullptr);
        if (!top)
            return false;
        parent = top;
        GetClientRect(top, &rect);
    }
    WebKitSettings* viewSettings = NewViewSettings(settings);
    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine.context,
                                              "settings", viewSettings, nullptr));
    g_object_unref(viewSettings);
    g_object_ref_sink(view);
    const HWND hwnd = Win32AttachChildWidget(
        parent, view, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        top ? 0 : static_cast<int>(windowInfo.menu), BrowserWindowProc);
    if (!hwnd) {
        g_object_unref(view);
        if (top)
            DestroyWindow(top);
        return false;
    }
    if (top || (windowInfo.style & WS_VISIBLE))
        gtk_widget_show(view);
    CefRefPtr<BrowserImpl> browser = BrowserImpl::Create(client, WEBKIT_WEB_VIEW(view), hwnd, top);
    g_object_unref(view);  // the window and the browser hold it now
    if (!url.empty())
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url.ToString().c_str());
    browser->ReportCreatedLater();
    return true;
}
