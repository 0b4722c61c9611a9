// The start URL and the string resources.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "LoadStringResource.h"
#include "StartUrl.h"
#include "resource.h"
#include "win32/resources.h"

namespace {

// Only the characters that a URL reads as syntax are escaped; blanks and the rest stay.
TEST(StartUrlTest, IsTheIndexPageInTheExecutablesFolderWithOnlyUrlSyntaxEscaped) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"/opt/Courses/Demo/viewer", L"file:///opt/Courses/Demo/index.html"},
        {L"/home/u/My Course/viewer", L"file:///home/u/My Course/index.html"},
        {L"/c/caf\u00e9 #1/viewer", L"file:///c/caf\u00e9 %231/index.html"},
        {L"/tmp/C# course?%41 50%/viewer", L"file:///tmp/C%23 course%3F%2541 50%25/index.html"},
        {L"/a%25/b?c#d&e=f+g;h/viewer", L"file:///a%2525/b%3Fc%23d&e=f+g;h/index.html"},
        {L"viewer", L"file:///index.html"},  // no folder
        {L"", L"file:///index.html"},
    };
    for (const auto& [path, url] : rows)
        EXPECT_EQ(BuildStartUrl(path.c_str()).str(), url);
}

TEST(LoadStringResourceTest, FindsThePresentStringAndNamesTheAbsentOne) {
    RegisterViewerResources();
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"Tirravel");
    EXPECT_STREQ(LoadStringResource(IDR_MAINFRAME),
                 L"Brevona\n\nBrevona\nBrevona Files (*.title)\n.title\n");
    EXPECT_STREQ(LoadStringResource(4242), L"String Resource 4242 Not Found");

    Win32UnregisterModuleResources(0);
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"String Resource 32272 Not Found");
    RegisterViewerResources();
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"Tirravel");
}

}  // namespace
