// Downloads: a download starts only when the handler continues it.
#pragma once

#include <cstdint>

#include "cef/cef_base.h"
#include "cef/cef_browser.h"
#include "cef/cef_string.h"

class CefDownloadItem : public virtual CefBaseRefCounted {
  public:
    virtual bool IsInProgress() = 0;
    virtual bool IsComplete() = 0;
    virtual bool IsCanceled() = 0;
    virtual int GetPercentComplete() = 0;  // -1 when the size is unknown
    virtual std::int64_t GetReceivedBytes() = 0;
    virtual std::int64_t GetTotalBytes() = 0;
    virtual CefString GetURL() = 0;
    virtual CefString GetSuggestedFileName() = 0;
    virtual CefString GetFullPath() = 0;
};

class CefBeforeDownloadCallback : public virtual CefBaseRefCounted {
  public:
    // Starts the download into downloadPath (the suggested name in the download folder when
    // empty). Without this call the download is cancelled.
    virtual void Continue(const CefString& downloadPath, bool showDialog) = 0;
};

class CefDownloadItemCallback : public virtual CefBaseRefCounted {
  public:
    virtual void Cancel() = 0;
};

class CefDownloadHandler : public virtual CefBaseRefCounted {
  public:
    virtual void OnBeforeDownload(CefRefPtr<CefBrowser> /*browser*/,
                                  CefRefPtr<CefDownloadItem> /*downloadItem*/,
                                  const CefString& /*suggestedName*/,
                                  CefRefPtr<CefBeforeDownloadCallback> /*callback*/) {}
    virtual void OnDownloadUpdated(CefRefPtr<CefBrowser> /*browser*/,
                                   CefRefPtr<CefDownloadItem> /*downloadItem*/,
                                   CefRefPtr<CefDownloadItemCallback> /*callback*/) {}
};
