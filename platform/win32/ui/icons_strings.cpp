#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "win32/resources.h"
#include "win32/winuser.h"
#include "window_table.h"

namespace {

// One handle per icon resource, as the platform's shared icons have.
std::map<HRSRC, HICON>& IconsByResource() {
    static std::map<HRSRC, HICON> icons;
    return icons;
}

std::map<HICON, GdkPixbuf*>& IconImages() {
    static std::map<HICON, GdkPixbuf*> images;
    return images;
}

HICON g_nextIcon = 0x100;

GdkPixbuf* DecodeImage(const void* data, DWORD size) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* image = nullptr;
    if (gdk_pixbuf_loader_write(loader, static_cast<const guchar*>(data), size, nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        image = gdk_pixbuf_loader_get_pixbuf(loader);
        if (image)
            g_object_ref(image);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return image;
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    const HRSRC res = FindResourceW(instance, name, RT_GROUP_ICON);
    if (!res)
        return 0;
    auto known = IconsByResource().find(res);
    if (known != IconsByResource().end())
        return known->second;
    const void* data = LockResource(LoadResource(instance, res));
    GdkPixbuf* image = data ? DecodeImage(data, SizeofResource(instance, res)) : nullptr;
    if (!image)
        return 0;
    const HICON icon = g_nextIcon++;
    IconImages()[icon] = image;
    IconsByResource()[res] = icon;
    return icon;
}

GdkPixbuf* Win32IconImage(HICON icon) {
    auto it = IconImages().find(icon);
    return it == IconImages().end() ? nullptr : it->second;
}

// A string resource is its text in wchar_t units, without a terminator.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0 || id > 0xFFFF)
        return 0;
    const HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(static_cast<WORD>(id)), RT_STRING);
    const auto* text =
        res ? static_cast<const wchar_t*>(LockResource(LoadResource(instance, res))) : nullptr;
    if (!text) {
        buffer[0] = L'\0';
        return 0;
    }
    const std::size_t length = SizeofResource(instance, res) / sizeof(wchar_t);
    const std::size_t copied = std::min(length, static_cast<std::size_t>(bufferMax - 1));
    std::memcpy(buffer, text, copied * sizeof(wchar_t));
    buffer[copied] = L'\0';
    return static_cast<int>(copied);
}
