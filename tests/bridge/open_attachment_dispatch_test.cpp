// The browser side's dispatch of the page's messages. The opener is the one step that asks
// for the page's URL, so the requests for the main frame show whether a message reached it.
#include <gtest/gtest.h>

#include "KestryCefHandler.h"
#include "fake_browser.h"

namespace {

TEST(DispatchTest, OnlyAnExactlyNamedOpenAttachmentWithANameReachesTheOpener) {
    const struct {
        const char16_t* name;
        int names;  // entries in the argument list
        int opened;
    } rows[] = {
        {u"openAttachment", 1, 1},
        {u"openAttachment", 2, 1},
        {u"openAttachment", 0, 0},
        // Without an application object there is no main window to close.
        {u"titleExit", 1, 0},
        {u"OpenAttachment", 1, 0},
        {u"openattachment", 1, 0},
        {u"openAttachment ", 1, 0},
        {u"TitleExit", 1, 0},
        {u"", 1, 0},
        // The course's other messages are accepted without effect.
        {u"storeLogin", 1, 0},
        {u"EXCEPTION", 1, 0},
    };
    CefRefPtr<CKestryCefHandler> handler = new CKestryCefHandler();
    for (const auto& row : rows) {
        CefRefPtr<FakeBrowser> browser = new FakeBrowser();
        browser->mainFrame->LoadURL(u"file:///nonexistent/bridge/Course/index.html");
        CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(row.name);
        for (int i = 0; i < row.names; ++i)
            message->GetArgumentList()->SetString(i, u"docs/guide.pdf");
        EXPECT_FALSE(
            handler->OnProcessMessageReceived(browser, browser->mainFrame, PID_RENDERER, message));
        EXPECT_EQ(browser->mainFrameRequests, row.opened) << CefString(row.name).ToString();
    }
}

}  // namespace
