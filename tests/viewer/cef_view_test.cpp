// The view keeps the main window's browser (window id 604) and only that one.
#include <gtest/gtest.h>

#include "CefView.h"
#include "fake_browser.h"
#include "test_windows.h"

namespace {

class CefViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        top = MakeTestTopLevel();
        ASSERT_NE(top, 0u) << "no display";
        mainWindow = MakeTestChild(top, kBrowserWindowId);
        popupWindow = MakeTestChild(top, 0);
    }
    void TearDown() override { DestroyWindow(top); }

    HWND top = 0;
    HWND mainWindow = 0;
    HWND popupWindow = 0;
};

TEST_F(CefViewTest, KeepsTheBrowserWithItsWindowIdAndLoadsTheStartPage) {
    CefRefPtr<FakeBrowser> popup = new FakeBrowser(popupWindow);
    CefRefPtr<FakeBrowser> main = new FakeBrowser(mainWindow);
    auto* view = new CCefView;
    view->m_url = L"file:///course/index.html";

    view->OnBrowserCreated(popup);
    EXPECT_FALSE(view->m_browser);
    EXPECT_TRUE(popup->loaded.empty());
    EXPECT_TRUE(popup->HasOneRef());

    view->OnBrowserCreated(main);
    EXPECT_EQ(view->m_browser.get(), static_cast<CefBrowser*>(main.get()));
    EXPECT_EQ(main->loaded, std::vector<std::string>{"file:///course/index.html"});

    // A pop-up closing leaves the main browser in place.
    view->OnBrowserClosed(popup);
    EXPECT_EQ(view->m_browser.get(), static_cast<CefBrowser*>(main.get()));

    view->OnBrowserClosed(main);
    EXPECT_FALSE(view->m_browser);
    EXPECT_TRUE(main->HasOneRef());
    delete view;
    EXPECT_TRUE(main->closeRequests.empty());
}

TEST_F(CefViewTest, NothingIsLoadedWithoutAStartPage) {
    CefRefPtr<FakeBrowser> main = new FakeBrowser(mainWindow);
    CCefView view;
    view.OnBrowserCreated(main);
    EXPECT_TRUE(view.m_browser);
    EXPECT_TRUE(main->loaded.empty());
    view.LoadUrl(L"file:///x/index.html");
    EXPECT_EQ(main->loaded, std::vector<std::string>{"file:///x/index.html"});
}

TEST_F(CefViewTest, ASecondMainBrowserReplacesTheFirst) {
    bool firstDestroyed = false;
    CCefView view;
    view.OnBrowserCreated(new FakeBrowser(mainWindow, &firstDestroyed));
    EXPECT_FALSE(firstDestroyed);
    CefRefPtr<FakeBrowser> second = new FakeBrowser(mainWindow);
    view.OnBrowserCreated(second);
    EXPECT_TRUE(firstDestroyed);
    EXPECT_EQ(view.m_browser.get(), static_cast<CefBrowser*>(second.get()));
}

TEST_F(CefViewTest, DestructionForceClosesABrowserWhoseWindowExistsThenReleasesIt) {
    CefRefPtr<FakeBrowser> main = new FakeBrowser(mainWindow);
    auto* view = new CCefView;
    view->OnBrowserCreated(main);
    delete view;
    EXPECT_EQ(main->closeRequests, std::vector<bool>{true});
    EXPECT_TRUE(main->HasOneRef());
}

TEST_F(CefViewTest, DestructionAfterTheWindowWentOnlyReleases) {
    CefRefPtr<FakeBrowser> main = new FakeBrowser(mainWindow);
    auto* view = new CCefView;
    view->OnBrowserCreated(main);
    DestroyWindow(mainWindow);
    delete view;
    EXPECT_TRUE(main->closeRequests.empty());
    EXPECT_TRUE(main->HasOneRef());
}

TEST(CefViewNoWindow, LoadUrlWithoutBrowserDoesNothingAndGetUrlCopies) {
    CCefView view;
    view.LoadUrl(L"file:///a");
    view.m_url = L"file:///b";
    EXPECT_EQ(view.GetUrl(), CStringW(L"file:///b"));
    view.OnDownloadProgress(50, 100);
}

}  // namespace
