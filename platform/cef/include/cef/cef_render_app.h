// The application object of the render side, made once when the engine loads the render-side
// module into one of its web processes. The layer has no application of its own there: the
// program that builds the module on the layer's render side defines this function.
#pragma once

#include "cef/cef_app.h"

CefRefPtr<CefApp> CreateRenderProcessApp();
