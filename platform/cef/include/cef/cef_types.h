// Start-up arguments, settings and window description of the browser side.
#pragma once

#include "cef/cef_string.h"
#include "win32/types.h"

// Tri-state for browser features: the engine's default, or forced on or off.
enum cef_state_t {
    STATE_DEFAULT = 0,
    STATE_ENABLED,
    STATE_DISABLED,
};

// The process's arguments. The layer reads the command line of the process itself
// (as the platform this program comes from does), so only the module is kept.
struct CefMainArgs {
    CefMainArgs() = default;
    explicit CefMainArgs(HINSTANCE hInstance) : instance(hInstance) {}
    HINSTANCE instance = 0;
};

// CefInitialize reads only multi_threaded_message_loop: whatever the others say, the engine
// starts its own helpers, keeps nothing on disk and writes no log.
struct CefSettings {
    bool no_sandbox = false;
    CefString browser_subprocess_path;
    // The engine's loop runs on the calling thread; a multi-threaded loop is not supported.
    bool multi_threaded_message_loop = false;
    CefString cache_path;
    CefString log_file;
    CefString locale;
    CefString resources_dir_path;
};

struct CefBrowserSettings {
    CefString standard_font_family;
    int default_font_size = 0;  // 0: the engine's default
    CefString default_encoding;
    cef_state_t javascript = STATE_DEFAULT;
    cef_state_t javascript_access_clipboard = STATE_DEFAULT;
    cef_state_t image_loading = STATE_DEFAULT;
    cef_state_t local_storage = STATE_DEFAULT;
    cef_state_t webgl = STATE_DEFAULT;
};

// A windowed browser: a child of parent_window at the given rectangle (in the parent's
// client coordinates) with the control id in menu, or, with no parent, a top-level window.
struct CefWindowInfo {
    DWORD ex_style = 0;
    CefString window_name;
    DWORD style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent_window = 0;
    HMENU menu = 0;
    bool windowless_rendering_enabled = false;  // not supported: such a request fails
};
