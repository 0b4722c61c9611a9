#include "render_browser.h"

#include "list_value_variant.h"
#include "webkit_compat.h"

namespace {

// Page identifiers are small counters of the web process; the layer's identifiers are int.
int PageIdentifier(WebKitWebPage* page) {
    return page ? static_cast<int>(webkit_web_page_get_id(page)) : 0;
}

GObjectRef<JSCValue> GlobalProperty(WebKitFrame* frame, const char* name) {
    auto context = GObjectRef<JSCContext>::Adopt(webkit_frame_get_js_context(frame));
    auto global = GObjectRef<JSCValue>::Adopt(jsc_context_get_global_object(context.get()));
    return GObjectRef<JSCValue>::Adopt(jsc_value_object_get_property(global.get(), name));
}

}  // namespace

CefRefPtr<CefFrame> RenderBrowser::GetMainFrame() {
    GObjectRef<WebKitWebPage> page = page_.Get();
    if (!page)
        return nullptr;
    return new RenderFrame(page.get(), WebKitCompatMainFrame(page.get()));
}

int RenderBrowser::GetIdentifier() {
    return PageIdentifier(page_.Get().get());
}

// The web process is not told which pages are pop-ups; a page that a script opened
// keeps a reference to its opener.
bool RenderBrowser::IsPopup() {
    GObjectRef<WebKitWebPage> page = page_.Get();
    if (!page)
        return false;
    GObjectRef<JSCValue> opener = GlobalProperty(WebKitCompatMainFrame(page.get()), "opener");
    return opener && jsc_value_is_object(opener.get());
}

bool RenderBrowser::IsSame(CefRefPtr<CefBrowser> that) {
    const int id = GetIdentifier();
    return that && id != 0 && that->GetIdentifier() == id;
}

bool RenderFrame::IsValid() {
    return page_.Get() && frame_.Get();
}

bool RenderFrame::IsMain() {
    GObjectRef<WebKitFrame> frame = frame_.Get();
    return frame && webkit_frame_is_main_frame(frame.get());
}

CefString RenderFrame::GetURL() {
    GObjectRef<WebKitFrame> frame = frame_.Get();
    const char* uri = frame ? webkit_frame_get_uri(frame.get()) : nullptr;
    return CefString(uri);
}

void RenderFrame::LoadURL(const CefString& url) {
    GObjectRef<WebKitFrame> frame = frame_.Get();
    if (!frame)
        return;
    GObjectRef<JSCValue> location = GlobalProperty(frame.get(), "location");
    if (!location || !jsc_value_is_object(location.get()))
        return;
    GObjectRef<JSCValue>::Adopt(jsc_value_object_invoke_method(
        location.get(), "assign", G_TYPE_STRING, url.ToString().c_str(), G_TYPE_NONE));
}

CefRefPtr<CefBrowser> RenderFrame::GetBrowser() {
    GObjectRef<WebKitWebPage> page = page_.Get();
    if (!page)
        return nullptr;
    return new RenderBrowser(page.get());
}

void RenderFrame::SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) {
    GObjectRef<WebKitWebPage> page = page_.Get();
    if (target != PID_BROWSER || !page || !message)
        return;
    WebKitUserMessage* user = webkit_user_message_new(
        message->GetName().ToString().c_str(), ListValueToVariant(*message->GetArgumentList()));
    // No reply is expected: the message is sent and forgotten.
    webkit_web_page_send_message_to_view(page.get(), user, nullptr, nullptr, nullptr);
}
