#include <gtest/gtest.h>

#include "ViewerCefProcessHandler.h"
#include "fake_v8.h"

namespace {

using Kind = FakeV8Value::Kind;

class BridgeInstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browser = new FakeBrowser();
        context = new FakeV8Context(browser, browser->mainFrame);
        SetCurrentFakeContext(context);
    }
    void TearDown() override { SetCurrentFakeContext(nullptr); }

    // Installs the bridge in a context of the given frame and returns BrevonaInterface.
    CefRefPtr<FakeV8Value> Install(CefRefPtr<FakeV8Context> ctx) {
        CefRefPtr<ViewerCefProcessHandler> handler = new ViewerCefProcessHandler();
        handler->OnContextCreated(ctx->browser, ctx->frame, ctx);
        return static_cast<FakeV8Value*>(ctx->global->GetValue(u"BrevonaInterface").get());
    }

    FakeV8Value* Function(CefRefPtr<FakeV8Value> bridge, const CefString& key) {
        return static_cast<FakeV8Value*>(bridge->GetValue(key).get());
    }

    // Calls a function with the arguments; expects false, retval and exception untouched.
    void Call(FakeV8Value* function, const CefV8ValueList& arguments) {
        CefRefPtr<CefV8Value> retval;
        CefString exception;
        EXPECT_FALSE(function->Call(arguments, retval, exception));
        EXPECT_EQ(retval, nullptr);
        EXPECT_TRUE(exception.empty());
    }

    const std::vector<SentMessage>& Sent() const { return browser->mainFrame->sent; }

    CefRefPtr<FakeBrowser> browser;
    CefRefPtr<FakeV8Context> context;
};

TEST_F(BridgeInstallTest, SetsAPlainObjectWithTwoFunctionsOnTheGlobalObject) {
    CefRefPtr<FakeV8Value> bridge = Install(context);
    ASSERT_NE(bridge, nullptr);
    EXPECT_EQ(bridge->kind, Kind::Object);
    EXPECT_EQ(context->global->properties[u"BrevonaInterface"].attribute,
              V8_PROPERTY_ATTRIBUTE_NONE);

    ASSERT_EQ(bridge->order, (std::vector<CefString>{u"openAttachment", u"titleExit"}));
    for (const CefString& name : bridge->order) {
        FakeV8Value* function = Function(bridge, name);
        ASSERT_NE(function, nullptr);
        EXPECT_EQ(function->kind, Kind::Function);
        EXPECT_EQ(function->text, name);
        EXPECT_EQ(bridge->properties[name].attribute, V8_PROPERTY_ATTRIBUTE_NONE);
    }
}

TEST_F(BridgeInstallTest, EachContextGetsItsOwnObjectAndHandler) {
    CefRefPtr<FakeV8Value> first = Install(context);
    auto other = CefRefPtr<FakeV8Context>(new FakeV8Context(browser, browser->subFrame));
    CefRefPtr<FakeV8Value> second = Install(other);

    EXPECT_NE(first, second);
    EXPECT_EQ(Function(first, u"openAttachment")->handler, Function(first, u"titleExit")->handler);
    EXPECT_NE(Function(first, u"openAttachment")->handler,
              Function(second, u"openAttachment")->handler);
}

TEST_F(BridgeInstallTest, TheHandlerLivesAsLongAsItsFunctions) {
    CefRefPtr<FakeV8Value> bridge = Install(context);
    CefRefPtr<CefV8Handler> handler = Function(bridge, u"openAttachment")->handler;
    context->global->properties.clear();
    bridge->properties.clear();
    EXPECT_TRUE(handler->HasOneRef());
}

TEST_F(BridgeInstallTest, OpenAttachmentWithOneStringSendsItAsEntryZero) {
    FakeV8Value* open = Function(Install(context), u"openAttachment");
    Call(open, {FakeV8Value::String(u"docs/a.pdf")});
    Call(open, {FakeV8Value::String(u"")});

    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[0].target, PID_BROWSER);
    EXPECT_EQ(Sent()[0].name, CefString(u"openAttachment"));
    EXPECT_EQ(Sent()[0].strings, std::vector<CefString>{u"docs/a.pdf"});
    // The empty string is a string too.
    EXPECT_EQ(Sent()[1].strings, std::vector<CefString>{u""});
}

TEST_F(BridgeInstallTest, OpenAttachmentWithOtherArgumentsSendsAnEmptyList) {
    FakeV8Value* open = Function(Install(context), u"openAttachment");
    Call(open, {});
    Call(open, {FakeV8Value::Make(Kind::Number)});
    Call(open, {FakeV8Value::Make(Kind::Null)});
    Call(open, {FakeV8Value::Make(Kind::Undefined)});
    Call(open, {FakeV8Value::String(u"a"), FakeV8Value::String(u"b")});

    ASSERT_EQ(Sent().size(), 5u);
    for (const SentMessage& message : Sent()) {
        EXPECT_EQ(message.name, CefString(u"openAttachment"));
        EXPECT_EQ(message.size, 0u);
    }
}

TEST_F(BridgeInstallTest, TitleExitIgnoresItsArguments) {
    FakeV8Value* exit = Function(Install(context), u"titleExit");
    Call(exit, {});
    Call(exit, {FakeV8Value::String(u"docs/a.pdf")});

    ASSERT_EQ(Sent().size(), 2u);
    for (const SentMessage& message : Sent()) {
        EXPECT_EQ(message.name, CefString(u"titleExit"));
        EXPECT_EQ(message.size, 0u);
    }
}

TEST_F(BridgeInstallTest, ACallFromASubFrameGoesOutThroughTheMainFrame) {
    auto frameContext = CefRefPtr<FakeV8Context>(new FakeV8Context(browser, browser->subFrame));
    SetCurrentFakeContext(frameContext);
    Call(Function(Install(frameContext), u"openAttachment"), {FakeV8Value::String(u"x.pdf")});

    EXPECT_TRUE(browser->subFrame->sent.empty());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].strings, std::vector<CefString>{u"x.pdf"});
}

// The message carries the name the function was made with, compared case-sensitively.
TEST_F(BridgeInstallTest, TheMessageIsNamedAfterTheCalledFunction) {
    CefRefPtr<ViewerCefProcessHandler> handler = new ViewerCefProcessHandler();
    CefRefPtr<CefV8Value> retval;
    CefString exception;
    EXPECT_FALSE(handler->Execute(u"OpenAttachment", nullptr, {FakeV8Value::String(u"a.pdf")},
                                  retval, exception));

    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].name, CefString(u"OpenAttachment"));
    EXPECT_EQ(Sent()[0].size, 0u);
}

}  // namespace
