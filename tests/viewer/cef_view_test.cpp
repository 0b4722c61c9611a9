// The view keeps the main window's browser (window id 604) and only that one.
#include <gtest/gtest.h>

#include "CefView.h"
#include "fake_browser.h"
#include "test_windows.h"

namespace {

class CefViewTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(top, 0u) << "no display"; }
    void TearDown() override { DestroyWindow(top); }
    CefRefPtr<FakeBrowser> Browser(int windowId, bool* destroyed = nullptr) {
        return new FakeBrowser(MakeTestChild(top, windowId), destroyed);
    }

    HWND top = MakeTestTopLevel();
};

TEST_F(CefViewTest, KeepsOnlyTheBrowserWithItsWindowIdAndReleasesOnlyItsOwn) {
    CefRefPtr<FakeBrowser> popup = Browser(0);
    CefRefPtr<FakeBrowser> main = Browser(kBrowserWindowId);
    auto* view = new CCefView;
    view->m_url = L"file:///course/index.html";

    view->OnBrowserCreated(popup);
    EXPECT_FALSE(view->m_browser);
    EXPECT_TRUE(popup->HasOneRef());
    view->OnBrowserCreated(main);
    EXPECT_EQ(view->m_browser.get(), static_cast<CefBrowser*>(main.get()));
    EXPECT_TRUE(popup->mainFrame->loaded.empty());
    EXPECT_EQ(main->mainFrame->loaded, std::vector<CefString>{u"file:///course/index.html"});

    view->OnBrowserClosed(popup);  // a pop-up closing leaves the main browser in place
    EXPECT_TRUE(view->m_browser);
    view->OnBrowserClosed(main);
    EXPECT_FALSE(view->m_browser);
    EXPECT_TRUE(main->HasOneRef());
    delete view;
    EXPECT_TRUE(main->closeRequests.empty());
}

TEST_F(CefViewTest, ASecondMainBrowserReplacesAndReleasesTheFirst) {
    bool firstDestroyed = false;
    CCefView view;                          // without a start page nothing is loaded
    view.LoadUrl(L"file:///x/index.html");  // nor without a browser
    view.OnBrowserCreated(Browser(kBrowserWindowId, &firstDestroyed));
    EXPECT_FALSE(firstDestroyed);
    CefRefPtr<FakeBrowser> second = Browser(kBrowserWindowId);
    view.OnBrowserCreated(second);
    EXPECT_TRUE(firstDestroyed);
    EXPECT_TRUE(second->mainFrame->loaded.empty());
    view.LoadUrl(L"file:///x/index.html");
    EXPECT_EQ(second->mainFrame->loaded, std::vector<CefString>{u"file:///x/index.html"});
}

TEST_F(CefViewTest, DestructionForceClosesTheBrowserOnlyWhileItsWindowExists) {
    for (const bool windowGone : {false, true}) {
        CefRefPtr<FakeBrowser> main = Browser(kBrowserWindowId);
        auto* view = new CCefView;
        view->OnBrowserCreated(main);
        if (windowGone)
            DestroyWindow(main->GetWindowHandle());
        delete view;
        EXPECT_EQ(main->closeRequests, windowGone ? std::vector<bool>{} : std::vector<bool>{true});
        EXPECT_TRUE(main->HasOneRef());
    }
}

}  // namespace
