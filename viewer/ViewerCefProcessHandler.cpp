#include "ViewerCefProcessHandler.h"

#include "cef/cef_process_message.h"

namespace {

const CefString kOpenAttachment = u"openAttachment";
const CefString kTitleExit = u"titleExit";

}  // namespace

void ViewerCefProcessHandler::OnContextCreated(CefRefPtr<CefBrowser> /*browser*/,
                                               CefRefPtr<CefFrame> /*frame*/,
                                               CefRefPtr<CefV8Context> context) {
    // Every context gets the object, sub-frames and each new document alike; each context
    // has its own handler instance, kept alive by its two functions.
    CefRefPtr<CefV8Value> global = context->GetGlobal();
    CefRefPtr<CefV8Handler> handler = new ViewerCefProcessHandler();
    CefRefPtr<CefV8Value> bridge = CefV8Value::CreateObject(nullptr, nullptr);
    bridge->SetValue(kOpenAttachment, CefV8Value::CreateFunction(kOpenAttachment, handler),
                     V8_PROPERTY_ATTRIBUTE_NONE);
    bridge->SetValue(kTitleExit, CefV8Value::CreateFunction(kTitleExit, handler),
                     V8_PROPERTY_ATTRIBUTE_NONE);
    global->SetValue(u"BrevonaInterface", bridge, V8_PROPERTY_ATTRIBUTE_NONE);
}

bool ViewerCefProcessHandler::Execute(const CefString& name, CefRefPtr<CefV8Value> /*object*/,
                                      const CefV8ValueList& arguments,
                                      CefRefPtr<CefV8Value>& /*retval*/, CefString& /*exception*/) {
    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;

    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
    CefRefPtr<CefListValue> list = message->GetArgumentList();
    if (name == kOpenAttachment && arguments.size() == 1 && arguments[0]->IsString()) {
        list->SetString(0, arguments[0]->GetStringValue());
    }

    // Calls from any frame go out through the main frame.
    CefRefPtr<CefFrame> mainFrame = browser ? browser->GetMainFrame() : nullptr;
    if (mainFrame)
        mainFrame->SendProcessMessage(PID_BROWSER, message);
    // Not handled: the page's call evaluates to undefined and throws nothing.
    return false;
}
