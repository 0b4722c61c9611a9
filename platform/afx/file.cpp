#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cwchar>
#include <string>
#include <vector>

#include "afx/afxfile.h"
#include "win32/wide_files.h"

namespace {

// The full form of a path: relative paths against the current folder, then ".", ".." and
// repeated separators resolved by name. Empty when there is no current folder.
std::wstring FullPath(const std::wstring& name) {
    std::wstring path = name;
    if (path.empty() || path[0] != L'/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return {};
        gunichar* folder = g_utf8_to_ucs4(cwd, -1, nullptr, nullptr, nullptr);
        if (!folder)
            return {};
        path = reinterpret_cast<const wchar_t*>(folder) + (L"/" + path);
        g_free(folder);
    }
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'/', start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring full;
    for (const std::wstring& part : parts)
        full += L"/" + part;
    return full.empty() ? L"/" : full;
}

}  // namespace

BOOL CFile::GetStatus(LPCWSTR fileName, CFileStatus& status) {
    if (!fileName || !*fileName || std::wcslen(fileName) >= PATH_MAX)
        return FALSE;
    const std::wstring full = FullPath(fileName);
    if (full.empty() || full.size() >= PATH_MAX)
        return FALSE;
    const std::string utf8 = Win32PathToUtf8(full.c_str());
    struct stat st {};
    if (utf8.empty() || stat(utf8.c_str(), &st) != 0)
        return FALSE;
    status.m_size = st.st_size;
    status.m_attribute = S_ISDIR(st.st_mode) ? directory : normal;
    if (access(utf8.c_str(), W_OK) != 0)
        status.m_attribute |= readOnly;
    std::wcsncpy(status.m_szFullName, full.c_str(), PATH_MAX - 1);
    status.m_szFullName[PATH_MAX - 1] = L'\0';
    return TRUE;
}
