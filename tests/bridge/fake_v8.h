// An in-memory stand-in for the render side's JavaScript engine: objects with properties,
// native functions that remember their name and handler, and a browser whose main frame
// records the process messages sent through it and counts the requests for it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cef/cef_browser.h"
#include "cef/cef_v8.h"

template <class Base>
class FakeRefCounted : public Base {
  public:
    void AddRef() const override { ref_.AddRef(); }
    bool Release() const override {
        if (!ref_.Release())
            return false;
        delete this;
        return true;
    }
    bool HasOneRef() const override { return ref_.HasOneRef(); }
    bool HasAtLeastOneRef() const override { return ref_.HasAtLeastOneRef(); }

  private:
    CefRefCount ref_;
};

class FakeV8Value : public FakeRefCounted<CefV8Value> {
  public:
    enum class Kind { Undefined, Null, Number, String, Object, Function };

    static CefRefPtr<FakeV8Value> Make(Kind kind) {
        auto* value = new FakeV8Value();
        value->kind = kind;
        return value;
    }
    static CefRefPtr<FakeV8Value> String(const CefString& text) {
        CefRefPtr<FakeV8Value> value = Make(Kind::String);
        value->text = text;
        return value;
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
        return it == properties.end() ? nullptr : it->second.value;
    }

    // Calls a function value the way the engine does: its own name and handler.
    bool Call(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
              CefString& exception) {
        return handler->Execute(text, nullptr, arguments, retval, exception);
    }

    struct Property {
        CefRefPtr<CefV8Value> value;
        cef_v8_propertyattribute_t attribute;
    };
    Kind kind = Kind::Undefined;
    CefString text;  // a string's text, a function's name
    CefRefPtr<CefV8Handler> handler;
    std::map<CefString, Property> properties;
    std::vector<CefString> order;  // keys in the order they were set
};

struct SentMessage {
    CefProcessId target;
    CefString name;
    std::vector<CefString> strings;  // the argument list, every entry read as a string
    std::size_t size;
};

class FakeBrowser;

class FakeFrame : public FakeRefCounted<CefFrame> {
  public:
    FakeFrame(FakeBrowser* browser, bool main) : browser_(browser), main_(main) {}
    bool IsValid() override { return true; }
    bool IsMain() override { return main_; }
    CefString GetURL() override { return url; }
    void LoadURL(const CefString& u) override { url = u; }
    CefRefPtr<CefBrowser> GetBrowser() override;
    void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override;

    CefString url;
    std::vector<SentMessage> sent;

  private:
    FakeBrowser* browser_;
    bool main_;
};

class FakeBrowser : public FakeRefCounted<CefBrowser> {
  public:
    FakeBrowser() : mainFrame(new FakeFrame(this, true)), subFrame(new FakeFrame(this, false)) {}
    CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
    CefRefPtr<CefFrame> GetMainFrame() override {
        ++mainFrameRequests;
        return mainFrame;
    }
    int GetIdentifier() override { return 1; }
    bool IsPopup() override { return false; }
    bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }

    CefRefPtr<FakeFrame> mainFrame;
    CefRefPtr<FakeFrame> subFrame;
    int mainFrameRequests = 0;
};

class FakeV8Context : public FakeRefCounted<CefV8Context> {
  public:
    FakeV8Context(CefRefPtr<FakeBrowser> b, CefRefPtr<FakeFrame> f)
        : browser(std::move(b)),
          frame(std::move(f)),
          global(FakeV8Value::Make(FakeV8Value::Kind::Object)) {}
    bool IsValid() override { return true; }
    CefRefPtr<CefBrowser> GetBrowser() override { return browser; }
    CefRefPtr<CefFrame> GetFrame() override { return frame; }
    CefRefPtr<CefV8Value> GetGlobal() override { return global; }

    CefRefPtr<FakeBrowser> browser;
    CefRefPtr<FakeFrame> frame;
    CefRefPtr<FakeV8Value> global;
};

// The context CefV8Context::GetCurrentContext returns while it is set.
void SetCurrentFakeContext(CefRefPtr<FakeV8Context> context);
