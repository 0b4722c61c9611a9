// Module resources and the screen device context of the platform layer.
#include "win32/resources.h"

#include <gtest/gtest.h>

#include "win32/gdi.h"

namespace {

constexpr HMODULE kModule = 77;
const std::uint8_t kBytes[5] = {1, 2, 3, 4, 5};

TEST(Resources, FoundByStringWithoutRegardToCaseAndByIntegerId) {
    ASSERT_EQ(Win32RegisterResource(kModule, L"Picture", L"Logo", kBytes, 5), TRUE);
    ASSERT_EQ(Win32RegisterResource(kModule, RT_RCDATA(), MAKEINTRESOURCEW(101), kBytes + 1, 3),
              TRUE);

    HRSRC byName = FindResourceW(kModule, L"LOGO", L"picture");
    ASSERT_NE(byName, 0u);
    EXPECT_EQ(SizeofResource(kModule, byName), 5u);
    HGLOBAL loaded = LoadResource(kModule, byName);
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(LockResource(loaded), kBytes);
    EXPECT_EQ(FreeResource(loaded), TRUE);
    EXPECT_EQ(LockResource(loaded), nullptr);

    HRSRC byId = FindResourceW(kModule, MAKEINTRESOURCEW(101), RT_RCDATA());
    ASSERT_NE(byId, 0u);
    EXPECT_EQ(SizeofResource(kModule, byId), 3u);
    HGLOBAL second = LoadResource(kModule, byId);
    EXPECT_EQ(LockResource(second), kBytes + 1);
    FreeResource(second);

    Win32UnregisterModuleResources(kModule);
}

TEST(Resources, UnknownNamesModulesAndHandlesFindNothing) {
    ASSERT_EQ(Win32RegisterResource(kModule, L"T", L"A", kBytes, 5), TRUE);
    EXPECT_EQ(FindResourceW(kModule, L"B", L"T"), 0u);
    EXPECT_EQ(FindResourceW(kModule, L"A", L"U"), 0u);
    EXPECT_EQ(FindResourceW(kModule + 1, L"A", L"T"), 0u);
    EXPECT_EQ(FindResourceW(kModule, MAKEINTRESOURCEW(1), L"T"), 0u);
    EXPECT_EQ(FindResourceW(kModule, nullptr, L"T"), 0u);
    HRSRC found = FindResourceW(kModule, L"a", L"t");
    EXPECT_EQ(LoadResource(kModule + 1, found), 0u);  // found in another module
    EXPECT_EQ(LoadResource(kModule, 12345), 0u);
    EXPECT_EQ(SizeofResource(kModule, 12345), 0u);
    EXPECT_EQ(LockResource(0), nullptr);
    EXPECT_EQ(FreeResource(999), FALSE);
    EXPECT_EQ(Win32RegisterResource(kModule, L"T", L"N", nullptr, 0), FALSE);

    Win32UnregisterModuleResources(kModule);
    EXPECT_EQ(FindResourceW(kModule, L"A", L"T"), 0u);
}

TEST(Resources, RegisteringAgainReplacesTheBytes) {
    Win32RegisterResource(kModule, L"T", L"A", kBytes, 5);
    Win32RegisterResource(kModule, L"t", L"a", kBytes + 2, 2);
    HRSRC found = FindResourceW(kModule, L"A", L"T");
    EXPECT_EQ(SizeofResource(kModule, found), 2u);
    HGLOBAL loaded = LoadResource(kModule, found);
    EXPECT_EQ(LockResource(loaded), kBytes + 2);
    FreeResource(loaded);
    Win32UnregisterModuleResources(kModule);
}

TEST(ScreenDc, DefaultsToATrueColourScreenAndTakesTheTestSettings) {
    const std::uint32_t live = Win32LiveDeviceContexts();
    HDC dc = GetDC(0);
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(Win32LiveDeviceContexts(), live + 1);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);

    Win32SetScreenFormat(8, TRUE);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, RC_PALETTE);
    Win32SetScreenFormat(4, FALSE);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 4);

    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(ReleaseDC(0, dc), 0);
    EXPECT_EQ(Win32LiveDeviceContexts(), live);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);  // released
    EXPECT_EQ(GetDC(5), 0u);                     // only the screen has a context
    Win32SetScreenFormat(32, FALSE);
}

}  // namespace
