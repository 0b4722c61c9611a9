// JavaScript values, contexts and native functions on the render side.
#pragma once

#include <vector>

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_string.h"

class CefV8Value;

using CefV8ValueList = std::vector<CefRefPtr<CefV8Value>>;

enum cef_v8_propertyattribute_t {
    V8_PROPERTY_ATTRIBUTE_NONE = 0,
    V8_PROPERTY_ATTRIBUTE_READONLY = 1 << 0,
    V8_PROPERTY_ATTRIBUTE_DONTENUM = 1 << 1,
    V8_PROPERTY_ATTRIBUTE_DONTDELETE = 1 << 2,
};

// Serves calls of native functions made with CefV8Value::CreateFunction. Returning false
// means the call was not handled: it evaluates to undefined and throws nothing.
class CefV8Handler : public virtual CefBaseRefCounted {
  public:
    virtual bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                         const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                         CefString& exception) = 0;
};

// Property accessors and interceptors are not supported by this layer; objects are made
// without them (pass nullptr).
class CefV8Accessor : public virtual CefBaseRefCounted {};
class CefV8Interceptor : public virtual CefBaseRefCounted {};

class CefV8Value : public virtual CefBaseRefCounted {
  public:
    static CefRefPtr<CefV8Value> CreateObject(CefRefPtr<CefV8Accessor> accessor,
                                              CefRefPtr<CefV8Interceptor> interceptor);
    static CefRefPtr<CefV8Value> CreateFunction(const CefString& name,
                                                CefRefPtr<CefV8Handler> handler);

    virtual bool IsValid() = 0;
    virtual bool IsUndefined() = 0;
    virtual bool IsNull() = 0;
    virtual bool IsString() = 0;
    virtual bool IsObject() = 0;
    virtual bool IsFunction() = 0;
    virtual CefString GetStringValue() = 0;  // empty unless IsString()
    virtual bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                          cef_v8_propertyattribute_t attribute) = 0;
    virtual CefRefPtr<CefV8Value> GetValue(const CefString& key) = 0;
};

class CefV8Context : public virtual CefBaseRefCounted {
  public:
    // The context whose script is running now (inside CefV8Handler::Execute).
    static CefRefPtr<CefV8Context> GetCurrentContext();

    virtual bool IsValid() = 0;
    virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
    virtual CefRefPtr<CefFrame> GetFrame() = 0;
    virtual CefRefPtr<CefV8Value> GetGlobal() = 0;
};
