// The application object of the render side: the program's own CefApp, made once when the
// engine loads the module into a web process.
#pragma once

#include "cef/cef_app.h"

CefRefPtr<CefApp> CreateRenderProcessApp();
