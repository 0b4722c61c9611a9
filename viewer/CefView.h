// The view: owns the main window's one browser. It asks for the browser as a child of the
// frame, keeps it once it is reported created, loads the start page into it, and closes it
// when the view goes.
#pragma once

#include "KestryCefHandler.h"
#include "afx/afxwin.h"
#include "cef/cef_request_context.h"

// The control id of the main browser's window; pop-ups have windows without it.
constexpr int kBrowserWindowId = 604;

class CCefView : public CKestryCefHandler::Delegate {
  public:
    CCefView() = default;
    CCefView(const CCefView&) = delete;
    CCefView& operator=(const CCefView&) = delete;
    ~CCefView() override;

    // Asks for the browser as a child window of parent at rect; it arrives later through
    // OnBrowserCreated. True when the request was accepted.
    bool CreateBrowser(CRect rect, CefRefPtr<CKestryCefHandler> handler, CWnd* parent, CStringW url,
                       CefRefPtr<CefRequestContext> requestContext);
    void LoadUrl(CStringW url);
    CStringW GetUrl() const { return m_url; }

    // CKestryCefHandler::Delegate methods:
    void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override;
    void OnBrowserClosed(CefRefPtr<CefBrowser> browser) override;
    void OnDownloadProgress(int percentComplete, int totalBytes) override;

    // Every member, like every operation of the view: UI thread only.
    CStringW m_url;                   // the start page, loaded when the browser arrives
    CefRefPtr<CefBrowser> m_browser;  // the main browser; null before it arrives, after it closed

  private:
    // The handler that reports to this view, so that the view can stop the reports when it
    // goes (a pop-up may close after the main window).
    CefRefPtr<CKestryCefHandler> m_handler;
};
