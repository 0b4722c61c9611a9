// Module resources and the screen device context, where the loads through the exports do
// not reach them: unknown and stale handles, replacing a resource, releasing a context.
#include "win32/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "win32/gdi.h"

namespace {

TEST(Resources, UnknownAndStaleHandlesFindNothingAndRegisteringAgainReplaces) {
    constexpr HMODULE kModule = 77;
    const std::uint8_t bytes[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"A", bytes, 5));
    EXPECT_EQ(FindResourceW(kModule + 1, L"A", L"T") | FindResourceW(kModule, L"A", L"U") |
                  FindResourceW(kModule, nullptr, L"T"),
              0u);
    EXPECT_EQ(LoadResource(kModule + 1, FindResourceW(kModule, L"a", L"t")), 0u);
    EXPECT_EQ(LoadResource(kModule, 12345) | SizeofResource(kModule, 12345), 0u);
    EXPECT_EQ(Win32RegisterResource(kModule, L"T", L"N", nullptr, 0), FALSE);
    ASSERT_TRUE(Win32RegisterResource(kModule, L"t", L"a", bytes + 2, 2));
    const HRSRC found = FindResourceW(kModule, L"A", L"T");
    EXPECT_EQ(SizeofResource(kModule, found), 2u);
    const HGLOBAL loaded = LoadResource(kModule, found);
    ASSERT_NE(LockResource(loaded), nullptr);
    EXPECT_EQ(std::memcmp(LockResource(loaded), bytes + 2, 2), 0);
    EXPECT_EQ(FreeResource(loaded), TRUE);
    EXPECT_EQ(LockResource(loaded), nullptr);
    EXPECT_EQ(FreeResource(loaded), FALSE);
    Win32UnregisterModuleResources(kModule);
    EXPECT_EQ(FindResourceW(kModule, L"A", L"T"), 0u);
}

TEST(Resources, LoadedBytesOutliveTheCallersBufferAndTheRegistration) {
    constexpr HMODULE kModule = 78;
    auto bytes = std::make_unique<std::uint8_t[]>(3);
    bytes[0] = 7, bytes[1] = 8, bytes[2] = 9;
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"A", bytes.get(), 3));
    bytes.reset();  // the registration holds its own copy
    const HGLOBAL first = LoadResource(kModule, FindResourceW(kModule, L"A", L"T"));
    const std::uint8_t replacement[1] = {42};
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"A", replacement, 1));
    const HGLOBAL second = LoadResource(kModule, FindResourceW(kModule, L"A", L"T"));
    Win32UnregisterModuleResources(kModule);
    EXPECT_EQ(FindResourceW(kModule, L"A", L"T"), 0u);
    // Each handle keeps the bytes it was loaded with until it is freed.
    const auto* a = static_cast<const std::uint8_t*>(LockResource(first));
    const auto* b = static_cast<const std::uint8_t*>(LockResource(second));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(a, a + 3), (std::vector<std::uint8_t>{7, 8, 9}));
    EXPECT_EQ(b[0], 42);
    EXPECT_EQ(FreeResource(first), TRUE);
    EXPECT_EQ(FreeResource(second), TRUE);
    EXPECT_EQ(LockResource(first), nullptr);
}

TEST(Resources, AFindHandleKeepsItsRegistrationsSizeAndBytesWhenRegisteredAgain) {
    constexpr HMODULE kModule = 79;
    std::vector<std::uint8_t> small(16, 5);
    std::vector<std::uint8_t> large(4096, 6);
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"A", small.data(), 16));
    const HRSRC first = FindResourceW(kModule, L"A", L"T");
    const HGLOBAL early = LoadResource(kModule, first);
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"A", large.data(), 4096));
    const HGLOBAL late = LoadResource(kModule, first);
    // The size and both loads are the first registration's: reading the reported size from
    // either stays inside the bytes (the sanitizer build checks each byte read).
    ASSERT_EQ(SizeofResource(kModule, first), 16u);
    for (HGLOBAL loaded : {early, late}) {
        const auto* p = static_cast<const std::uint8_t*>(LockResource(loaded));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::vector<std::uint8_t>(p, p + SizeofResource(kModule, first)), small);
    }
    // A new find names the new registration, apart from the old handle.
    const HRSRC second = FindResourceW(kModule, L"A", L"T");
    EXPECT_NE(second, first);
    EXPECT_EQ(FindResourceW(kModule, L"a", L"t"), second);
    EXPECT_EQ(SizeofResource(kModule, second), 4096u);
    const HGLOBAL fresh = LoadResource(kModule, second);
    const auto* p = static_cast<const std::uint8_t*>(LockResource(fresh));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(p, p + 4096), large);
    // Gone with the module: found handles name nothing, loaded ones keep their bytes.
    Win32UnregisterModuleResources(kModule);
    EXPECT_EQ(SizeofResource(kModule, first) | SizeofResource(kModule, second), 0u);
    EXPECT_EQ(LoadResource(kModule, first) | LoadResource(kModule, second), 0u);
    EXPECT_EQ(static_cast<const std::uint8_t*>(LockResource(early))[15], 5);
    for (HGLOBAL loaded : {early, late, fresh})
        EXPECT_EQ(FreeResource(loaded), TRUE);
}

TEST(ScreenDc, AReleasedContextAnswersNothing) {
    const std::uint32_t live = Win32LiveDeviceContexts();
    HDC dc = GetDC(0);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);  // a true-colour screen unless a test says
    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(ReleaseDC(0, dc), 0);
    EXPECT_EQ(Win32LiveDeviceContexts(), live);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
    EXPECT_EQ(GetDC(5), 0u);  // only the screen has a context
}

}  // namespace
