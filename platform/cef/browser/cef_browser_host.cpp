// Browser creation on the browser side: a web view in a child window of its own.
#include "browser_impl.h"
#include "cef/cef_task.h"
#include "engine.h"
#include "gobject_ref.h"
#include "win32/gtk_window.h"

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                                   const CefString& url, const CefBrowserSettings& settings,
                                   CefRefPtr<CefDictionaryValue>, CefRefPtr<CefRequestContext>) {
    CefRequireUiThread();
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
    const GObjectRef<WebKitSettings> viewSettings = NewViewSettings(settings);
    // Held here until the window and the browser hold it.
    const auto view = GObjectRef<WebKitWebView>::Sink(
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine.context.get(),
                                     "settings", viewSettings.get(), nullptr)));
    const HWND hwnd = Win32AttachChildWidget(
        parent, GTK_WIDGET(view.get()), rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, top ? 0 : static_cast<int>(windowInfo.menu), BrowserWindowProc);
    if (!hwnd) {
        if (top)
            DestroyWindow(top);
        return false;
    }
    if (top || (windowInfo.style & WS_VISIBLE))
        gtk_widget_show(GTK_WIDGET(view.get()));
    CefRefPtr<BrowserImpl> browser = BrowserImpl::Create(client, view.get(), hwnd, top);
    if (!url.empty())
        webkit_web_view_load_uri(view.get(), url.ToString().c_str());
    browser->ReportCreatedLater();
    return true;
}
