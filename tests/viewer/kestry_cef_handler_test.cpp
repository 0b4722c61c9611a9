// The client handler's policies and its reports to the delegate.
#include <gtest/gtest.h>

#include "KestryCefHandler.h"
#include "fake_browser.h"

namespace {

class RecordingDelegate : public CKestryCefHandler::Delegate {
  public:
    void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override { created.push_back(browser); }
    void OnBrowserClosed(CefRefPtr<CefBrowser> browser) override { closed.push_back(browser); }
    void OnDownloadProgress(int percent, int total) override {
        progress.emplace_back(percent, total);
    }

    std::vector<CefRefPtr<CefBrowser>> created;
    std::vector<CefRefPtr<CefBrowser>> closed;
    std::vector<std::pair<int, int>> progress;
};

class FakeDownload : public CefDownloadItem {
  public:
    bool IsInProgress() override { return true; }
    bool IsComplete() override { return false; }
    bool IsCanceled() override { return false; }
    int GetPercentComplete() override { return 42; }
    std::int64_t GetReceivedBytes() override { return 0; }
    std::int64_t GetTotalBytes() override { return 0x100000005LL; }
    CefString GetURL() override { return {}; }
    CefString GetSuggestedFileName() override { return {}; }
    CefString GetFullPath() override { return {}; }
    void AddRef() const override { ref_.AddRef(); }
    bool Release() const override {
        if (!ref_.Release())
            return false;
        delete this;
        return true;
    }
    bool HasOneRef() const override { return ref_.HasOneRef(); }
    bool HasAtLeastOneRef() const override { return ref_.HasAtLeastOneRef(); }

  private:
    CefRefCount ref_;
};

TEST(KestryCefHandlerTest, HandsOutItselfForItsSixHandlersAndNullForTheRest) {
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    EXPECT_EQ(handler->GetContextMenuHandler().get(),
              static_cast<CefContextMenuHandler*>(handler.get()));
    EXPECT_EQ(handler->GetDisplayHandler().get(), static_cast<CefDisplayHandler*>(handler.get()));
    EXPECT_EQ(handler->GetDownloadHandler().get(), static_cast<CefDownloadHandler*>(handler.get()));
    EXPECT_EQ(handler->GetLifeSpanHandler().get(), static_cast<CefLifeSpanHandler*>(handler.get()));
    EXPECT_EQ(handler->GetLoadHandler().get(), static_cast<CefLoadHandler*>(handler.get()));
    EXPECT_EQ(handler->GetRequestHandler().get(), static_cast<CefRequestHandler*>(handler.get()));
    EXPECT_FALSE(handler->GetDialogHandler());
    EXPECT_FALSE(handler->GetDragHandler());
    EXPECT_FALSE(handler->GetFindHandler());
    EXPECT_FALSE(handler->GetFocusHandler());
    EXPECT_FALSE(handler->GetJSDialogHandler());
    EXPECT_FALSE(handler->GetKeyboardHandler());
    EXPECT_FALSE(handler->GetRenderHandler());
    EXPECT_TRUE(handler->HasOneRef());
}

TEST(KestryCefHandlerTest, ReportsEveryBrowserToItsDelegateAndNothingWithoutOne) {
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    CefRefPtr<FakeBrowser> browser = new FakeBrowser(0);
    handler->OnAfterCreated(browser);  // no delegate yet: dropped
    RecordingDelegate delegate;
    handler->SetDelegate(&delegate);
    handler->OnAfterCreated(browser);
    EXPECT_FALSE(handler->DoClose(browser));
    handler->OnBeforeClose(browser);
    ASSERT_EQ(delegate.created.size(), 1u);
    ASSERT_EQ(delegate.closed.size(), 1u);
    EXPECT_EQ(delegate.closed[0].get(), static_cast<CefBrowser*>(browser.get()));
}

TEST(KestryCefHandlerTest, ClearsEveryContextMenu) {
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    CefRefPtr<CefMenuModel> model = CefMenuModel::Create();
    model->AddItem(1, "Back");
    model->AddItem(2, "Reload");
    handler->OnBeforeContextMenu(new FakeBrowser(0), nullptr, nullptr, model);
    EXPECT_EQ(model->GetCount(), 0u);
}

TEST(KestryCefHandlerTest, NavigationsProceedAndDownloadProgressGoesOutWithTheLowSizeBits) {
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    EXPECT_FALSE(handler->OnBeforeBrowse(new FakeBrowser(0), nullptr, nullptr, true, false));
    handler->OnDownloadUpdated(new FakeBrowser(0), new FakeDownload, nullptr);  // no delegate
    RecordingDelegate delegate;
    handler->SetDelegate(&delegate);
    handler->OnDownloadUpdated(new FakeBrowser(0), new FakeDownload, nullptr);
    EXPECT_EQ(delegate.progress, (std::vector<std::pair<int, int>>{{42, 5}}));
}

}  // namespace
