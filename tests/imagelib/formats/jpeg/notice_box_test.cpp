// The non-blocking message box the library shows its messages in.
#include <gtest/gtest.h>

#include <string>

#include "win32/message_box.h"

namespace {

TEST(NoticeBox, WritesOneLineAndRecordsTheBoxWithoutWaiting) {
    Win32ClearNotices();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Win32NoticeBoxW(0, L"two\nlines \u00e9", L"Title", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title: two lines \xc3\xa9\n");
    const auto records = Win32RecordedNotices();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].caption, L"Title");
    EXPECT_EQ(records[0].text, L"two\nlines \u00e9");
    EXPECT_EQ(records[0].type, MB_OK | MB_ICONERROR);
    Win32ClearNotices();
    EXPECT_TRUE(Win32RecordedNotices().empty());
}

TEST(NoticeBox, KeepsOnlyTheLatestRecords) {
    Win32ClearNotices();
    testing::internal::CaptureStderr();
    for (std::size_t i = 0; i < kWin32NoticeRecordLimit + 5; ++i)
        Win32NoticeBoxW(0, std::to_wstring(i).c_str(), nullptr, MB_OK);
    testing::internal::GetCapturedStderr();
    const auto records = Win32RecordedNotices();
    ASSERT_EQ(records.size(), kWin32NoticeRecordLimit);
    EXPECT_EQ(records.front().text, L"5");
    EXPECT_EQ(records.back().caption, L"");
    Win32ClearNotices();
}

}  // namespace
