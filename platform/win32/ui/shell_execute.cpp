// The Windows types come before GLib's, whose TRUE and FALSE are macros.
// clang-format off
#include "win32/shellapi.h"
#include <gio/gio.h>
// clang-format on

#include <cwchar>
#include <string>

#include "win32/wide_files.h"

namespace {

// Verbs name registry keys on the platform this program comes from: case does not matter.
bool IsOpenVerb(LPCWSTR verb) {
    return !verb || !*verb || wcscasecmp(verb, L"open") == 0;
}

// A GFile for the name, relative names taken against the folder when one is given.
GFile* FileFor(const std::string& name, const std::string& folder) {
    if (folder.empty() || g_path_is_absolute(name.c_str()))
        return g_file_new_for_path(name.c_str());
    GFile* base = g_file_new_for_path(folder.c_str());
    GFile* file = g_file_resolve_relative_path(base, name.c_str());
    g_object_unref(base);
    return file;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND /*hwnd*/, LPCWSTR lpOperation, LPCWSTR lpFile,
                        LPCWSTR /*lpParameters*/, LPCWSTR lpDirectory, int /*nShowCmd*/) {
    if (!IsOpenVerb(lpOperation))
        return SE_ERR_NOASSOC;
    const std::string name = lpFile ? Win32PathToUtf8(lpFile) : std::string();
    if (name.empty())
        return SE_ERR_FNF;
    GFile* file = FileFor(name, lpDirectory ? Win32PathToUtf8(lpDirectory) : std::string());
    HINSTANCE result = SE_ERR_FNF;
    if (g_file_query_exists(file, nullptr)) {
        // The handler xdg-open would pick: the default application for the file's type.
        char* uri = g_file_get_uri(file);
        result = g_app_info_launch_default_for_uri(uri, nullptr, nullptr) ? SE_RESULT_STARTED
                                                                          : SE_ERR_NOASSOC;
        g_free(uri);
    }
    g_object_unref(file);
    return result;
}
