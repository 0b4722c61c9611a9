// The global-memory stand-in: handles from a table, lock counts, stale handles, and the
// test hooks that other suites rely on.
#include "win32/global_memory.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(GlobalMemory, BlocksAreZeroFilledAndHandlesAreTableValues) {
    const std::uint32_t live = Win32LiveGlobalBlocks();
    HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, 0u);
    EXPECT_GE(h, 0x10000u);          // never fits in 16 bits
    EXPECT_EQ(h & 0xC0000000u, 0u);  // bits 30 and 31 never set
    EXPECT_EQ(GlobalSize(h), 100u);
    EXPECT_EQ(Win32LiveGlobalBlocks(), live + 1);
    auto* p = static_cast<std::uint8_t*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(GlobalFree(h), 0u);
    EXPECT_EQ(Win32LiveGlobalBlocks(), live);
}

TEST(GlobalMemory, LockCountRisesAndFallsAndALockedBlockCanBeFreed) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    void* first = GlobalLock(h);
    void* second = GlobalLock(h);
    EXPECT_EQ(first, second);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalUnlock(h), TRUE);  // still locked once
    EXPECT_EQ(GlobalUnlock(h), FALSE);
    EXPECT_EQ(GlobalUnlock(h), FALSE);  // unlocking an unlocked block changes nothing
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    GlobalLock(h);
    EXPECT_EQ(GlobalFree(h), 0u);
}

TEST(GlobalMemory, ZeroUnknownAndFreedHandlesAreHarmless) {
    HGLOBAL h = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(h), 0u);
    for (HGLOBAL stale : {HGLOBAL{0}, h, HGLOBAL{0x12345}, HGLOBAL{0x80001234}}) {
        EXPECT_EQ(GlobalLock(stale), nullptr);
        EXPECT_EQ(GlobalUnlock(stale), FALSE);
        EXPECT_EQ(GlobalFlags(stale), 0u);
        EXPECT_EQ(GlobalSize(stale), 0u);
        EXPECT_EQ(GlobalFree(stale), stale);
    }
}

TEST(GlobalMemory, AFreedHandleIsNotHandedOutAgainSoon) {
    std::set<HGLOBAL> seen;
    for (int i = 0; i < 10000; ++i) {
        HGLOBAL h = GlobalAlloc(GHND, 1);
        ASSERT_NE(h, 0u);
        EXPECT_TRUE(seen.insert(h).second) << "handle reused: " << h;
        GlobalFree(h);
    }
}

TEST(GlobalMemory, SizesOutsideTheLimitsGiveNoBlock) {
    EXPECT_EQ(GlobalAlloc(GHND, 0), 0u);
    EXPECT_EQ(GlobalAlloc(GHND, kGlobalMaxBlockSize + 1), 0u);
    EXPECT_EQ(GlobalAlloc(GHND, SIZE_T{1} << 40), 0u);
}

TEST(GlobalMemory, TheFailureHookFailsExactlyTheNthAllocation) {
    Win32FailGlobalAllocAfter(3);
    HGLOBAL first = GlobalAlloc(GHND, 4);
    HGLOBAL second = GlobalAlloc(GHND, 4);
    HGLOBAL third = GlobalAlloc(GHND, 4);
    HGLOBAL fourth = GlobalAlloc(GHND, 4);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_EQ(third, 0u);
    EXPECT_NE(fourth, 0u);
    for (HGLOBAL h : {first, second, fourth})
        GlobalFree(h);

    Win32FailGlobalAllocAfter(1);
    Win32FailGlobalAllocAfter(0);  // turned off again before it struck
    HGLOBAL h = GlobalAlloc(GHND, 4);
    EXPECT_NE(h, 0u);
    GlobalFree(h);
}

}  // namespace
