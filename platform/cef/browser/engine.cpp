#include "engine.h"

Engine& GetEngine() {
    static Engine engine;
    return engine;
}

GObjectRef<WebKitSettings> NewViewSettings(const CefBrowserSettings& browserSettings) {
    const Engine& engine = GetEngine();
    auto owned = GObjectRef<WebKitSettings>::Adopt(webkit_settings_new());
    WebKitSettings* settings = owned.get();
    // Pages may open windows from script; the layer shows them as pop-up browsers.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings,
                                                             !engine.autoplayWithoutGesture);
    if (engine.webSecurityDisabled) {
        webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
        webkit_settings_set_allow_universal_access_from_file_urls(settings, TRUE);
    }
    auto apply = [](cef_state_t state, auto setter, WebKitSettings* s) {
        if (state != STATE_DEFAULT)
            setter(s, state == STATE_ENABLED);
    };
    apply(browserSettings.javascript, webkit_settings_set_enable_javascript, settings);
    apply(browserSettings.javascript_access_clipboard,
          webkit_settings_set_javascript_can_access_clipboard, settings);
    apply(browserSettings.image_loading, webkit_settings_set_auto_load_images, settings);
    apply(browserSettings.local_storage, webkit_settings_set_enable_html5_local_storage, settings);
    apply(browserSettings.webgl, webkit_settings_set_enable_webgl, settings);
    if (browserSettings.default_font_size > 0) {
        webkit_settings_set_default_font_size(
            settings, static_cast<guint32>(browserSettings.default_font_size));
    }
    if (!browserSettings.standard_font_family.empty()) {
        webkit_settings_set_default_font_family(
            settings, browserSettings.standard_font_family.ToString().c_str());
    }
    if (!browserSettings.default_encoding.empty()) {
        webkit_settings_set_default_charset(settings,
                                            browserSettings.default_encoding.ToString().c_str());
    }
    return owned;
}
