// JavaScript values and contexts of the render side over JavaScriptCore's GObject API.
#pragma once

// The layer's headers come before GLib's, whose TRUE and FALSE are macros.
// clang-format off
#include "cef/cef_v8.h"
#include <webkit2/webkit-web-extension.h>
// clang-format on

#include "gobject_ref.h"

class RenderV8Value : public CefRefCounted<CefV8Value> {
  public:
    explicit RenderV8Value(GObjectRef<JSCValue> value) : value_(std::move(value)) {}

    JSCValue* value() const { return value_.get(); }

    bool IsValid() override { return static_cast<bool>(value_); }
    bool IsUndefined() override { return value_ && jsc_value_is_undefined(value_.get()); }
    bool IsNull() override { return value_ && jsc_value_is_null(value_.get()); }
    bool IsString() override { return value_ && jsc_value_is_string(value_.get()); }
    bool IsObject() override { return value_ && jsc_value_is_object(value_.get()); }
    bool IsFunction() override { return value_ && jsc_value_is_function(value_.get()); }
    CefString GetStringValue() override;
    bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                  cef_v8_propertyattribute_t attribute) override;
    CefRefPtr<CefV8Value> GetValue(const CefString& key) override;

  private:
    GObjectRef<JSCValue> value_;
};

// A JavaScript context of one frame of one page. It holds the engine's context only while
// it is in use (a context being set up, a native call running); the page and the frame
// are not kept alive by it.
class RenderV8Context : public CefRefCounted<CefV8Context> {
  public:
    RenderV8Context(GObjectRef<JSCContext> context, WebKitWebPage* page, WebKitFrame* frame)
        : context_(std::move(context)), page_(page), frame_(frame) {}

    JSCContext* context() const { return context_.get(); }
    const GObjectWeakRef<WebKitWebPage>& weakPage() const { return page_; }
    const GObjectWeakRef<WebKitFrame>& weakFrame() const { return frame_; }

    bool IsValid() override;
    CefRefPtr<CefBrowser> GetBrowser() override;
    CefRefPtr<CefFrame> GetFrame() override;
    CefRefPtr<CefV8Value> GetGlobal() override;

  private:
    GObjectRef<JSCContext> context_;
    GObjectWeakRef<WebKitWebPage> page_;
    GObjectWeakRef<WebKitFrame> frame_;
};

// Makes a context the current one (CefV8Context::GetCurrentContext) for its lifetime:
// while a new context is set up and while a native function runs. Scopes nest.
class ScopedEnteredContext {
  public:
    explicit ScopedEnteredContext(CefRefPtr<RenderV8Context> context);
    ~ScopedEnteredContext();
    ScopedEnteredContext(const ScopedEnteredContext&) = delete;
    ScopedEnteredContext& operator=(const ScopedEnteredContext&) = delete;
};
