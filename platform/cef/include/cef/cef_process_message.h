// A named message with an argument list, sent between the render side and the browser side.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_string.h"
#include "cef/cef_values.h"

enum CefProcessId {
    PID_BROWSER,
    PID_RENDERER,
};

class CefProcessMessage : public CefRefCounted<> {
  public:
    static CefRefPtr<CefProcessMessage> Create(const CefString& name);

    bool IsValid() const { return true; }
    CefString GetName() const { return name_; }
    CefRefPtr<CefListValue> GetArgumentList() const { return args_; }

  private:
    explicit CefProcessMessage(const CefString& name);

    CefString name_;
    CefRefPtr<CefListValue> args_;
};
