// A browser that records what the view asks of it, with the window handle of our choice.
#pragma once

#include <string>
#include <vector>

#include "cef/cef_browser.h"

class FakeBrowser : public CefBrowser, public CefBrowserHost, public CefFrame {
  public:
    explicit FakeBrowser(HWND window, bool* destroyed = nullptr)
        : window_(window), destroyed_(destroyed) {}
    ~FakeBrowser() override {
        if (destroyed_)
            *destroyed_ = true;
    }

    // CefBrowser
    CefRefPtr<CefBrowserHost> GetHost() override { return this; }
    CefRefPtr<CefFrame> GetMainFrame() override { return this; }
    int GetIdentifier() override { return 1; }
    bool IsPopup() override { return false; }
    bool IsSame(CefRefPtr<CefBrowser> that) override {
        return that.get() == static_cast<CefBrowser*>(this);
    }
    // CefBrowserHost
    CefRefPtr<CefBrowser> GetBrowser() override { return this; }
    void CloseBrowser(bool forceClose) override { closeRequests.push_back(forceClose); }
    CefWindowHandle GetWindowHandle() override { return window_; }
    void SetFocus(bool focus) override { focusRequests.push_back(focus); }
    // CefFrame
    bool IsValid() override { return true; }
    bool IsMain() override { return true; }
    CefString GetURL() override {
        return CefString(loaded.empty() ? std::string() : loaded.back());
    }
    void LoadURL(const CefString& url) override { loaded.push_back(url.ToString()); }
    void SendProcessMessage(CefProcessId, CefRefPtr<CefProcessMessage>) override {}

    void AddRef() const override { ref_.AddRef(); }
    bool Release() const override {
        if (!ref_.Release())
            return false;
        delete this;
        return true;
    }
    bool HasOneRef() const override { return ref_.HasOneRef(); }
    bool HasAtLeastOneRef() const override { return ref_.HasAtLeastOneRef(); }

    std::vector<std::string> loaded;
    std::vector<bool> closeRequests;
    std::vector<bool> focusRequests;

  private:
    HWND window_;
    bool* destroyed_;
    CefRefCount ref_;
};
