#include "browser_impl.h"

#include <algorithm>

#include "cef/cef_menu_model.h"
#include "cef/cef_request.h"
#include "cef/cef_task.h"
#include "list_value_variant.h"
#include "webkit_compat.h"
#include "win32/gtk_window.h"

namespace {

std::vector<BrowserImpl*>& Open() {
    static std::vector<BrowserImpl*> open;
    return open;
}

int g_nextId = 1;
constexpr const char* kBrowserKey = "cef-browser";

class RequestImpl : public CefRefCounted<CefRequest> {
  public:
    RequestImpl(CefString url, CefString method)
        : url_(std::move(url)), method_(std::move(method)) {}
    CefString GetURL() override { return url_; }
    CefString GetMethod() override { return method_; }

  private:
    CefString url_;
    CefString method_;
};

class ContextMenuParamsImpl : public CefRefCounted<CefContextMenuParams> {
  public:
    ContextMenuParamsImpl(int x, int y, CefString link) : x_(x), y_(y), link_(std::move(link)) {}
    int GetXCoord() override { return x_; }
    int GetYCoord() override { return y_; }
    CefString GetLinkUrl() override { return link_; }

  private:
    int x_;
    int y_;
    CefString link_;
};

BrowserImpl* Self(gpointer data) {
    return static_cast<BrowserImpl*>(data);
}

gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent* event,
                       WebKitHitTestResult* hit, gpointer data) {
    BrowserImpl* browser = Self(data);
    CefRefPtr<CefContextMenuHandler> handler =
        browser->ClientHandler(&CefClient::GetContextMenuHandler);
    if (!handler)
        return FALSE;

    CefRefPtr<CefMenuModel> model = CefMenuModel::Create();
    GList* items = webkit_context_menu_get_items(menu);
    std::vector<WebKitContextMenuItem*> original;
    for (GList* l = items; l; l = l->next) {
        auto* item = static_cast<WebKitContextMenuItem*>(l->data);
        original.push_back(item);
        model->AddItem(static_cast<int>(webkit_context_menu_item_get_stock_action(item)),
                       CefString(WebKitCompatMenuItemLabel(item)));
    }
    gdouble x = 0;
    gdouble y = 0;
    if (event)
        gdk_event_get_coords(event, &x, &y);
    const char* link = hit && webkit_hit_test_result_context_is_link(hit)
                           ? webkit_hit_test_result_get_link_uri(hit)
                           : nullptr;
    handler->OnBeforeContextMenu(
        browser, browser->GetMainFrame(),
        new ContextMenuParamsImpl(static_cast<int>(x), static_cast<int>(y), CefString(link)),
        model);
    if (model->GetCount() == 0)
        return TRUE;  // nothing left to show: no menu
    // Keep the items the model still lists, in order; remove the others.
    std::size_t next = 0;
    for (WebKitContextMenuItem* item : original) {
        const int id = static_cast<int>(webkit_context_menu_item_get_stock_action(item));
        if (next < model->GetCount() && model->GetCommandIdAt(next) == id) {
            ++next;
        } else {
            webkit_context_menu_remove(menu, item);
        }
    }
    return FALSE;
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return FALSE;
    BrowserImpl* browser = Self(data);
    CefRefPtr<CefRequestHandler> handler = browser->ClientHandler(&CefClient::GetRequestHandler);
    if (!handler)
        return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    CefRefPtr<CefRequest> cefRequest =
        new RequestImpl(CefString(webkit_uri_request_get_uri(request)),
                        CefString(webkit_uri_request_get_http_method(request)));
    if (handler->OnBeforeBrowse(browser, browser->GetMainFrame(), cefRequest,
                                webkit_navigation_action_is_user_gesture(action),
                                webkit_navigation_action_is_redirect(action))) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    BrowserImpl* browser = Self(data);
    CefRefPtr<CefLoadHandler> handler = browser->ClientHandler(&CefClient::GetLoadHandler);
    if (!handler)
        return;
    if (event == WEBKIT_LOAD_STARTED) {
        handler->OnLoadingStateChange(browser, true, webkit_web_view_can_go_back(view),
                                      webkit_web_view_can_go_forward(view));
    } else if (event == WEBKIT_LOAD_COMMITTED) {
        handler->OnLoadStart(browser, browser->GetMainFrame());
    } else if (event == WEBKIT_LOAD_FINISHED) {
        handler->OnLoadEnd(browser, browser->GetMainFrame(), 200);
        handler->OnLoadingStateChange(browser, false, webkit_web_view_can_go_back(view),
                                      webkit_web_view_can_go_forward(view));
    }
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    BrowserImpl* browser = Self(data);
    CefRefPtr<CefLoadHandler> handler = browser->ClientHandler(&CefClient::GetLoadHandler);
    if (handler) {
        const bool aborted =
            g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
        handler->OnLoadError(browser, browser->GetMainFrame(), aborted ? ERR_ABORTED : ERR_FAILED,
                             CefString(error ? error->message : ""), CefString(uri));
    }
    return FALSE;  // the engine shows its own error page
}

