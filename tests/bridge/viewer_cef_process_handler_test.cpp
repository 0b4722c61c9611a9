// The render side: the bridge object each JavaScript context gets, and the messages its
// functions send to the browser process.
#include <gtest/gtest.h>

#include <iterator>

#include "ViewerCefProcessHandler.h"
#include "fake_v8.h"

namespace {

using Kind = FakeV8Value::Kind;

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override { SetCurrentFakeContext(context); }
    void TearDown() override { SetCurrentFakeContext(nullptr); }

    // Installs the bridge in a context and returns its BrevonaInterface.
    static FakeV8Value* Install(const CefRefPtr<FakeV8Context>& ctx) {
        CefRefPtr<ViewerCefProcessHandler> handler = new ViewerCefProcessHandler();
        handler->OnContextCreated(ctx->browser, ctx->frame, ctx);
        return ctx->global->Get(u"BrevonaInterface");
    }
    // Calls a function as the engine does; unhandled, the call evaluates to undefined.
    static void Call(FakeV8Value* function, const CefV8ValueList& arguments) {
        CefRefPtr<CefV8Value> retval;
        CefString exception;
        EXPECT_FALSE(
            function->handler->Execute(function->text, nullptr, arguments, retval, exception));
        EXPECT_FALSE(retval);
        EXPECT_TRUE(exception.empty());
    }
    const std::vector<SentMessage>& Sent() const { return browser->mainFrame->sent; }

    CefRefPtr<FakeBrowser> browser = new FakeBrowser();
    CefRefPtr<FakeV8Context> context = new FakeV8Context(browser, browser->mainFrame);
};

TEST_F(BridgeTest, EachContextGetsAnObjectWithTwoFunctionsAndAHandlerOfItsOwn) {
    FakeV8Value* bridge = Install(context);
    ASSERT_NE(bridge, nullptr);
    EXPECT_EQ(bridge->kind, Kind::Object);
    EXPECT_EQ(context->global->properties[u"BrevonaInterface"].second, V8_PROPERTY_ATTRIBUTE_NONE);
    ASSERT_EQ(bridge->order, (std::vector<CefString>{u"openAttachment", u"titleExit"}));
    for (const CefString& name : bridge->order) {
        EXPECT_EQ(bridge->Get(name)->kind, Kind::Function);
        EXPECT_EQ(bridge->Get(name)->text, name);
        EXPECT_EQ(bridge->properties[name].second, V8_PROPERTY_ATTRIBUTE_NONE);
    }
    CefRefPtr<CefV8Handler> handler = bridge->Get(u"openAttachment")->handler;
    EXPECT_EQ(handler, bridge->Get(u"titleExit")->handler);
    CefRefPtr<FakeV8Context> other = new FakeV8Context(browser, browser->subFrame);
    EXPECT_NE(handler, Install(other)->Get(u"openAttachment")->handler);
    context->global->properties.clear();  // the handler lives as long as its functions
    EXPECT_TRUE(handler->HasOneRef());
}

TEST_F(BridgeTest, OpenAttachmentSendsExactlyOneStringArgumentAndTitleExitNone) {
    FakeV8Value* bridge = Install(context);
    const struct {
        const char16_t* function;
        CefV8ValueList arguments;
        std::vector<CefString> sent;
    } rows[] = {
        {u"openAttachment", {FakeV8Value::String(u"docs/a.pdf")}, {u"docs/a.pdf"}},
        {u"openAttachment", {FakeV8Value::String(u"")}, {u""}},
        {u"openAttachment", {}, {}},
        {u"openAttachment", {new FakeV8Value(Kind::Number)}, {}},
        {u"openAttachment", {new FakeV8Value(Kind::Null)}, {}},
        {u"openAttachment", {new FakeV8Value(Kind::Undefined)}, {}},
        {u"openAttachment", {FakeV8Value::String(u"a"), FakeV8Value::String(u"b")}, {}},
        {u"titleExit", {}, {}},
        {u"titleExit", {FakeV8Value::String(u"docs/a.pdf")}, {}},
    };
    for (const auto& row : rows) {
        Call(bridge->Get(row.function), row.arguments);
        ASSERT_FALSE(Sent().empty());
        EXPECT_EQ(Sent().back().target, PID_BROWSER);
        EXPECT_EQ(Sent().back().name, CefString(row.function));
        EXPECT_EQ(Sent().back().strings, row.sent);
    }
    EXPECT_EQ(Sent().size(), std::size(rows));
}

TEST_F(BridgeTest, ACallFromASubFrameGoesOutThroughTheMainFrame) {
    CefRefPtr<FakeV8Context> frameContext = new FakeV8Context(browser, browser->subFrame);
    SetCurrentFakeContext(frameContext);
    Call(Install(frameContext)->Get(u"openAttachment"), {FakeV8Value::String(u"x.pdf")});
    EXPECT_TRUE(browser->subFrame->sent.empty());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].strings, std::vector<CefString>{u"x.pdf"});
}

// The message carries the name the function was made with, compared case-sensitively.
TEST_F(BridgeTest, TheMessageIsNamedAfterTheCalledFunction) {
    CefRefPtr<ViewerCefProcessHandler> handler = new ViewerCefProcessHandler();
    CefRefPtr<CefV8Value> retval;
    CefString exception;
    EXPECT_FALSE(handler->Execute(u"OpenAttachment", nullptr, {FakeV8Value::String(u"a.pdf")},
                                  retval, exception));
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].name, CefString(u"OpenAttachment"));
    EXPECT_TRUE(Sent()[0].strings.empty());
}

}  // namespace
