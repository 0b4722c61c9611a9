// The client of a browser: the object the layer asks for handlers and notifies of the
// process messages that the browser's pages send.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_context_menu_handler.h"
#include "cef/cef_display_handler.h"
#include "cef/cef_download_handler.h"
#include "cef/cef_life_span_handler.h"
#include "cef/cef_load_handler.h"
#include "cef/cef_process_message.h"
#include "cef/cef_request_handler.h"

// Handlers the layer does not call: the engine's own behaviour (its file and script
// dialogs, drag and drop, find, focus and keyboard handling, windowed rendering) applies.
class CefDialogHandler : public virtual CefBaseRefCounted {};
class CefDragHandler : public virtual CefBaseRefCounted {};
class CefFindHandler : public virtual CefBaseRefCounted {};
class CefFocusHandler : public virtual CefBaseRefCounted {};
class CefJSDialogHandler : public virtual CefBaseRefCounted {};
class CefKeyboardHandler : public virtual CefBaseRefCounted {};
class CefRenderHandler : public virtual CefBaseRefCounted {};

class CefClient : public virtual CefBaseRefCounted {
  public:
    virtual CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() { return nullptr; }
    virtual CefRefPtr<CefDialogHandler> GetDialogHandler() { return nullptr; }
    virtual CefRefPtr<CefDisplayHandler> GetDisplayHandler() { return nullptr; }
    virtual CefRefPtr<CefDownloadHandler> GetDownloadHandler() { return nullptr; }
    virtual CefRefPtr<CefDragHandler> GetDragHandler() { return nullptr; }
    virtual CefRefPtr<CefFindHandler> GetFindHandler() { return nullptr; }
    virtual CefRefPtr<CefFocusHandler> GetFocusHandler() { return nullptr; }
    virtual CefRefPtr<CefJSDialogHandler> GetJSDialogHandler() { return nullptr; }
    virtual CefRefPtr<CefKeyboardHandler> GetKeyboardHandler() { return nullptr; }
    virtual CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() { return nullptr; }
    virtual CefRefPtr<CefLoadHandler> GetLoadHandler() { return nullptr; }
    virtual CefRefPtr<CefRenderHandler> GetRenderHandler() { return nullptr; }
    virtual CefRefPtr<CefRequestHandler> GetRequestHandler() { return nullptr; }
    // A message from the render side; true when the client handled it.
    virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> /*browser*/,
                                          CefRefPtr<CefFrame> /*frame*/,
                                          CefProcessId /*sourceProcess*/,
                                          CefRefPtr<CefProcessMessage> /*message*/) {
        return false;
    }
};