void OnUriChanged(WebKitWebView* view, GParamSpec*, gpointer data) {
    BrowserImpl* browser = Self(data);
    if (CefRefPtr<CefDisplayHandler> handler =
            browser->ClientHandler(&CefClient::GetDisplayHandler)) {
        handler->OnAddressChange(browser, browser->GetMainFrame(),
                                 CefString(webkit_web_view_get_uri(view)));
    }
}

// A window of the layer's own (a pop-up's) shows its page's title; a child browser leaves
// its parent's title to the program.
void OnTitleChanged(WebKitWebView* view, GParamSpec*, gpointer data) {
    BrowserImpl* browser = Self(data);
    if (browser->IsPopup()) {
        const CefString title(webkit_web_view_get_title(view));
        SetWindowTextW(GetParent(browser->GetWindowHandle()), title.ToWString().c_str());
    }
    if (CefRefPtr<CefDisplayHandler> handler =
            browser->ClientHandler(&CefClient::GetDisplayHandler)) {
        handler->OnTitleChange(browser, CefString(webkit_web_view_get_title(view)));
    }
}

// A process message from the page's web process: the name and an "av" argument list.
gboolean OnUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data) {
    CefRefPtr<BrowserImpl> browser = Self(data);
    CefRefPtr<CefClient> client = browser->Client();
    if (!client)
        return FALSE;
    CefRefPtr<CefProcessMessage> cefMessage =
        CefProcessMessage::Create(CefString(webkit_user_message_get_name(message)));
    ListValueFromVariant(webkit_user_message_get_parameters(message),
                         *cefMessage->GetArgumentList());
    client->OnProcessMessageReceived(browser, browser->GetMainFrame(), PID_RENDERER, cefMessage);
    return TRUE;
}

void OnCloseRequested(WebKitWebView*, gpointer data) {
    Self(data)->CloseBrowser(false);
}

// A pop-up is shown once its page asks for it, at the size the page asked for.
void OnReadyToShow(WebKitWebView* view, gpointer data) {
    BrowserImpl* browser = Self(data);
    if (!browser->IsPopup() || browser->IsClosed())
        return;
    const HWND top = GetParent(browser->GetWindowHandle());
    GdkRectangle geometry{};
    webkit_window_properties_get_geometry(webkit_web_view_get_window_properties(view), &geometry);
    if (geometry.width > 0 && geometry.height > 0) {
        SetWindowPos(top, 0, geometry.x, geometry.y, geometry.width, geometry.height, SWP_NOZORDER);
    }
    ShowWindow(top, SW_SHOW);
}

