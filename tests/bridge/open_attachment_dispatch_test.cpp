#include <gtest/gtest.h>

#include "KestryCefHandler.h"
#include "fake_v8.h"

namespace {

class DispatchTest : public ::testing::Test {
  protected:
    // Dispatches a message from the page at a URL where nothing it could name exists.
    bool Dispatch(const CefString& name, CefRefPtr<CefListValue> args = nullptr) {
        CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
        if (args) {
            for (std::size_t i = 0; i < args->GetSize(); ++i) {
                message->GetArgumentList()->SetString(i, args->GetString(i));
            }
        }
        return handler->OnProcessMessageReceived(browser, browser->mainFrame, PID_RENDERER,
                                                 message);
    }
    static CefRefPtr<CefListValue> Names(std::initializer_list<const char16_t*> names) {
        CefRefPtr<CefListValue> list = CefListValue::Create();
        for (const char16_t* name : names)
            list->SetString(list->GetSize(), name);
        return list;
    }
    void SetUp() override {
        browser = new FakeBrowser();
        browser->mainFrame->url = u"file:///nonexistent/bridge/Course/index.html";
    }

    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler();
    CefRefPtr<FakeBrowser> browser;
};

// The opener is the one step that asks for the page's URL, so the requests for the main
// frame show whether a message reached it.
TEST_F(DispatchTest, OpenAttachmentReachesTheOpener) {
    EXPECT_FALSE(Dispatch(u"openAttachment", Names({u"docs/guide.pdf"})));
    EXPECT_EQ(browser->mainFrameRequests, 1);
    EXPECT_FALSE(Dispatch(u"openAttachment", Names({u"a.pdf", u"b.pdf"})));
    EXPECT_EQ(browser->mainFrameRequests, 2);
}

TEST_F(DispatchTest, AnEmptyArgumentListOpensNothing) {
    EXPECT_FALSE(Dispatch(u"openAttachment"));
    EXPECT_EQ(browser->mainFrameRequests, 0);
}

TEST_F(DispatchTest, NamesAreComparedExactly) {
    for (const char16_t* name : {u"OpenAttachment", u"openattachment", u"openAttachment ",
                                 u"TitleExit", u"titleexit", u""}) {
        EXPECT_FALSE(Dispatch(name, Names({u"docs/guide.pdf"})));
    }
    EXPECT_EQ(browser->mainFrameRequests, 0);
}

TEST_F(DispatchTest, TheOtherMessagesOfTheCourseAreAcceptedWithoutEffect) {
    for (const char16_t* name :
         {u"storeLogin", u"browseLinkClicked", u"EXCEPTION", u"getWebText", u"updateTimeline"}) {
        EXPECT_FALSE(Dispatch(name, Names({u"docs/guide.pdf"})));
    }
    EXPECT_EQ(browser->mainFrameRequests, 0);
}

// Without an application object there is no main window to close.
TEST_F(DispatchTest, TitleExitWithoutAMainWindowDoesNothing) {
    EXPECT_FALSE(Dispatch(u"titleExit", Names({u"docs/guide.pdf"})));
    EXPECT_EQ(browser->mainFrameRequests, 0);
}

}  // namespace
