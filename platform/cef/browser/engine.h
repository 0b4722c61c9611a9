// The browser side's one engine: the web context every browser of the process shares and
// what the command line asked of it.
#pragma once

#include <webkit2/webkit2.h>

#include "cef/cef_types.h"
#include "win32/winuser.h"

struct Engine {
    WebKitWebContext* context = nullptr;  // null before CefInitialize and after CefShutdown
    bool autoplayWithoutGesture = false;  // "autoplay-policy=no-user-gesture-required"
    bool webSecurityDisabled = false;     // "disable-web-security"
};

Engine& GetEngine();

// The settings of a new web view: the browser settings over the command line's choices.
WebKitSettings* NewViewSettings(const CefBrowserSettings& settings);

// The window class of the top-level windows that hold browsers without a parent (pop-ups).
LPCWSTR BrowserWindowClass();

// Hands each download to the download handler of the browser that started it.
void OnDownloadStarted(WebKitWebContext* context, WebKitDownload* download, gpointer data);
