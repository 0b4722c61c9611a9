#include "UrlDecode.h"

#include <cstdint>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// The value of the two characters of an escape (fewer where the text ends sooner), read as
// wcstol reads them with base 16: leading white space and a sign are taken, digits up to
// the first that is not hexadecimal, and no digits read as 0.
long PairValue(const std::wstring& s, std::size_t at) {
    const std::wstring pair = at < s.size() ? s.substr(at, 2) : std::wstring();
    return std::wcstol(pair.c_str(), nullptr, 16);
}

wchar_t Unit(std::int64_t value) {
    return static_cast<wchar_t>(((value % 65536) + 65536) % 65536);
}

}  // namespace

// An escape's lead pair b1 says how many pairs the sequence has; each continuation pair
// stands three characters after the previous one, whatever the character before it.
//   b1 below 0x80 (negative too)  one pair:    b1 modulo 65536
//   b1 0xC0 to 0xDF               two pairs:   (b1 * 64 + b2 - 0x3080) modulo 65536
//   b1 0xE0 to 0xEF               three pairs: ((b1 * 64 + b2) * 64 + b3 - 0x2080) modulo 65536
// For well-formed UTF-8 these give the code point. The rows UTF-8 leaves open:
//   b1 0xF0 to 0xF7               four pairs:  the code point of the four bytes' payload bits,
//                                              one wide character (U+FFFD above U+10FFFF)
//   b1 0xF8 to 0xFD               five or six pairs: U+FFFD, as no character is encoded so
//   b1 0x80 to 0xBF, 0xFE, 0xFF   not an escape: the '%' stays as text and the scan goes
//                                 on with the character after it
// A result of 0 (%00, a pair without digits, a '%' at the very end) adds nothing.
void UrlDecode(CStringW& text) {
    const std::wstring& s = text.str();
    std::wstring r;
    r.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != L'%') {
            r.push_back(s[i]);
            ++i;
            continue;
        }
        // The k-th pair of the sequence; the character before each continuation pair is
        // skipped unseen.
        auto pair = [&](std::size_t k) -> std::int64_t { return PairValue(s, i + 3 * k + 1); };
        const std::int64_t b1 = pair(0);
        wchar_t unit = 0;
        std::size_t length = 3;
        if (b1 < 0x80) {
            unit = Unit(b1);
        } else if (b1 >= 0xC0 && b1 <= 0xDF) {
            unit = Unit(b1 * 64 + pair(1) - 0x3080);
            length = 6;
        } else if (b1 >= 0xE0 && b1 <= 0xEF) {
            unit = Unit((b1 * 64 + pair(1)) * 64 + pair(2) - 0x2080);
            length = 9;
        } else if (b1 >= 0xF0 && b1 <= 0xF7) {
            const std::int64_t cp = (b1 & 0x07) << 18 | (pair(1) & 0x3F) << 12 |
                                    (pair(2) & 0x3F) << 6 | (pair(3) & 0x3F);
            unit = cp > 0x10FFFF ? kReplacement : static_cast<wchar_t>(cp);
            length = 12;
        } else if (b1 >= 0xF8 && b1 <= 0xFD) {
            unit = kReplacement;
            length = b1 <= 0xFB ? 15 : 18;
        } else {
            r.push_back(L'%');
            ++i;
            continue;
        }
        if (unit != 0)
            r.push_back(unit);
        i += length;
    }
    text = CStringW(std::move(r));
}
