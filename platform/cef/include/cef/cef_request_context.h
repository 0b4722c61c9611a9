// Request contexts and extra creation information. This layer has one global context (the
// one ephemeral web context) and carries no extra information: callers pass null for both.
#pragma once

#include "cef/cef_base.h"

class CefRequestContext : public virtual CefBaseRefCounted {};
class CefDictionaryValue : public virtual CefBaseRefCounted {};
