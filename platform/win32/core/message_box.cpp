// The non-blocking message box: one line on standard error and a short record.
#include "win32/message_box.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

namespace {

std::deque<Win32NoticeRecord>& Records() {
    static std::deque<Win32NoticeRecord> records;
    return records;
}

// UTF-8 of a wide text on one line: line breaks become blanks, and code points that are
// not Unicode scalar values become '?'.
std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == '\n' || c == '\r') {
            out += ' ';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0x10000 && c <= 0x10FFFF) {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

extern "C" int Win32NoticeBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    Win32NoticeRecord record{caption != nullptr ? caption : L"", text != nullptr ? text : L"",
                             type};
    std::fprintf(stderr, "%s: %s\n", Utf8(record.caption).c_str(), Utf8(record.text).c_str());
    auto& records = Records();
    if (records.size() == kWin32NoticeRecordLimit)
        records.pop_front();
    records.push_back(std::move(record));
    return IDOK;
}

std::vector<Win32NoticeRecord> Win32RecordedNotices() {
    return {Records().begin(), Records().end()};
}

void Win32ClearNotices() {
    Records().clear();
}
