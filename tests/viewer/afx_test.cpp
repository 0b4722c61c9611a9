// The framework's string formatting and file status, beyond what the start URL, the string
// resources and the attachment name resolution use of them.
#include <gtest/gtest.h>

#include <string>

#include "afx/afxfile.h"
#include "afx/afxstr.h"

namespace {

TEST(CStringWTest, FormatsWideStringsAndCutsSafely) {
    CStringW s;
    s.Format(L"%c|%5s|%S|%%|%d", L'\u00e9', L"ab", "narrow", 32272);
    EXPECT_EQ(s, CStringW(L"\u00e9|   ab|narrow|%|32272"));
    s.Format(L"%s", std::wstring(5000, L'x').c_str());
    EXPECT_EQ(s.GetLength(), 5000);

    s = L"file:///a/file:///b";
    EXPECT_EQ(s.Replace(L"file:///", L""), 2);
    EXPECT_EQ(s.Left(s.ReverseFind(L'/')) + L"|" + s.Mid(2), CStringW(L"a|b"));
    EXPECT_EQ(s.Mid(10) + s.Left(-1), CStringW());
}

// Missing and overlong names: see the tests of the attachment name resolution.
TEST(FileStatusTest, DescribesExistingNamesAndRefusesTheOthers) {
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(L"/tmp/./x/../", status));  // resolved by name
    EXPECT_NE(status.m_attribute & CFile::directory, 0);
    EXPECT_EQ(std::wstring(status.m_szFullName), L"/tmp");
    ASSERT_TRUE(CFile::GetStatus(L"/proc/self/comm", status));
    EXPECT_EQ(status.m_attribute & CFile::directory, 0);
    EXPECT_FALSE(CFile::GetStatus(L"", status) || CFile::GetStatus(nullptr, status));
    EXPECT_FALSE(CFile::GetStatus(L"/caf\xD800.txt", status));  // not a Unicode scalar value
}

}  // namespace
