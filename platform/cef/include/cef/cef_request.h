// A navigation request as the request handler sees it.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_string.h"

class CefRequest : public virtual CefBaseRefCounted {
  public:
    virtual CefString GetURL() = 0;
    virtual CefString GetMethod() = 0;
};
