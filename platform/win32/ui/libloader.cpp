#include "win32/libloader.h"

#include <dlfcn.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "win32/trace.h"
#include "win32/wide_files.h"

namespace {

std::map<HMODULE, void*>& Libraries() {
    static std::map<HMODULE, void*> libraries;
    return libraries;
}

// Library handles stay apart from module 0, the executable, and from small resource ids.
HMODULE g_nextLibrary = 0x10000;

}  // namespace

DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    buffer[0] = L'\0';  // an empty path when it cannot be had (a name that is not UTF-8)
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    glong length = 0;
    gunichar* wide = g_utf8_to_ucs4(path, -1, nullptr, &length, nullptr);
    if (!wide)
        return 0;
    const DWORD copied = std::min<DWORD>(static_cast<DWORD>(length), size - 1);
    std::memcpy(buffer, wide, copied * sizeof(wchar_t));
    buffer[copied] = L'\0';
    g_free(wide);
    return static_cast<DWORD>(length) >= size ? size : copied;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
    const std::string name = fileName ? Win32PathToUtf8(fileName) : std::string();
    void* library = name.empty() ? nullptr : dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    Win32Trace(("LoadLibraryW " + name + (library ? "" : " failed")).c_str());
    if (!library)
        return 0;
    const HMODULE handle = g_nextLibrary++;
    Libraries()[handle] = library;
    return handle;
}

void* GetProcAddress(HMODULE module, const char* procName) {
    auto it = Libraries().find(module);
    return it == Libraries().end() || !procName ? nullptr : dlsym(it->second, procName);
}

BOOL FreeLibrary(HMODULE module) {
    auto it = Libraries().find(module);
    if (it == Libraries().end())
        return FALSE;
    dlclose(it->second);
    Libraries().erase(it);
    return TRUE;
}
