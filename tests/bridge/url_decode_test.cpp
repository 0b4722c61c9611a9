#include <gtest/gtest.h>

#include <string>

#include "UrlDecode.h"

namespace {

TEST(UrlDecode, DecodesEveryRowOfItsTable) {
    using std::wstring;
    const std::pair<const wchar_t*, wstring> rows[] = {
        // One-byte escapes.
        {L"My%20Course/a.pdf", L"My Course/a.pdf"},
        {L"%41%42c", L"ABc"},
        {L"%2f%2F", L"//"},
        {L"%7F", wstring(1, 0x7F)},
        // Two-, three- and four-byte sequences give the code point.
        {L"caf%C3%A9.pdf", L"caf\u00e9.pdf"},
        {L"%E2%82%AC", L"\u20ac"},
        {L"%D0%96%E4%B8%AD", L"\u0416\u4e2d"},
        {L"%F0%9F%98%80.txt", wstring(1, 0x1F600) + L".txt"},
        // Appended characters are not scanned again; '+' is no blank.
        {L"%2541.pdf", L"%41.pdf"},
        {L"a+b.pdf", L"a+b.pdf"},
        // A pair without digits, a zero and a lone '%' add nothing.
        {L"%zz.pdf", L".pdf"},
        {L"%00.pdf", L".pdf"},
        {L"a.pdf%", L"a.pdf"},
        // Pairs are read as wcstol reads them: one character left, digits up to a
        // non-digit, leading white space, a sign, negative modulo 65536.
        {L"%4", wstring(1, 0x04)},
        {L"%4g.txt", L"\x04.txt"},
        {L"% 9", wstring(1, 0x09)},
        {L"%+A", wstring(1, 0x0A)},
        {L"%-1", wstring(1, 0xFFFF)},
        // A sequence cut short reads its missing pairs as zero.
        {L"%C3", L"\u0040"},
        {L"%E2%82", L"\u2000"},
        {L"x%C3%", L"x\u0040"},
        // Continuation pairs are taken whatever stands before them, by the formula.
        {L"%C3xA9", L"\u00e9"},
        {L"%C3%zz", L"\u0040"},
        {L"%C0%AF", L"/"},
        {L"%ED%A0%80", wstring(1, 0xD800)},
        // Beyond U+10FFFF, and the five- and six-byte forms: the replacement character.
        {L"%F7%BF%BF%BFz", L"\ufffdz"},
        {L"%F8%88%80%80%80z", L"\ufffdz"},
        {L"%FC%84%80%80%80%80z", L"\ufffdz"},
        // A byte that cannot begin a sequence stays as text.
        {L"%80abc", L"%80abc"},
        {L"%BF%41", L"%BFA"},
        {L"%FE%FF", L"%FE%FF"},
    };
    for (const auto& [input, expected] : rows) {
        CStringW s = input;
        UrlDecode(s);
        EXPECT_EQ(s.str(), expected) << input;
    }
}

}  // namespace
