// The global-memory stand-in: handles from a table, lock counts, stale handles, the test
// hooks.
#include "win32/global_memory.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(GlobalMemory, HandlesAreTableValuesOfZeroFilledBlocksWithALockCount) {
    const std::uint32_t live = Win32LiveGlobalBlocks();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 100);
    EXPECT_TRUE(h >= 0x10000u && (h & 0xC0000000u) == 0) << h;  // apart from context keys
    EXPECT_EQ(GlobalSize(h), 100u);
    EXPECT_EQ(Win32LiveGlobalBlocks(), live + 1);
    auto* first = static_cast<std::uint8_t*>(GlobalLock(h));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::set<std::uint8_t>(first, first + 100), std::set<std::uint8_t>{0});
    EXPECT_EQ(GlobalLock(h), first);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalUnlock(h), TRUE);  // still locked once
    EXPECT_EQ(GlobalUnlock(h), FALSE);
    EXPECT_EQ(GlobalUnlock(h), FALSE);  // unlocking an unlocked block changes nothing
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    GlobalLock(h);
    EXPECT_EQ(GlobalFree(h), 0u);  // locked blocks are freed too
    EXPECT_EQ(Win32LiveGlobalBlocks(), live);
    for (SIZE_T bytes : {SIZE_T{0}, kGlobalMaxBlockSize + 1, SIZE_T{1} << 40})
        EXPECT_EQ(GlobalAlloc(GHND, bytes), 0u) << bytes;
    for (HGLOBAL stale : {HGLOBAL{0}, h, HGLOBAL{0x12345}, HGLOBAL{0x80001234}}) {
        EXPECT_EQ(GlobalLock(stale), nullptr);
        EXPECT_EQ(GlobalUnlock(stale), FALSE);
        EXPECT_EQ(GlobalFlags(stale) | GlobalSize(stale), 0u);
        EXPECT_EQ(GlobalFree(stale), stale);
    }
}

TEST(GlobalMemory, BytesOutAndTheirHighWaterMarkAreCounted) {
    const std::uint64_t before = Win32GlobalBytesOut();
    Win32ResetGlobalBytesPeak();
    HGLOBAL a = GlobalAlloc(GHND, 1000);
    HGLOBAL b = GlobalAlloc(GHND, 24);
    EXPECT_EQ(Win32GlobalBytesOut(), before + 1024);
    GlobalFree(a);
    GlobalFree(a);  // a stale handle frees nothing and counts nothing
    EXPECT_EQ(Win32GlobalBytesOut(), before + 24);
    EXPECT_EQ(GlobalAlloc(GHND, 0), 0u);
    EXPECT_EQ(Win32GlobalBytesPeak(), before + 1024);
    Win32ResetGlobalBytesPeak();
    EXPECT_EQ(Win32GlobalBytesPeak(), before + 24);
    GlobalFree(b);
    EXPECT_EQ(Win32GlobalBytesOut(), before);
}

TEST(GlobalMemory, AFreedHandleIsNotHandedOutAgainSoon) {
    std::set<HGLOBAL> seen;
    for (int i = 0; i < 10000; ++i) {
        HGLOBAL h = GlobalAlloc(GHND, 1);
        ASSERT_TRUE(seen.insert(h).second) << "handle reused: " << h;
        GlobalFree(h);
    }
}

TEST(GlobalMemory, TheFailureHookFailsExactlyTheNthAllocation) {
    Win32FailGlobalAllocAfter(3);
    HGLOBAL h[4];
    for (HGLOBAL& one : h)
        one = GlobalAlloc(GHND, 4);
    EXPECT_TRUE(h[0] != 0 && h[1] != 0 && h[2] == 0 && h[3] != 0);
    for (HGLOBAL one : h)
        GlobalFree(one);
    Win32FailGlobalAllocAfter(1);
    Win32FailGlobalAllocAfter(0);  // turned off again before it struck
    HGLOBAL after = GlobalAlloc(GHND, 4);
    EXPECT_NE(after, 0u);
    GlobalFree(after);
}

}  // namespace
