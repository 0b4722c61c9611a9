// One browser on the browser side: a web view in a window, with its main frame. Like every
// object of the browser side, used on the UI thread only (the engine and the toolkit are
// not thread-safe); only the reference count may change elsewhere.
#pragma once

#include <webkit2/webkit2.h>

#include <vector>

#include "cef/cef_browser.h"
#include "cef/cef_client.h"
#include "gobject_ref.h"
#include "win32/winuser.h"

class BrowserImpl;

// The procedure of a browser's own window: its destruction ends the browser.
LRESULT BrowserWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The window class of the top-level windows that hold browsers without a parent (pop-ups).
LPCWSTR BrowserWindowClass();

class FrameImpl : public CefRefCounted<CefFrame> {
  public:
    explicit FrameImpl(BrowserImpl* browser) : browser_(browser) {}
    void Detach() { browser_ = nullptr; }

    bool IsValid() override;
    bool IsMain() override { return true; }
    CefString GetURL() override;
    void LoadURL(const CefString& url) override;
    CefRefPtr<CefBrowser> GetBrowser() override;
    void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override;

  private:
    BrowserImpl* browser_;  // UI thread; not owned: the browser detaches its frame when it goes
};

class BrowserImpl : public CefRefCounted<CefBrowser, CefBrowserHost> {
  public:
    // Takes the web view (a reference of its own until the browser closes), whose window is
    // hwnd; a pop-up also names its top-level window.
    static CefRefPtr<BrowserImpl> Create(CefRefPtr<CefClient> client, WebKitWebView* view,
                                         HWND hwnd, HWND topLevel);
    // The open browsers, oldest first.
    static std::vector<CefRefPtr<BrowserImpl>> OpenBrowsers();
    static BrowserImpl* FromView(WebKitWebView* view);  // null when the view has no browser

    // CefBrowser methods:
    CefRefPtr<CefBrowserHost> GetHost() override { return this; }
    CefRefPtr<CefFrame> GetMainFrame() override { return frame_; }
    int GetIdentifier() override { return id_; }
    bool IsPopup() override { return topLevel_ != 0; }
    bool IsSame(CefRefPtr<CefBrowser> that) override {
        return that.get() == static_cast<CefBrowser*>(this);
    }

    // CefBrowserHost methods:
    CefRefPtr<CefBrowser> GetBrowser() override { return this; }
    // Forced: the browser's window is destroyed at once. Otherwise, unless the life-span
    // handler's DoClose takes the close over, its top-level window is asked to close.
    void CloseBrowser(bool forceClose) override;
    CefWindowHandle GetWindowHandle() override { return hwnd_; }
    void SetFocus(bool focus) override;
    void WasResized() override;

    WebKitWebView* View() const { return closed_ ? nullptr : view_.get(); }
    CefRefPtr<CefClient> Client() const { return client_; }
    // The client's handler of one kind (&CefClient::GetLoadHandler, ...); null when the
    // browser has no client (any more) or the client has no such handler.
    template <class Handler>
    CefRefPtr<Handler> ClientHandler(CefRefPtr<Handler> (CefClient::*get)()) const {
        return client_ ? (client_.get()->*get)() : nullptr;
    }
    bool IsClosed() const { return closed_; }
    // The browser's window is going: reports OnBeforeClose and lets go of the view and
    // the client. Once only.
    void OnWindowDestroyed();
    // Reports OnAfterCreated from the loop; the pending report holds a reference, which it
    // drops when it has run or when the loop drops it unrun.
    void ReportCreatedLater();

  private:
    BrowserImpl(CefRefPtr<CefClient> client, WebKitWebView* view, HWND hwnd, HWND topLevel);
    ~BrowserImpl() override;
    void ConnectSignals();

    // Every member: UI thread only.
    CefRefPtr<CefClient> client_;
    GObjectRef<WebKitWebView> view_;  // until the browser is destroyed
    HWND hwnd_;
    HWND topLevel_;
    int id_;
    bool closed_ = false;
    CefRefPtr<FrameImpl> frame_;
};
