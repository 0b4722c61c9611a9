// Downloads: each one the engine starts is handed to the download handler of the browser
// that started it, which decides whether it goes on.
#pragma once

#include <webkit2/webkit2.h>

// The web context's "download-started" handler.
void OnDownloadStarted(WebKitWebContext* context, WebKitDownload* download, gpointer data);
