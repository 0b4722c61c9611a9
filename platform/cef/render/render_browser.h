// The render side's browser and frames: a web page of the engine's web process and its
// frames. Neither keeps the page or frame alive; once they are gone the objects are invalid.
#pragma once

// The layer's headers come before GLib's, whose TRUE and FALSE are macros.
// clang-format off
#include "cef/cef_browser.h"
#include <webkit2/webkit-web-extension.h>
// clang-format on

#include "gobject_ref.h"

class RenderBrowser : public CefRefCounted<CefBrowser> {
  public:
    explicit RenderBrowser(WebKitWebPage* page) : page_(page) {}

    CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
    CefRefPtr<CefFrame> GetMainFrame() override;
    int GetIdentifier() override;
    bool IsPopup() override;
    bool IsSame(CefRefPtr<CefBrowser> that) override;

  private:
    GObjectWeakRef<WebKitWebPage> page_;
};

class RenderFrame : public CefRefCounted<CefFrame> {
  public:
    RenderFrame(WebKitWebPage* page, WebKitFrame* frame) : page_(page), frame_(frame) {}

    bool IsValid() override;
    bool IsMain() override;
    CefString GetURL() override;
    // Navigates the frame as its own script would (location.assign).
    void LoadURL(const CefString& url) override;
    CefRefPtr<CefBrowser> GetBrowser() override;
    // The render side reaches only the browser side: any other target is ignored.
    void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override;

  private:
    GObjectWeakRef<WebKitWebPage> page_;
    GObjectWeakRef<WebKitFrame> frame_;
};
