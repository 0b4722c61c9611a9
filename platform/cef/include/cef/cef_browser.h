// A browser (one web view with its frames), its frames, and its host on the browser side.
// These are interfaces: the browser side and the render side each implement them.
#pragma once

#include "cef/cef_base.h"
#include "cef/cef_process_message.h"
#include "cef/cef_string.h"
#include "win32/types.h"

using CefWindowHandle = HWND;

class CefBrowser;
class CefBrowserHost;
class CefClient;
class CefDictionaryValue;
class CefRequestContext;
struct CefWindowInfo;
struct CefBrowserSettings;

class CefFrame : public virtual CefBaseRefCounted {
  public:
    virtual bool IsValid() = 0;
    virtual bool IsMain() = 0;
    virtual CefString GetURL() = 0;
    virtual void LoadURL(const CefString& url) = 0;
    virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
    // Delivers the message to the browser side (PID_BROWSER); the render side takes none.
    virtual void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) = 0;
};

class CefBrowser : public virtual CefBaseRefCounted {
  public:
    virtual CefRefPtr<CefBrowserHost> GetHost() = 0;  // null on the render side
    virtual CefRefPtr<CefFrame> GetMainFrame() = 0;
    virtual int GetIdentifier() = 0;
    virtual bool IsPopup() = 0;
    virtual bool IsSame(CefRefPtr<CefBrowser> that) = 0;
};

class CefBrowserHost : public virtual CefBaseRefCounted {
  public:
    // Asks for a browser as a child window; it is reported through the client's
    // life-span handler (OnAfterCreated) later, from the message loop.
    static bool CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                              const CefString& url, const CefBrowserSettings& settings,
                              CefRefPtr<CefDictionaryValue> extraInfo,
                              CefRefPtr<CefRequestContext> requestContext);

    virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
    virtual void CloseBrowser(bool forceClose) = 0;
    virtual CefWindowHandle GetWindowHandle() = 0;
    virtual void SetFocus(bool focus) = 0;
    // Tells the browser that its window has been given a new size. The engine lays the page
    // out again from the loop, after the caller has returned.
    virtual void WasResized() = 0;
};
