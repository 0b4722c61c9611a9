// JavaScript runs in the engine's web processes only: in the browser process there is no
// current context and no value can be made. The render-side module has its own definitions
// and does not build this file.
#include "cef/cef_v8.h"

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    return nullptr;
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor> /*accessor*/,
                                               CefRefPtr<CefV8Interceptor> /*interceptor*/) {
    return nullptr;
}

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& /*name*/,
                                                 CefRefPtr<CefV8Handler> /*handler*/) {
    return nullptr;
}
