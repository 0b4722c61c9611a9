// The browser side's one engine: the web context every browser of the process shares and
// what the command line asked of it. UI thread only, like everything of the browser side.
#pragma once

#include <webkit2/webkit2.h>

#include "cef/cef_types.h"
#include "gobject_ref.h"

struct Engine {
    GObjectRef<WebKitWebContext> context;  // null before CefInitialize and after CefShutdown
    bool autoplayWithoutGesture = false;   // "autoplay-policy=no-user-gesture-required"
    bool webSecurityDisabled = false;      // "disable-web-security"
};

Engine& GetEngine();

// The settings of a new web view: the browser settings over the command line's choices.
GObjectRef<WebKitSettings> NewViewSettings(const CefBrowserSettings& settings);
