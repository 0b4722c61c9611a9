#include "fake_v8.h"

namespace {

CefRefPtr<FakeV8Context>& Current() {
    static CefRefPtr<FakeV8Context> current;
    return current;
}

}  // namespace

void SetCurrentFakeContext(CefRefPtr<FakeV8Context> context) {
    Current() = std::move(context);
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    return Current();
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor> /*accessor*/,
                                               CefRefPtr<CefV8Interceptor> /*interceptor*/) {
    return FakeV8Value::Make(FakeV8Value::Kind::Object);
}

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name,
                                                 CefRefPtr<CefV8Handler> handler) {
    CefRefPtr<FakeV8Value> function = FakeV8Value::Make(FakeV8Value::Kind::Function);
    function->text = name;
    function->handler = handler;
    return function;
}

CefRefPtr<CefBrowser> FakeFrame::GetBrowser() {
    return browser_;
}

void FakeFrame::SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) {
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    SentMessage sent_message{target, message->GetName(), {}, args->GetSize()};
    for (std::size_t i = 0; i < args->GetSize(); ++i)
        sent_message.strings.push_back(args->GetString(i));
    sent.push_back(sent_message);
}
