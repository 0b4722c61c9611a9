#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ResolveAttachmentName.h"
#include "StartUrl.h"

namespace {

namespace fs = std::filesystem;

// A course under a temporary folder, and a current folder of its own beside it.
class ResolveAttachmentNameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/bridge-resolve-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        for (const char* name :
             {"Course/docs/guide.pdf", "Course/caf\xc3\xa9.pdf", "Course/%41.pdf",
              "My Course/a.pdf", "outside.txt", "work/cwd/local.txt", "work/cwd/x%41.txt",
              "C# course?%41 50%/docs/guide.pdf", "C# course?%41 50%/caf\xc3\xa9 #2.pdf"}) {
            Touch(name);
        }
        previous = fs::current_path();
        fs::current_path(root / "work/cwd");
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }

    void Touch(const std::string& relative) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative).put('x');
    }
    // The root is ASCII, so widening it byte by byte is exact.
    std::wstring In(const std::wstring& relative) const {
        const std::string text = root.string();
        return std::wstring(text.begin(), text.end()) + L"/" + relative;
    }
    static std::wstring Resolve(const std::wstring& name, const std::wstring& url) {
        return ResolveAttachmentName(CStringW(name), CStringW(url)).str();
    }

    fs::path root;
    fs::path previous;
};

TEST_F(ResolveAttachmentNameTest, FindsTheNameAsGivenElseInThePagesFolderAndDecodesIt) {
    const std::wstring page = L"file://" + In(L"Course/index.html");
    const struct {
        std::wstring name, url, expected;
    } rows[] = {
        {L"docs/guide.pdf", page, In(L"Course/docs/guide.pdf")},
        // The joined name is decoded, so a folder with a blank is found.
        {L"a.pdf", L"file://" + In(L"My%20Course/index.html"), In(L"My Course/a.pdf")},
        {L"caf%C3%A9.pdf", page, In(L"Course/caf\u00e9.pdf")},
        {L"%2541.pdf", page, In(L"Course/%41.pdf")},
        // Found in the current folder: kept as given, and decoded all the same (xA.txt
        // does not exist).
        {L"local.txt", page, L"local.txt"},
        {L"x%41.txt", page, L""},
        // Absolute names and names that climb out are opened when they exist.
        {In(L"outside.txt"), page, In(L"outside.txt")},
        {L"../outside.txt", page, In(L"Course/../outside.txt")},
        {L"missing.pdf", page, L""},
        {L"guide.pdf", page, L""},
        {L"", page, In(L"Course/")},  // the page's folder
        // The folder ends at the last '/', a fragment's too.
        {L"docs/guide.pdf", page + L"#/slide/2", L""},
        {L"docs/guide.pdf", page + L"#top", In(L"Course/docs/guide.pdf")},
        // A page of another scheme keeps it, so nothing is found.
        {L"docs/guide.pdf", L"https://example.com/Course/index.html", L""},
        {L"docs/guide.pdf", L"about:blank", L""},
        {L"docs/" + std::wstring(PATH_MAX, L'a'), page, L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Resolve(row.name, row.url), row.expected) << row.name << " on " << row.url;

    Touch("work/cwd/xA.txt");
    EXPECT_EQ(Resolve(L"x%41.txt", page), L"xA.txt");
}

// A course whose folder holds what a URL reads as syntax: the start URL escapes it, and the
// opener's decoding of the joined name turns the escapes back.
TEST_F(ResolveAttachmentNameTest, FindsFilesOfACourseInAFolderNamedLikeAUrl) {
    const std::wstring folder = In(L"C# course?%41 50%");
    const CStringW page = BuildStartUrl(CStringW(folder + L"/viewer"));
    ASSERT_EQ(page.Find(L'#'), -1);
    ASSERT_EQ(page.Find(L'?'), -1);
    EXPECT_EQ(Resolve(L"docs/guide.pdf", page.str()), folder + L"/docs/guide.pdf");
    EXPECT_EQ(Resolve(L"caf%C3%A9%20%232.pdf", page.str()), folder + L"/caf\u00e9 #2.pdf");
    EXPECT_EQ(Resolve(L"", page.str()), folder + L"/");
    // As the engine reports the address back: blanks and other characters escaped too.
    CStringW reported = page;
    reported.Replace(L" ", L"%20");
    EXPECT_EQ(Resolve(L"docs/guide.pdf", reported.str()), folder + L"/docs/guide.pdf");
    EXPECT_EQ(Resolve(L"missing.pdf", page.str()), L"");
}

}  // namespace