// The top-level window of a pop-up: its browser fills the client area.
LRESULT PopupWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && wParam != SIZE_MINIMIZED) {
        for (const auto& browser : BrowserImpl::OpenBrowsers()) {
            if (GetParent(browser->GetWindowHandle()) == hwnd) {
                SetWindowPos(browser->GetWindowHandle(), 0, 0, 0, LOWORD(lParam), HIWORD(lParam),
                             SWP_NOZORDER);
            }
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

GtkWidget* OnCreatePopup(WebKitWebView* view, WebKitNavigationAction* action, gpointer data) {
    BrowserImpl* opener = Self(data);
    CefRefPtr<CefClient> client = opener->Client();
    if (!client)
        return nullptr;
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const CefString target(request ? webkit_uri_request_get_uri(request) : "");
    if (CefRefPtr<CefLifeSpanHandler> handler = client->GetLifeSpanHandler()) {
        if (handler->OnBeforePopup(opener, opener->GetMainFrame(), target))
            return nullptr;
    }
    const HWND top =
        CreateWindowExW(0, BrowserWindowClass(), L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, 0, nullptr);
    if (!top)
        return nullptr;
    GtkWidget* popup = webkit_web_view_new_with_related_view(view);
    webkit_web_view_set_settings(WEBKIT_WEB_VIEW(popup), webkit_web_view_get_settings(view));
    RECT client_rect{};
    GetClientRect(top, &client_rect);
    const HWND hwnd = Win32AttachChildWidget(top, popup, 0, 0, client_rect.right,
                                             client_rect.bottom, 0, BrowserWindowProc);
    gtk_widget_show(popup);
    CefRefPtr<BrowserImpl> browser = BrowserImpl::Create(client, WEBKIT_WEB_VIEW(popup), hwnd, top);
    browser->ReportCreatedLater();
    return popup;
}

}  // namespace

// The messages of the browser's child window: its destruction ends the browser.
LRESULT BrowserWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        if (auto* browser = static_cast<BrowserImpl*>(Win32GetWindowData(hwnd))) {
            Win32SetWindowData(hwnd, nullptr);
            browser->OnWindowDestroyed();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LPCWSTR BrowserWindowClass() {
    static const wchar_t* const name = [] {
        static const wchar_t kName[] = L"CefBrowserWindow";
        WNDCLASSW wc{0, PopupWindowProc, 0, 0, 0, 0, kName};
        RegisterClassW(&wc);
        return kName;
    }();
    return name;
}

bool FrameImpl::IsValid() {
    return browser_ && !browser_->IsClosed();
}

CefString FrameImpl::GetURL() {
    CefRequireUiThread();
    WebKitWebView* view = browser_ ? browser_->View() : nullptr;
    return CefString(view ? webkit_web_view_get_uri(view) : "");
}

void FrameImpl::LoadURL(const CefString& url) {
    CefRequireUiThread();
    if (WebKitWebView* view = browser_ ? browser_->View() : nullptr) {
        webkit_web_view_load_uri(view, url.ToString().c_str());
    }
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() {
    return browser_;
}

// The render side takes no message (its handler refuses every one), so nothing is sent.
void FrameImpl::SendProcessMessage(CefProcessId, CefRefPtr<CefProcessMessage>) {}

CefRefPtr<BrowserImpl> BrowserImpl::Create(CefRefPtr<CefClient> client, WebKitWebView* view,
                                           HWND hwnd, HWND topLevel) {
    CefRefPtr<BrowserImpl> browser = new BrowserImpl(std::move(client), view, hwnd, topLevel);
    browser->ConnectSignals();
    Win32SetWindowData(hwnd, browser.get());
    browser->AddRef();  // the open browser's own reference, dropped when its window goes
    Open().push_back(browser.get());
    return browser;
}

BrowserImpl::BrowserImpl(CefRefPtr<CefClient> client, WebKitWebView* view, HWND hwnd, HWND topLevel)
    : client_(std::move(client)),
      view_(GObjectRef<WebKitWebView>::Sink(view)),
      hwnd_(hwnd),
      topLevel_(topLevel),
      id_(g_nextId++),
      frame_(new FrameImpl(this)) {
    g_object_set_data(G_OBJECT(view_.get()), kBrowserKey, this);
}

BrowserImpl::~BrowserImpl() {
    frame_->Detach();
    g_object_set_data(G_OBJECT(view_.get()), kBrowserKey, nullptr);
}

std::vector<CefRefPtr<BrowserImpl>> BrowserImpl::OpenBrowsers() {
    return std::vector<CefRefPtr<BrowserImpl>>(Open().begin(), Open().end());
}

BrowserImpl* BrowserImpl::FromView(WebKitWebView* view) {
    auto* browser =
        view ? static_cast<BrowserImpl*>(g_object_get_data(G_OBJECT(view), kBrowserKey)) : nullptr;
    return browser && !browser->closed_ ? browser : nullptr;
}

void BrowserImpl::ConnectSignals() {
    WebKitWebView* view = view_.get();
    g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(view, "notify::uri", G_CALLBACK(OnUriChanged), this);
    g_signal_connect(view, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(view, "user-message-received", G_CALLBACK(OnUserMessage), this);
    g_signal_connect(view, "create", G_CALLBACK(OnCreatePopup), this);
    g_signal_connect(view, "ready-to-show", G_CALLBACK(OnReadyToShow), this);
    g_signal_connect(view, "close", G_CALLBACK(OnCloseRequested), this);
}

void BrowserImpl::CloseBrowser(bool forceClose) {
    CefRequireUiThread();
    if (closed_)
        return;
    CefRefPtr<BrowserImpl> keep(this);
    CefRefPtr<CefLifeSpanHandler> handler = ClientHandler(&CefClient::GetLifeSpanHandler);
    if (!forceClose && handler && handler->DoClose(this))
        return;
    if (forceClose) {
        DestroyWindow(topLevel_ ? topLevel_ : hwnd_);
        return;
    }
    HWND top = hwnd_;
    while (GetParent(top))
        top = GetParent(top);
    SendMessageW(top, WM_CLOSE, 0, 0);
}

void BrowserImpl::SetFocus(bool focus) {
    CefRequireUiThread();
    if (focus && !closed_)
        gtk_widget_grab_focus(GTK_WIDGET(view_.get()));
}

// The window already has its new size; the engine lays the page out again in the loop's
// next frame, not inside the caller.
void BrowserImpl::WasResized() {
    CefRequireUiThread();
    if (!closed_)
        gtk_widget_queue_resize(GTK_WIDGET(view_.get()));
}

void BrowserImpl::ReportCreatedLater() {
    AddRef();  // the pending report's reference
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            auto* browser = static_cast<BrowserImpl*>(data);
            CefRefPtr<CefLifeSpanHandler> handler =
                browser->ClientHandler(&CefClient::GetLifeSpanHandler);
            if (handler && !browser->closed_)
                handler->OnAfterCreated(browser);
            return G_SOURCE_REMOVE;
        },
        this, [](gpointer data) { static_cast<BrowserImpl*>(data)->Release(); });
}

void BrowserImpl::OnWindowDestroyed() {
    if (closed_)
        return;
    CefRefPtr<BrowserImpl> keep(this);
    if (CefRefPtr<CefLifeSpanHandler> handler = ClientHandler(&CefClient::GetLifeSpanHandler)) {
        handler->OnBeforeClose(this);
    }
    closed_ = true;
    g_signal_handlers_disconnect_by_data(view_.get(), this);
    Open().erase(std::find(Open().begin(), Open().end(), this));
    client_ = nullptr;
    Release();  // the open browser's own reference
}
