#include "cef/cef_string.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (!IsScalar(c))
        c = kReplacement;
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsScalar(c))
        c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Calls emit for each code point of a UTF-16 text; a lone surrogate stays as it is, so
// that text the program stores comes back unchanged.
template <class Emit>
void ForEachUtf16(const std::u16string& s, Emit emit) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        emit(c);
    }
}

// Bytes that do not form a valid sequence become U+FFFD, one per byte.
std::u16string FromUtf8(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        int extra = -1;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        char32_t c = extra > 0 ? lead & (0x3F >> extra) : lead;
        bool ok = extra >= 0 && i + extra < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(s[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        ok = ok && !(extra == 2 && c < 0x800) && !(extra == 3 && c < 0x10000);
        if (!ok) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += extra + 1;
    }
    return out;
}

}  // namespace

CefString::CefString(const wchar_t* s) : CefString(std::wstring(s ? s : L"")) {}

CefString::CefString(const std::wstring& s) {
    s_.reserve(s.size());
    for (wchar_t c : s)
        AppendUtf16(s_, static_cast<char32_t>(c));
}

CefString::CefString(const char* utf8) : s_(FromUtf8(utf8 ? utf8 : "")) {}

CefString::CefString(const std::string& utf8) : s_(FromUtf8(utf8)) {}

std::wstring CefString::ToWString() const {
    std::wstring out;
    out.reserve(s_.size());
    ForEachUtf16(s_, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
    return out;
}

std::string CefString::ToString() const {
    std::string out;
    out.reserve(s_.size());
    ForEachUtf16(s_, [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}
