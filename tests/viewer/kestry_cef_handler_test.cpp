// The client handler's reports to its delegate. Its policies (no context menu, every
// navigation allowed) are seen in the end-to-end tests.
#include <gtest/gtest.h>

#include "KestryCefHandler.h"
#include "fake_browser.h"

namespace {

class RecordingDelegate : public CKestryCefHandler::Delegate {
  public:
    void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override { created.push_back(browser); }
    void OnBrowserClosed(CefRefPtr<CefBrowser> browser) override { closed.push_back(browser); }
    void OnDownloadProgress(int percent, int total) override {
        progress.push_back({percent, total});
    }

    std::vector<CefRefPtr<CefBrowser>> created, closed;
    std::vector<std::pair<int, int>> progress;
};

// A download of 4 GiB + 5 bytes, 42 % done.
class FakeDownload : public CefRefCounted<CefDownloadItem> {
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
};

TEST(KestryCefHandlerTest, ReportsBrowsersAndDownloadsToItsDelegateOnly) {
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler;
    CefRefPtr<FakeBrowser> browser = new FakeBrowser;
    handler->OnAfterCreated(browser);  // no delegate yet: dropped
    handler->OnDownloadUpdated(browser, new FakeDownload, nullptr);
    RecordingDelegate delegate;
    handler->SetDelegate(&delegate);
    handler->OnAfterCreated(browser);
    EXPECT_FALSE(handler->DoClose(browser));
    handler->OnBeforeClose(browser);
    handler->OnDownloadUpdated(browser, new FakeDownload, nullptr);
    ASSERT_EQ(delegate.created.size(), 1u);
    ASSERT_EQ(delegate.closed.size(), 1u);
    EXPECT_EQ(delegate.closed[0].get(), static_cast<CefBrowser*>(browser.get()));
    // The size goes out in its low 32 bits.
    EXPECT_EQ(delegate.progress, (std::vector<std::pair<int, int>>{{42, 5}}));
}

}  // namespace
