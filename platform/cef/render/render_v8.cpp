#include "render_v8.h"

#include <string>
#include <vector>

#include "render_browser.h"

namespace {

// Contexts entered on the web process's main thread, innermost last. JavaScript runs on
// that thread only.
std::vector<CefRefPtr<RenderV8Context>>& EnteredContexts() {
    static std::vector<CefRefPtr<RenderV8Context>> entered;
    return entered;
}

RenderV8Context* CurrentRenderContext() {
    auto& entered = EnteredContexts();
    return entered.empty() ? nullptr : entered.back().get();
}

JSCValuePropertyFlags PropertyFlags(cef_v8_propertyattribute_t attribute) {
    int flags = 0;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE))
        flags |= JSC_VALUE_PROPERTY_CONFIGURABLE;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM))
        flags |= JSC_VALUE_PROPERTY_ENUMERABLE;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_READONLY))
        flags |= JSC_VALUE_PROPERTY_WRITABLE;
    return static_cast<JSCValuePropertyFlags>(flags);
}

// What a native function keeps: its name, its handler, and where it was made. The page and
// frame are held weakly so that a function never keeps its own document alive.
struct NativeFunction {
    NativeFunction(const CefString& name, CefRefPtr<CefV8Handler> handler,
                   const RenderV8Context& creator)
        : name(name),
          handler(std::move(handler)),
          page(creator.weakPage()),
          frame(creator.weakFrame()) {}

    CefString name;
    CefRefPtr<CefV8Handler> handler;
    GObjectWeakRef<WebKitWebPage> page;
    GObjectWeakRef<WebKitFrame> frame;
};

void DeleteNativeFunction(gpointer data) {
    delete static_cast<NativeFunction*>(data);
}

// The engine's function API hands over the arguments but not the receiver, so the
// handler's object argument is null. The result is a new reference to the call's value.
JSCValue* CallNativeFunction(GPtrArray* args, gpointer data) {
    const auto* function = static_cast<NativeFunction*>(data);
    auto js = GObjectRef<JSCContext>::Share(jsc_context_get_current());
    CefRefPtr<RenderV8Context> context =
        new RenderV8Context(js, function->page.Get().get(), function->frame.Get().get());
    ScopedEnteredContext entered(context);

    CefV8ValueList arguments;
    arguments.reserve(args ? args->len : 0);
    for (guint i = 0; args && i < args->len; ++i) {
        auto* arg = static_cast<JSCValue*>(g_ptr_array_index(args, i));
        arguments.push_back(new RenderV8Value(GObjectRef<JSCValue>::Share(arg)));
    }

    CefRefPtr<CefV8Value> retval;
    CefString exception;
    const bool handled =
        function->handler->Execute(function->name, nullptr, arguments, retval, exception);
    if (handled && !exception.empty()) {
        jsc_context_throw(js.get(), exception.ToString().c_str());
    } else if (handled && retval) {
        JSCValue* result = static_cast<RenderV8Value*>(retval.get())->value();
        if (result)
            return static_cast<JSCValue*>(g_object_ref(result));
    }
    return jsc_value_new_undefined(js.get());
}

}  // namespace

ScopedEnteredContext::ScopedEnteredContext(CefRefPtr<RenderV8Context> context) {
    EnteredContexts().push_back(std::move(context));
}

ScopedEnteredContext::~ScopedEnteredContext() {
    EnteredContexts().pop_back();
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
    return CurrentRenderContext();
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor> /*accessor*/,
                                               CefRefPtr<CefV8Interceptor> /*interceptor*/) {
    RenderV8Context* current = CurrentRenderContext();
    if (!current || !current->context())
        return nullptr;
    return new RenderV8Value(
        GObjectRef<JSCValue>::Adopt(jsc_value_new_object(current->context(), nullptr, nullptr)));
}

// A variadic function: the handler receives the call's arguments exactly as passed.
CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name,
                                                 CefRefPtr<CefV8Handler> handler) {
    RenderV8Context* current = CurrentRenderContext();
    if (!current || !current->context() || !handler)
        return nullptr;
    auto* function = new NativeFunction(name, std::move(handler), *current);
    return new RenderV8Value(GObjectRef<JSCValue>::Adopt(jsc_value_new_function_variadic(
        current->context(), name.ToString().c_str(), G_CALLBACK(CallNativeFunction), function,
        DeleteNativeFunction, JSC_TYPE_VALUE)));
}

// Through the engine's bytes rather than its C string, so that a NUL inside the text is kept.
CefString RenderV8Value::GetStringValue() {
    if (!IsString())
        return CefString();
    GBytes* bytes = jsc_value_to_string_as_bytes(value_.get());
    if (!bytes)
        return CefString();
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    CefString text(std::string(data ? data : "", data ? size : 0));
    g_bytes_unref(bytes);
    return text;
}

bool RenderV8Value::SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                             cef_v8_propertyattribute_t attribute) {
    auto* property = static_cast<RenderV8Value*>(value.get());
    if (!IsObject() || !property || !property->value())
        return false;
    JSCContext* context = jsc_value_get_context(value_.get());
    jsc_context_clear_exception(context);
    jsc_value_object_define_property_data(value_.get(), key.ToString().c_str(),
                                          PropertyFlags(attribute), property->value());
    if (!jsc_context_get_exception(context))
        return true;
    jsc_context_clear_exception(context);
    return false;
}

CefRefPtr<CefV8Value> RenderV8Value::GetValue(const CefString& key) {
    if (!IsObject())
        return nullptr;
    return new RenderV8Value(GObjectRef<JSCValue>::Adopt(
        jsc_value_object_get_property(value_.get(), key.ToString().c_str())));
}

bool RenderV8Context::IsValid() {
    return context_ && page_.Get() && frame_.Get();
}

CefRefPtr<CefBrowser> RenderV8Context::GetBrowser() {
    GObjectRef<WebKitWebPage> page = page_.Get();
    if (!page)
        return nullptr;
    return new RenderBrowser(page.get());
}

CefRefPtr<CefFrame> RenderV8Context::GetFrame() {
    GObjectRef<WebKitWebPage> page = page_.Get();
    GObjectRef<WebKitFrame> frame = frame_.Get();
    if (!page || !frame)
        return nullptr;
    return new RenderFrame(page.get(), frame.get());
}

CefRefPtr<CefV8Value> RenderV8Context::GetGlobal() {
    if (!context_)
        return nullptr;
    return new RenderV8Value(
        GObjectRef<JSCValue>::Adopt(jsc_context_get_global_object(context_.get())));
}
