// The framework's string and file status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "afx/afxfile.h"
#include "afx/afxstr.h"

namespace {

TEST(CStringWTest, FormatTakesWideStringsForPercentS) {
    CStringW s;
    s.Format(L"%s%s", L"file://", L"/a b/index.html");
    EXPECT_EQ(s, CStringW(L"file:///a b/index.html"));
    s.Format(L"String Resource %d Not Found", 32272);
    EXPECT_EQ(s, CStringW(L"String Resource 32272 Not Found"));
    s.Format(L"%c|%5s|%S|%%", L'\u00e9', L"ab", "narrow");
    EXPECT_EQ(s, CStringW(L"\u00e9|   ab|narrow|%"));
    std::wstring longText(5000, L'x');
    s.Format(L"%s", longText.c_str());
    EXPECT_EQ(s.GetLength(), 5000);
}

TEST(CStringWTest, SearchesAndReplacements) {
    CStringW s = L"file:///a/file:///b";
    EXPECT_EQ(s.Replace(L"file:///", L""), 2);
    EXPECT_EQ(s, CStringW(L"a/b"));
    EXPECT_EQ(s.ReverseFind(L'/'), 1);
    EXPECT_EQ(s.Find(L'x'), -1);
    EXPECT_EQ(s.Left(1) + L"|" + s.Mid(2), CStringW(L"a|b"));
    EXPECT_EQ(s.Mid(10), CStringW());
    EXPECT_EQ(s.Left(-1), CStringW());
}

class FileStatusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/afx file XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        std::FILE* f = std::fopen((folder + "/a.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("hello", f);
        std::fclose(f);
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        previous = cwd;
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous.c_str()), 0);
        std::remove((folder + "/a.txt").c_str());
        rmdir(folder.c_str());
    }
    std::string folder;
    std::string previous;
};

TEST_F(FileStatusTest, FindsFilesAndFoldersRelativeToTheCurrentFolder) {
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(L"a.txt", status));
    EXPECT_EQ(status.m_size, 5);
    EXPECT_EQ(status.m_attribute & CFile::directory, 0);
    EXPECT_TRUE(CFile::GetStatus(L"./sub/../a.txt", status));  // resolved by name
    EXPECT_TRUE(CFile::GetStatus(L".", status));
    EXPECT_NE(status.m_attribute & CFile::directory, 0);
    const std::wstring full(folder.begin(), folder.end());
    EXPECT_EQ(std::wstring(status.m_szFullName), full);
}

TEST_F(FileStatusTest, RefusesEmptyMissingAndOverlongNames) {
    CFileStatus status;
    EXPECT_FALSE(CFile::GetStatus(L"", status));
    EXPECT_FALSE(CFile::GetStatus(nullptr, status));
    EXPECT_FALSE(CFile::GetStatus(L"missing.txt", status));
    EXPECT_FALSE(CFile::GetStatus(std::wstring(PATH_MAX, L'a').c_str(), status));
    EXPECT_FALSE(CFile::GetStatus(L"caf\xD800.txt", status));  // not a Unicode scalar value
}

}  // namespace
