// An in-memory stand-in for the render side's JavaScript engine: objects with properties,
// native functions that remember their name and handler, and contexts of a fake browser.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "cef/cef_v8.h"
#include "fake_browser.h"

class FakeV8Value : public CefRefCounted<CefV8Value> {
  public:
    enum class Kind { Undefined, Null, Number, String, Object, Function };

    explicit FakeV8Value(Kind k, CefString t = {}) : kind(k), text(std::move(t)) {}
    static CefRefPtr<CefV8Value> String(const CefString& text) {
        return new FakeV8Value(Kind::String, text);
    }

    bool IsValid() override { return true; }
    bool IsUndefined() override { return kind == Kind::Undefined; }
    bool IsNull() override { return kind == Kind::Null; }
    bool IsString() override { return kind == Kind::String; }
    bool IsObject() override { return kind == Kind::Object || kind == Kind::Function; }
    bool IsFunction() override { return kind == Kind::Function; }
    CefString GetStringValue() override { return text; }
    bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                  cef_v8_propertyattribute_t attribute) override {
        properties[key] = {value, attribute};
        order.push_back(key);
        return true;
    }
    CefRefPtr<CefV8Value> GetValue(const CefString& key) override {
        auto it = properties.find(key);
        return it == properties.end() ? nullptr : it->second.first;
    }
    FakeV8Value* Get(const CefString& key) {
        return static_cast<FakeV8Value*>(GetValue(key).get());
    }

    Kind kind;
    CefString text;  // a string's text, a function's name
    CefRefPtr<CefV8Handler> handler;
    std::map<CefString, std::pair<CefRefPtr<CefV8Value>, cef_v8_propertyattribute_t>> properties;
    std::vector<CefString> order;  // keys in the order they were set
};

class FakeV8Context : public CefRefCounted<CefV8Context> {
  public:
    FakeV8Context(CefRefPtr<FakeBrowser> b, CefRefPtr<FakeFrame> f)
        : browser(std::move(b)), frame(std::move(f)) {}
    bool IsValid() override { return true; }
    CefRefPtr<CefBrowser> GetBrowser() override { return browser; }
    CefRefPtr<CefFrame> GetFrame() override { return frame; }
    CefRefPtr<CefV8Value> GetGlobal() override { return global; }

    CefRefPtr<FakeBrowser> browser;
    CefRefPtr<FakeFrame> frame;
    CefRefPtr<FakeV8Value> global = new FakeV8Value(FakeV8Value::Kind::Object);
};

// The context CefV8Context::GetCurrentContext returns while it is set.
void SetCurrentFakeContext(CefRefPtr<FakeV8Context> context);
