// File-name helpers of format detection.
#include <cctype>
#include <cwchar>

#include "core/mem_stream.h"

namespace imagelib {

const wchar_t* ImageFileExtension(const wchar_t* path) {
    if (path == nullptr)
        return nullptr;
    const wchar_t* dot = std::wcsrchr(path, L'.');
    if (dot == nullptr)
        return nullptr;
    // A separator after the dot means the dot belongs to a folder's name.
    if (std::wcschr(dot, L'/') != nullptr || std::wcschr(dot, L'\\') != nullptr)
        return nullptr;
    return dot + 1;
}

namespace {

// The runtime's tolower folds only the ASCII letters' range of a wide character.
wchar_t Fold(wchar_t c) {
    return c >= 0 && c < 128 ? static_cast<wchar_t>(std::tolower(static_cast<int>(c))) : c;
}

}  // namespace

bool ImageNameMatch(const wchar_t* a, const wchar_t* b, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) {
        if (Fold(a[i]) != Fold(b[i]))
            return false;
        // Both strings end here: nothing beyond their terminators is read.
        if (a[i] == L'\0')
            return true;
    }
    return true;
}

}  // namespace imagelib
