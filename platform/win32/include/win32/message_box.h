// Message boxes for code that must never wait on a user: the image library runs inside
// callers that may have no display and no one to press a button. The box is not shown;
// its title and text go to standard error as one line and are recorded, for tests to
// read and clear. The viewer's modal boxes are MessageBoxW in the window layer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "win32/types.h"

// Message-box types and results.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

extern "C" {
// Writes "caption: text" and a line end to standard error, records the box, and returns
// IDOK at once. owner is not used (there is no window to own the box); null texts count
// as empty.
int Win32NoticeBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
}

// A box as Win32NoticeBoxW recorded it.
struct Win32NoticeRecord {
    std::wstring caption;
    std::wstring text;
    UINT type;
};

// Test hooks: the boxes recorded since the last clear, oldest first (only the latest
// kWin32NoticeRecordLimit are kept, so a long-running caller does not grow the list).
constexpr std::size_t kWin32NoticeRecordLimit = 64;
std::vector<Win32NoticeRecord> Win32RecordedNotices();
void Win32ClearNotices();
