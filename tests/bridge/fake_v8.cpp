#include "fake_v8.h"

namespace {

CefRefPtr<FakeV8Context> g_current;

}  // namespace

void SetCurrentFakeContext(CefRefPtr<FakeV8Context> context) {
    g_current = std::move(context);
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    return g_current;
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor>,
                                               CefRefPtr<CefV8Interceptor>) {
    return new FakeV8Value(FakeV8Value::Kind::Object);
}

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name,
                                                 CefRefPtr<CefV8Handler> handler) {
    CefRefPtr<FakeV8Value> function = new FakeV8Value(FakeV8Value::Kind::Function, name);
    function->handler = handler;
    return function;
}
