// The main frame's sizing of the browser: the task that carries a resize to the UI thread,
// and a resize that runs nothing of the loop inside the size handler.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "MainFrm.h"
#include "cef/cef_app.h"
#include "fake_browser.h"
#include "test_windows.h"

namespace {

std::vector<LONG> ClientSize(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// A frame object as the application's main window, without a window of its own, whose view
// holds a browser in a real child window.
class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(top, 0u) << "no display";
        browser = new FakeBrowser(MakeTestChild(top, kBrowserWindowId, 0, 0, 30, 40));
        frame->m_pCefView->OnBrowserCreated(browser);
        ASSERT_TRUE(frame->m_pCefView->m_browser);
        app.m_pMainWnd = frame;
    }
    void TearDown() override {
        app.m_pMainWnd = nullptr;
        delete frame;
        DestroyWindow(top);
    }

    CWinApp app;
    HWND top = MakeTestTopLevel();
    CMainFrame* frame = new CMainFrame;
    CefRefPtr<FakeBrowser> browser;
};

TEST_F(MainFrameTest, AResizeTaskGivesTheBrowserWindowItsSizeOnTheUiThreadOnly) {
    CefRefPtr<CResizeTask> task = new CResizeTask(120, 80);
    std::thread([&task] { task->Execute(); }).join();  // elsewhere: nothing
    EXPECT_EQ(ClientSize(browser->GetWindowHandle()), (std::vector<LONG>{30, 40}));
    EXPECT_EQ(browser->resizes, 0);

    task->Execute();
    EXPECT_EQ(ClientSize(browser->GetWindowHandle()), (std::vector<LONG>{120, 80}));
    EXPECT_EQ(browser->resizes, 1);

    CefRefPtr<CResizeTask> minimised = new CResizeTask(0, 0);
    minimised->Execute();
    EXPECT_EQ(ClientSize(browser->GetWindowHandle()), (std::vector<LONG>{0, 0}));
    EXPECT_EQ(browser->resizes, 2);
}

TEST_F(MainFrameTest, AResizeTaskDoesNothingWithoutAMainWindowOrABrowser) {
    app.m_pMainWnd = nullptr;
    CefRefPtr<CResizeTask>(new CResizeTask(10, 20))->Execute();
    app.m_pMainWnd = frame;
    frame->m_pCefView->OnBrowserClosed(browser);
    CefRefPtr<CResizeTask>(new CResizeTask(10, 20))->Execute();
    EXPECT_EQ(ClientSize(browser->GetWindowHandle()), (std::vector<LONG>{30, 40}));
    EXPECT_EQ(browser->resizes, 0);
}

class RecordingTask : public CefRefCounted<CefTask> {
  public:
    explicit RecordingTask(bool* ran) : ran_(ran) {}
    void Execute() override { *ran_ = true; }

  private:
    bool* ran_;
};

// Work pending in the loop (a page's close request, say) must not run inside the size
// handler: the browser lays out from the loop, after the resize has returned.
TEST_F(MainFrameTest, AResizeRunsNothingThatIsPendingInTheLoop) {
    bool ran = false;
    ASSERT_TRUE(CefPostTask(TID_UI, new RecordingTask(&ran)));
    frame->ResizeBrowser(200, 100);
    EXPECT_FALSE(ran);
    EXPECT_EQ(ClientSize(browser->GetWindowHandle()), (std::vector<LONG>{200, 100}));
    while (!ran)
        CefDoMessageLoopWork();
}

}  // namespace
