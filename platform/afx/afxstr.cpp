#include "afx/afxstr.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <vector>

#include "win32/winuser.h"

namespace {

// The framework's %s and %c take wide arguments; the C library's wide printf takes narrow
// ones unless an 'l' says otherwise. Adds the 'l' (and turns %S / %C into narrow %s / %c).
std::wstring ToLibraryFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%')
            continue;
        ++p;
        while (*p && std::wcschr(L"-+ #0123456789.*", *p))
            out += *p++;
        bool sized = false;
        while (*p && std::wcschr(L"hlLqjzt", *p)) {
            sized = true;
            out += *p++;
        }
        if (!*p)
            break;
        if (!sized && (*p == L's' || *p == L'c')) {
            out += L'l';
            out += *p;
        } else if (!sized && (*p == L'S' || *p == L'C')) {
            out += static_cast<wchar_t>(*p == L'S' ? L's' : L'c');
        } else {
            out += *p;
        }
    }
    return out;
}

std::wstring FormatV(const wchar_t* format, va_list args) {
    if (!format)
        return {};
    const std::wstring f = ToLibraryFormat(format);
    // Grows until the text fits; vswprintf reports -1 both for a short buffer and for a
    // conversion it cannot make, so the growth is bounded.
    for (std::size_t size = 256; size <= (1u << 24); size *= 4) {
        std::vector<wchar_t> buffer(size);
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), size, f.c_str(), copy);
        va_end(copy);
        if (n >= 0)
            return std::wstring(buffer.data(), static_cast<std::size_t>(n));
    }
    return {};
}

}  // namespace

void CStringW::Truncate(int length) {
    if (length >= 0 && static_cast<std::size_t>(length) < s_.size())
        s_.resize(length);
}

CStringW CStringW::Left(int count) const {
    return CStringW(s_.substr(0, static_cast<std::size_t>(std::max(count, 0))));
}

CStringW CStringW::Right(int count) const {
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(count, 0)), s_.size());
    return CStringW(s_.substr(s_.size() - n));
}

CStringW CStringW::Mid(int first) const {
    return Mid(first, GetLength());
}

CStringW CStringW::Mid(int first, int count) const {
    const std::size_t start = std::min(static_cast<std::size_t>(std::max(first, 0)), s_.size());
    return CStringW(s_.substr(start, static_cast<std::size_t>(std::max(count, 0))));
}

int CStringW::Find(wchar_t ch, int start) const {
    if (start < 0 || static_cast<std::size_t>(start) > s_.size())
        return -1;
    const std::size_t at = s_.find(ch, static_cast<std::size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CStringW::Find(LPCWSTR sub, int start) const {
    if (!sub || start < 0 || static_cast<std::size_t>(start) > s_.size())
        return -1;
    const std::size_t at = s_.find(sub, static_cast<std::size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CStringW::ReverseFind(wchar_t ch) const {
    const std::size_t at = s_.rfind(ch);
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CStringW::Replace(wchar_t oldCh, wchar_t newCh) {
    int count = 0;
    for (wchar_t& c : s_) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

int CStringW::Replace(LPCWSTR oldText, LPCWSTR newText) {
    if (!oldText || !*oldText)
        return 0;
    const std::wstring from = oldText;
    const std::wstring to = newText ? newText : L"";
    std::wstring out;
    int count = 0;
    std::size_t pos = 0;
    for (std::size_t at; (at = s_.find(from, pos)) != std::wstring::npos; pos = at + from.size()) {
        out.append(s_, pos, at - pos);
        out += to;
        ++count;
    }
    out.append(s_, pos, std::wstring::npos);
    s_ = std::move(out);
    return count;
}

int CStringW::Compare(LPCWSTR other) const {
    return s_.compare(other ? other : L"");
}

void CStringW::Format(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    s_ = FormatV(format, args);
    va_end(args);
}

void CStringW::AppendFormat(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    s_ += FormatV(format, args);
    va_end(args);
}

BOOL CStringW::LoadString(UINT id) {
    // Strings are short; one resource may not exceed this.
    constexpr int kMaxLength = 4096;
    std::vector<wchar_t> buffer(kMaxLength + 1);
    const int n = LoadStringW(0, id, buffer.data(), kMaxLength + 1);
    if (n <= 0)
        return FALSE;
    s_.assign(buffer.data(), static_cast<std::size_t>(n));
    return TRUE;
}
