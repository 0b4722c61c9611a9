#include "cef/cef_process_message.h"

CefProcessMessage::CefProcessMessage(const CefString& name)
    : name_(name), args_(CefListValue::Create()) {}

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
    return new CefProcessMessage(name);
}
