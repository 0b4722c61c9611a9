// The engine's deprecated calls that the layer still needs, in one place: each silences its
// deprecation (behind a version guard where older engines do not deprecate it), so that the
// rest of the layer calls plain functions and builds without warnings. Include
// it after the engine header of the side (webkit2/webkit2.h on the browser side,
// webkit2/webkit-web-extension.h on the render side): each side gets its own calls.
#pragma once

#include <glib.h>

#ifdef WEBKIT_TYPE_WEB_VIEW
// The text a context-menu item shows. The engine deprecated the action type that carries
// it (2.18) for one that carries none, and GTK 3 deprecated the action type itself (3.10).
inline const char* WebKitCompatMenuItemLabel(WebKitContextMenuItem* item) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkAction* action = webkit_context_menu_item_get_action(item);
    const char* label = action ? gtk_action_get_label(action) : nullptr;
    G_GNUC_END_IGNORE_DEPRECATIONS
    return label ? label : "";
}
#endif

#ifdef WEBKIT_TYPE_WEB_PAGE
// The page's top frame. Deprecated (2.48) without a replacement for web processes.
inline WebKitFrame* WebKitCompatMainFrame(WebKitWebPage* page) {
#if WEBKIT_CHECK_VERSION(2, 48, 0)
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    WebKitFrame* frame = webkit_web_page_get_main_frame(page);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return frame;
#else
    return webkit_web_page_get_main_frame(page);
#endif
}
#endif
