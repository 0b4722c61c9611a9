#include "win32/wide_files.h"

#include <sys/stat.h>

#include <cstdint>

namespace {

// Appends the UTF-8 bytes of one code point; false for surrogates and values past U+10FFFF.
bool AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF)
            return false;
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::string Win32PathToUtf8(const wchar_t* path) {
    std::string out;
    if (path == nullptr)
        return out;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (!AppendUtf8(out, static_cast<std::uint32_t>(*p)))
            return std::string();
    }
    return out;
}

extern "C" {

int _wstat(const wchar_t* path, struct _stat* out) {
    std::string name = Win32PathToUtf8(path);
    struct stat st;
    if (name.empty() || ::stat(name.c_str(), &st) != 0)
        return -1;
    if (out != nullptr) {
        out->st_size = st.st_size;
        out->st_mode = st.st_mode;
    }
    return 0;
}

std::FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    std::string name = Win32PathToUtf8(path);
    std::string m = Win32PathToUtf8(mode);
    if (name.empty() || m.empty())
        return nullptr;
    return std::fopen(name.c_str(), m.c_str());
}

int _wremove(const wchar_t* path) {
    std::string name = Win32PathToUtf8(path);
    if (name.empty())
        return -1;
    return std::remove(name.c_str()) == 0 ? 0 : -1;
}

}  // extern "C"
