#include "render_app.h"

#include "KestryCefApp.h"

CefRefPtr<CefApp> CreateRenderProcessApp() {
    return new CKestryCefApp();
}
