// The start URL and the string resources.
#include <gtest/gtest.h>

#include "LoadStringResource.h"
#include "StartUrl.h"
#include "resource.h"
#include "win32/resources.h"

namespace {

TEST(StartUrlTest, IsTheIndexPageInTheExecutablesFolderAsItStands) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"/opt/Courses/Demo/viewer", L"file:///opt/Courses/Demo/index.html"},
        {L"/home/u/My Course/viewer", L"file:///home/u/My Course/index.html"},
        {L"/c/caf\u00e9 #1/viewer", L"file:///c/caf\u00e9 #1/index.html"},
        {L"viewer", L"file:///index.html"},  // no folder
        {L"", L"file:///index.html"},
    };
    for (const auto& [path, url] : rows)
        EXPECT_EQ(BuildStartUrl(path), CStringW(url)) << path;
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
