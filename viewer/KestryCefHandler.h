// The browser-process client: hands out its own handlers, reports browsers created and
// closed to its delegate (the view), suppresses context menus and downloads, allows every
// navigation, and dispatches the page's bridge messages.
#pragma once

#include "cef/cef_client.h"
#include "cef/cef_context_menu_handler.h"
#include "cef/cef_display_handler.h"
#include "cef/cef_download_handler.h"
#include "cef/cef_life_span_handler.h"
#include "cef/cef_load_handler.h"
#include "cef/cef_request_handler.h"
#include "cef/cef_values.h"

class CKestryCefHandler
    : public CefRefCounted<CefClient, CefDisplayHandler, CefLifeSpanHandler, CefLoadHandler,
                           CefContextMenuHandler, CefDownloadHandler, CefRequestHandler> {
  public:
    // Receives the handler's reports about the browsers that use it; implemented by the
    // view that owns the main browser.
    class Delegate {
      public:
        virtual void OnBrowserCreated(CefRefPtr<CefBrowser> browser) = 0;
        virtual void OnBrowserClosed(CefRefPtr<CefBrowser> browser) = 0;
        virtual void OnDownloadProgress(int percentComplete, int totalBytes) = 0;
        virtual ~Delegate() = default;
    };

    CKestryCefHandler() = default;
    CKestryCefHandler(const CKestryCefHandler&) = delete;
    CKestryCefHandler& operator=(const CKestryCefHandler&) = delete;

    // Not owned; null until the view requests its browser, and cleared by the view when it
    // goes away.
    void SetDelegate(Delegate* delegate) { m_pDelegate = delegate; }
    Delegate* GetDelegate() const { return m_pDelegate; }

    // CefClient methods:
    CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
    CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
    CefRefPtr<CefDownloadHandler> GetDownloadHandler() override { return this; }
    CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
    CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }
    CefRefPtr<CefRequestHandler> GetRequestHandler() override { return this; }
    bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                  CefProcessId source_process,
                                  CefRefPtr<CefProcessMessage> message) override;

    // CefDisplayHandler methods:
    void OnAddressChange(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         const CefString& url) override;
    void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) override;

    // CefLifeSpanHandler methods:
    void OnAfterCreated(CefRefPtr<CefBrowser> browser) override;
    bool DoClose(CefRefPtr<CefBrowser> browser) override;
    void OnBeforeClose(CefRefPtr<CefBrowser> browser) override;

    // CefLoadHandler methods:
    void OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading, bool canGoBack,
                              bool canGoForward) override;
    void OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                     cef_errorcode_t errorCode, const CefString& errorText,
                     const CefString& failedUrl) override;

    // CefContextMenuHandler methods:
    void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                             CefRefPtr<CefContextMenuParams> params,
                             CefRefPtr<CefMenuModel> model) override;

    // CefDownloadHandler methods:
    void OnBeforeDownload(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> downloadItem,
                          const CefString& suggestedName,
                          CefRefPtr<CefBeforeDownloadCallback> callback) override;
    void OnDownloadUpdated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefDownloadItem> downloadItem,
                           CefRefPtr<CefDownloadItemCallback> callback) override;

    // CefRequestHandler methods:
    bool OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefRequest> request, bool userGesture, bool isRedirect) override;

    // Opens the file that an "openAttachment" message names (entry 0 of its arguments),
    // relative to the folder of the browser's page when it is not found as given.
    static void OpenAttachment(CefRefPtr<CefBrowser> browser, CefRefPtr<CefListValue> arguments);

  private:
    // UI thread only, like every operation of the handler (the engine calls them there).
    Delegate* m_pDelegate = nullptr;
};
