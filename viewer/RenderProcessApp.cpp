// The render-side module's application object: the same class as the browser process's,
// so that every process sees the same switches and the render side installs the bridge.
#include "KestryCefApp.h"
#include "cef/cef_render_app.h"

CefRefPtr<CefApp> CreateRenderProcessApp() {
    return new CKestryCefApp();
}
