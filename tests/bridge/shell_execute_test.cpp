#include <gtest/gtest.h>

#include "win32/shellapi.h"
#include "win32/winuser.h"

namespace {

// What would start a program is left to the end-to-end test; these fail before that.
TEST(ShellExecute, OnlyOpensWithTheOpenVerbAndAnExistingFile) {
    const wchar_t* missing = L"/nonexistent/bridge/a.pdf";
    EXPECT_EQ(ShellExecuteW(0, L"print", L"/", nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_NOASSOC);
    EXPECT_EQ(ShellExecuteW(0, L"OPEN", missing, nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteW(0, L"open", missing, nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteW(0, L"open", L"a.pdf", nullptr, L"/nonexistent/bridge", SW_SHOWNORMAL),
              SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteW(0, L"open", L"", nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteW(0, L"open", nullptr, nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_FNF);
}

}  // namespace
