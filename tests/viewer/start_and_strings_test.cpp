// The start URL and the string resources.
#include <gtest/gtest.h>

#include "LoadStringResource.h"
#include "StartUrl.h"
#include "resource.h"
#include "win32/resources.h"

namespace {

TEST(StartUrlTest, IsTheIndexPageInTheExecutablesFolder) {
    EXPECT_EQ(BuildStartUrl(L"/opt/Courses/Demo/viewer"),
              CStringW(L"file:///opt/Courses/Demo/index.html"));
}

TEST(StartUrlTest, KeepsBlanksAndOtherCharactersAsTheyAre) {
    EXPECT_EQ(BuildStartUrl(L"/home/u/My Course/viewer"),
              CStringW(L"file:///home/u/My Course/index.html"));
    EXPECT_EQ(BuildStartUrl(L"/c/caf\u00e9 #1/viewer"),
              CStringW(L"file:///c/caf\u00e9 #1/index.html"));
}

TEST(StartUrlTest, APathWithoutFolderGivesTheRootPage) {
    EXPECT_EQ(BuildStartUrl(L"viewer"), CStringW(L"file:///index.html"));
    EXPECT_EQ(BuildStartUrl(L""), CStringW(L"file:///index.html"));
}

TEST(LoadStringResourceTest, FindsThePresentStringAndNamesTheAbsentOne) {
    RegisterViewerResources();
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"Tirravel");
    EXPECT_STREQ(LoadStringResource(IDS_APP_TITLE), L"Brevona");
    EXPECT_STREQ(
        LoadStringResource(IDP_OLE_INIT_FAILED),
        L"OLE initialization failed.  Make sure that the OLE libraries are the correct version.");
    EXPECT_STREQ(LoadStringResource(IDR_MAINFRAME),
                 L"Brevona\n\nBrevona\nBrevona Files (*.title)\n.title\n");
    EXPECT_STREQ(LoadStringResource(4242), L"String Resource 4242 Not Found");

    Win32UnregisterModuleResources(0);
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"String Resource 32272 Not Found");
    RegisterViewerResources();
    EXPECT_STREQ(LoadStringResource(IDS_MAKER_NAME), L"Tirravel");
}

}  // namespace
