#include "downloads.h"

#include "browser_impl.h"
#include "gobject_ref.h"

namespace {

class DownloadItemImpl : public CefRefCounted<CefDownloadItem> {
  public:
    explicit DownloadItemImpl(WebKitDownload* download)
        : download_(GObjectRef<WebKitDownload>::Share(download)) {}

    void SetState(bool complete, bool canceled) {
        complete_ = complete;
        canceled_ = canceled;
    }
    bool IsInProgress() override { return !complete_ && !canceled_; }
    bool IsComplete() override { return complete_; }
    bool IsCanceled() override { return canceled_; }
    int GetPercentComplete() override {
        return GetTotalBytes() > 0
                   ? static_cast<int>(webkit_download_get_estimated_progress(download_.get()) * 100)
                   : -1;
    }
    std::int64_t GetReceivedBytes() override {
        return static_cast<std::int64_t>(webkit_download_get_received_data_length(download_.get()));
    }
    std::int64_t GetTotalBytes() override {
        WebKitURIResponse* response = webkit_download_get_response(download_.get());
        return response
                   ? static_cast<std::int64_t>(webkit_uri_response_get_content_length(response))
                   : 0;
    }
    CefString GetURL() override {
        WebKitURIRequest* request = webkit_download_get_request(download_.get());
        return CefString(request ? webkit_uri_request_get_uri(request) : "");
    }
    CefString GetSuggestedFileName() override {
        WebKitURIResponse* response = webkit_download_get_response(download_.get());
        const char* name =
            response ? webkit_uri_response_get_suggested_filename(response) : nullptr;
        return CefString(name);
    }
    CefString GetFullPath() override {
        const char* destination = webkit_download_get_destination(download_.get());
        gchar* path = destination ? g_filename_from_uri(destination, nullptr, nullptr) : nullptr;
        CefString result(path);
        g_free(path);
        return result;
    }

  private:
    GObjectRef<WebKitDownload> download_;
    bool complete_ = false;
    bool canceled_ = false;
};

// Records the handler's decision; the download goes on only when Continue was called.
class BeforeDownloadCallbackImpl : public CefRefCounted<CefBeforeDownloadCallback> {
  public:
    void Continue(const CefString& downloadPath, bool /*showDialog: no dialog here*/) override {
        continued_ = true;
        path_ = downloadPath.ToString();
    }
    bool Continued() const { return continued_; }
    const std::string& Path() const { return path_; }

  private:
    bool continued_ = false;
    std::string path_;
};

class DownloadItemCallbackImpl : public CefRefCounted<CefDownloadItemCallback> {
  public:
    explicit DownloadItemCallbackImpl(WebKitDownload* download)
        : download_(GObjectRef<WebKitDownload>::Share(download)) {}
    void Cancel() override { webkit_download_cancel(download_.get()); }

  private:
    GObjectRef<WebKitDownload> download_;
};

CefRefPtr<CefDownloadHandler> HandlerOf(BrowserImpl* browser) {
    return browser ? browser->ClientHandler(&CefClient::GetDownloadHandler) : nullptr;
}

void ReportUpdate(WebKitDownload* download, bool complete, bool canceled) {
    BrowserImpl* browser = BrowserImpl::FromView(webkit_download_get_web_view(download));
    CefRefPtr<CefDownloadHandler> handler = HandlerOf(browser);
    if (!handler)
        return;
    CefRefPtr<DownloadItemImpl> item = new DownloadItemImpl(download);
    item->SetState(complete, canceled);
    handler->OnDownloadUpdated(browser, item, new DownloadItemCallbackImpl(download));
}

gboolean OnDecideDestination(WebKitDownload* download, gchar* suggestedName, gpointer) {
    BrowserImpl* browser = BrowserImpl::FromView(webkit_download_get_web_view(download));
    CefRefPtr<CefDownloadHandler> handler = HandlerOf(browser);
    CefRefPtr<BeforeDownloadCallbackImpl> callback = new BeforeDownloadCallbackImpl;
    if (handler) {
        handler->OnBeforeDownload(browser, new DownloadItemImpl(download),
                                  CefString(suggestedName ? suggestedName : ""), callback);
    }
    if (!callback->Continued()) {
        webkit_download_cancel(download);
        return TRUE;
    }
    std::string path = callback->Path();
    if (path.empty()) {
        const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
        gchar* joined = g_build_filename(folder ? folder : g_get_home_dir(),
                                         suggestedName ? suggestedName : "download", nullptr);
        path = joined;
        g_free(joined);
    }
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri) {
        webkit_download_set_destination(download, uri);
    } else {
        webkit_download_cancel(download);
    }
    g_free(uri);
    return TRUE;
}

void OnReceivedData(WebKitDownload* download, guint64, gpointer) {
    ReportUpdate(download, false, false);
}
void OnFinished(WebKitDownload* download, gpointer) {
    ReportUpdate(download, true, false);
}
void OnFailed(WebKitDownload* download, GError*, gpointer) {
    ReportUpdate(download, false, true);
}

}  // namespace

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
    g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), nullptr);
    g_signal_connect(download, "received-data", G_CALLBACK(OnReceivedData), nullptr);
    g_signal_connect(download, "finished", G_CALLBACK(OnFinished), nullptr);
    g_signal_connect(download, "failed", G_CALLBACK(OnFailed), nullptr);
}
