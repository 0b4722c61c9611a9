// The global-memory stand-in (handles from a table, lock counts, stale handles, the test
// hooks) and the tracked allocator above it (zero tails, keys apart from global handles).
#include <gtest/gtest.h>

#include <set>

#include "core/tracked_memory.h"
#include "win32/global_memory.h"

using namespace imagelib;

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
    for (HGLOBAL stale : {HGLOBAL{0}, h, HGLOBAL{0x12345}, HGLOBAL{0x80001234}}) {
        EXPECT_EQ(GlobalLock(stale), nullptr);
        EXPECT_EQ(GlobalUnlock(stale), FALSE);
        EXPECT_EQ(GlobalFlags(stale) | GlobalSize(stale), 0u);
        EXPECT_EQ(GlobalFree(stale), stale);
    }
    for (SIZE_T bytes : {SIZE_T{0}, kGlobalMaxBlockSize + 1, SIZE_T{1} << 40})
        EXPECT_EQ(GlobalAlloc(GHND, bytes), 0u) << bytes;
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

TEST(TrackedMemory, ABlockIsZeroFilledWithAZeroTailInOneGlobalBlock) {
    const std::uint32_t blocks = ImageLiveBlockCount();
    const std::uint32_t globals = Win32LiveGlobalBlocks();
    for (std::uint32_t n : {1u, 4084u, 4091u, 4092u, 100000u}) {
        auto* p = static_cast<std::uint8_t*>(ImageAlloc(n));
        ASSERT_NE(p, nullptr) << n;
        EXPECT_EQ(ImageBlockSize(p), n);
        // Readers may look up to five bytes past their data: those read as zero.
        EXPECT_EQ(std::set<std::uint8_t>(p, p + n + 5), std::set<std::uint8_t>{0}) << n;
        EXPECT_EQ(ImageLiveBlockCount(), blocks + 1);
        EXPECT_EQ(Win32LiveGlobalBlocks(), globals + 1);
        ImageFree(p);
    }
    // Sizes whose rounding passes 32 bits, and a failing global allocation.
    for (std::uint32_t n : {0u, 0xFFFFFFFFu, 0xFFFFF000u})
        EXPECT_EQ(ImageAlloc(n), nullptr) << n;
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(ImageAlloc(32), nullptr);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
    EXPECT_EQ(Win32LiveGlobalBlocks(), globals);
}

TEST(TrackedMemory, KeysCarryBit31AndNameOnlyLiveBlocks) {
    auto* p = static_cast<std::uint8_t*>(ImageAlloc(10));
    void* q = ImageAlloc(10);
    const std::uint32_t kp = ImageBlockKey(p);
    EXPECT_NE(kp & 0x80000000u, 0u);
    EXPECT_NE(ImageBlockKey(q) & 0x80000000u, 0u);
    EXPECT_NE(kp, ImageBlockKey(q));
    EXPECT_EQ(ImageBlockFromKey(kp), p);
    EXPECT_EQ(ImageIsLiveContext(kp), 1);
    EXPECT_EQ(ImageBlockKey(p + 1), 0u);
    HGLOBAL h = GlobalAlloc(GHND, 10);
    EXPECT_EQ(ImageIsLiveContext(h), 0);  // no global handle is ever a live key
    EXPECT_EQ(ImageBlockFromKey(h), nullptr);
    GlobalFree(h);
    // Freeing anything but a live block changes nothing; a freed key names nothing and
    // is not handed out again to the next block.
    const std::uint32_t blocks = ImageLiveBlockCount();
    int local = 0;
    ImageFree(nullptr);
    ImageFree(p + 1);
    ImageFree(&local);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
    ImageFree(p);
    ImageFree(p);
    EXPECT_EQ(ImageLiveBlockCount(), blocks - 1);
    EXPECT_EQ(ImageIsLiveContext(kp), 0);
    EXPECT_EQ(ImageBlockFromKey(kp), nullptr);
    void* r = ImageAlloc(10);
    EXPECT_NE(ImageBlockKey(r), kp);
    ImageFree(q);
    ImageFree(r);
}

}  // namespace
