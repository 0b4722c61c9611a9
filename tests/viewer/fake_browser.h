// A browser for the viewer's and the bridge's tests: a host with the window handle of our
// choice, a main frame and a sub-frame that record what is loaded into them and the
// process messages sent through them, and counts of the requests for the main frame and of
// the resizes it was told of.
#pragma once

#include <string>
#include <vector>

#include "cef/cef_browser.h"

struct SentMessage {
    CefProcessId target;
    CefString name;
    std::vector<CefString> strings;  // the argument list, every entry read as a string
};

class FakeFrame : public CefRefCounted<CefFrame> {
  public:
    FakeFrame(CefBrowser* browser, bool main) : browser_(browser), main_(main) {}
    bool IsValid() override { return true; }
    bool IsMain() override { return main_; }
    CefString GetURL() override { return loaded.empty() ? CefString() : loaded.back(); }
    void LoadURL(const CefString& url) override { loaded.push_back(url); }
    CefRefPtr<CefBrowser> GetBrowser() override { return browser_; }
    void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
        CefRefPtr<CefListValue> args = message->GetArgumentList();
        sent.push_back({target, message->GetName(), {}});
        for (std::size_t i = 0; i < args->GetSize(); ++i)
            sent.back().strings.push_back(args->GetString(i));
    }

    std::vector<CefString> loaded;
    std::vector<SentMessage> sent;

  private:
    CefBrowser* browser_;  // the owner
    bool main_;
};

class FakeBrowser : public CefRefCounted<CefBrowser, CefBrowserHost> {
  public:
    explicit FakeBrowser(HWND window = 0, bool* destroyed = nullptr)
        : window_(window), destroyed_(destroyed) {}
    ~FakeBrowser() override {
        if (destroyed_)
            *destroyed_ = true;
    }

    // CefBrowser
    CefRefPtr<CefBrowserHost> GetHost() override { return this; }
    CefRefPtr<CefFrame> GetMainFrame() override {
        ++mainFrameRequests;
        return mainFrame;
    }
    int GetIdentifier() override { return 1; }
    bool IsPopup() override { return false; }
    bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }
    // CefBrowserHost
    CefRefPtr<CefBrowser> GetBrowser() override { return this; }
    void CloseBrowser(bool forceClose) override { closeRequests.push_back(forceClose); }
    CefWindowHandle GetWindowHandle() override { return window_; }
    void SetFocus(bool) override {}
    void WasResized() override { ++resizes; }

    CefRefPtr<FakeFrame> mainFrame = new FakeFrame(this, true);
    CefRefPtr<FakeFrame> subFrame = new FakeFrame(this, false);
    int mainFrameRequests = 0;
    std::vector<bool> closeRequests;
    int resizes = 0;  // WasResized calls

  private:
    HWND window_;
    bool* destroyed_;
};
