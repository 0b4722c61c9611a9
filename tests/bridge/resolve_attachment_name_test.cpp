#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ResolveAttachmentName.h"

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
              "My Course/a.pdf", "outside.txt", "work/cwd/local.txt", "work/cwd/x%41.txt"}) {
            Touch(root / name);
        }
        previous = fs::current_path();
        fs::current_path(root / "work/cwd");
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }

    static void Touch(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path).put('x');
    }

    // A wide string of a UTF-8 path.
    static std::wstring Wide(const std::string& utf8) {
        std::wstring wide;
        for (std::size_t i = 0; i < utf8.size();) {
            const unsigned char c = utf8[i];
            if (c < 0x80) {
                wide += wchar_t(c);
                i += 1;
            } else {  // the tests' only non-ASCII text is two-byte
                wide += wchar_t(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F));
                i += 2;
            }
        }
        return wide;
    }

    std::wstring Resolve(const std::wstring& name, const std::wstring& url) {
        return ResolveAttachmentName(CStringW(name), CStringW(url)).str();
    }
    std::wstring Page(const std::string& folder, const std::string& rest = "index.html") {
        return L"file://" + Wide((root / folder).string()) + L"/" + Wide(rest);
    }
    std::wstring In(const std::string& relative) { return Wide((root / relative).string()); }

    fs::path root;
    fs::path previous;
};

TEST_F(ResolveAttachmentNameTest, ARelativeNameIsTakenAgainstThePagesFolder) {
    EXPECT_EQ(Resolve(L"docs/guide.pdf", Page("Course")), In("Course/docs/guide.pdf"));
}

TEST_F(ResolveAttachmentNameTest, TheJoinedNameIsDecodedSoAFolderWithABlankIsFound) {
    EXPECT_EQ(Resolve(L"a.pdf", Page("My%20Course")), In("My Course/a.pdf"));
    EXPECT_EQ(Resolve(L"caf%C3%A9.pdf", Page("Course")), In("Course/caf\u00e9.pdf"));
    EXPECT_EQ(Resolve(L"%2541.pdf", Page("Course")), In("Course/%41.pdf"));
}

TEST_F(ResolveAttachmentNameTest, ANameFoundInTheCurrentFolderIsKeptAsGiven) {
    EXPECT_EQ(Resolve(L"local.txt", Page("Course")), L"local.txt");
}

TEST_F(ResolveAttachmentNameTest, ANameFoundAsGivenIsDecodedAllTheSame) {
    // The current folder's x%41.txt exists; its decoded form xA.txt does not, so nothing opens.
    EXPECT_EQ(Resolve(L"x%41.txt", Page("Course")), L"");
    Touch(root / "work/cwd/xA.txt");
    EXPECT_EQ(Resolve(L"x%41.txt", Page("Course")), L"xA.txt");
}

TEST_F(ResolveAttachmentNameTest, AbsoluteNamesAndNamesThatClimbOutAreOpenedWhenTheyExist) {
    EXPECT_EQ(Resolve(In("outside.txt"), Page("Course")), In("outside.txt"));
    EXPECT_EQ(Resolve(L"../outside.txt", Page("Course")), In("Course/../outside.txt"));
}

TEST_F(ResolveAttachmentNameTest, AMissingNameGivesNothing) {
    EXPECT_EQ(Resolve(L"missing.pdf", Page("Course")), L"");
    EXPECT_EQ(Resolve(L"guide.pdf", Page("Course")), L"");
}

TEST_F(ResolveAttachmentNameTest, AnEmptyNameGivesThePagesFolder) {
    EXPECT_EQ(Resolve(L"", Page("Course")), In("Course") + L"/");
}

TEST_F(ResolveAttachmentNameTest, AFragmentHoldingASlashMovesTheFolder) {
    EXPECT_EQ(Resolve(L"docs/guide.pdf", Page("Course", "index.html#/slide/2")), L"");
    EXPECT_EQ(Resolve(L"docs/guide.pdf", Page("Course", "index.html#top")),
              In("Course/docs/guide.pdf"));
}

TEST_F(ResolveAttachmentNameTest, APageOfAnotherSchemeKeepsItAndNothingIsFound) {
    EXPECT_EQ(Resolve(L"docs/guide.pdf", L"https://example.com/Course/index.html"), L"");
    EXPECT_EQ(Resolve(L"docs/guide.pdf", L"about:blank"), L"");
}

TEST_F(ResolveAttachmentNameTest, ANameAtThePathLimitIsNotFound) {
    const std::wstring longName = L"docs/" + std::wstring(PATH_MAX, L'a');
    EXPECT_EQ(Resolve(longName, Page("Course")), L"");
}

}  // namespace
