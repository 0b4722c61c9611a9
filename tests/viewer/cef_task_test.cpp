// Tasks posted to the UI thread, and the check of the operations that the UI thread alone
// may run.
#include "cef/cef_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CefView.h"
#include "cef/cef_app.h"

namespace {

class CountingTask : public CefRefCounted<CefTask> {
  public:
    explicit CountingTask(std::atomic<int>* runsOnUi) : runsOnUi_(runsOnUi) {}
    void Execute() override { *runsOnUi_ += CefCurrentlyOn(TID_UI) ? 1 : 100; }

  private:
    std::atomic<int>* runsOnUi_;
};

TEST(CefTaskTest, ATaskPostedFromAnotherThreadRunsOnceOnTheUiThread) {
    EXPECT_TRUE(CefCurrentlyOn(TID_UI));
    std::atomic<int> runsOnUi{0};
    std::atomic<bool> workerOnUi{true}, posted{false};
    std::thread([&] {
        workerOnUi = CefCurrentlyOn(TID_UI);
        posted = CefPostTask(TID_UI, new CountingTask(&runsOnUi));
    }).join();
    EXPECT_FALSE(workerOnUi);
    ASSERT_TRUE(posted);
    EXPECT_EQ(runsOnUi, 0);  // queued, not run
    while (runsOnUi == 0)
        CefDoMessageLoopWork();
    EXPECT_EQ(runsOnUi, 1);
    EXPECT_FALSE(CefPostTask(TID_UI, nullptr));
}

// The view is one of the objects that the UI thread alone may use: a build with checks ends
// at the first call from another thread, naming the operation.
TEST(UiThreadCheckTest, AViewOperationOffTheUiThreadEndsABuildWithChecks) {
#ifdef NDEBUG
    GTEST_SKIP() << "a release build does not check";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the toolkit has threads of its own
    CCefView view;
    EXPECT_DEATH(std::thread([&view] { view.LoadUrl(L"file:///x/index.html"); }).join(),
                 "LoadUrl must be called on the UI thread");
    view.LoadUrl(L"file:///x/index.html");  // on the UI thread: no browser, nothing happens
#endif
}

}  // namespace
