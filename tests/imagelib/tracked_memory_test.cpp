// The tracked allocator: zero tails, keys and their separation from global handles, and
// harmless frees.
#include "tracked_memory.h"

#include <gtest/gtest.h>

#include "win32/global_memory.h"

using namespace imagelib;

namespace {

TEST(TrackedMemory, ABlockIsZeroFilledWithAZeroTailAndOneGlobalBlock) {
    const std::uint32_t blocks = ImageLiveBlockCount();
    const std::uint32_t globals = Win32LiveGlobalBlocks();
    for (std::uint32_t n : {1u, 4084u, 4091u, 4092u, 100000u}) {
        auto* p = static_cast<std::uint8_t*>(ImageAlloc(n));
        ASSERT_NE(p, nullptr) << n;
        EXPECT_EQ(ImageBlockSize(p), n);
        // Readers may look up to five bytes past their data: those read as zero.
        for (std::uint32_t i = 0; i < n + 5; ++i)
            ASSERT_EQ(p[i], 0) << n << " at " << i;
        EXPECT_EQ(ImageLiveBlockCount(), blocks + 1);
        EXPECT_EQ(Win32LiveGlobalBlocks(), globals + 1);
        ImageFree(p);
        EXPECT_EQ(ImageLiveBlockCount(), blocks);
        EXPECT_EQ(Win32LiveGlobalBlocks(), globals);
    }
}

TEST(TrackedMemory, SizesThatCannotBeHeldGiveNull) {
    const std::uint32_t globals = Win32LiveGlobalBlocks();
    EXPECT_EQ(ImageAlloc(0), nullptr);
    EXPECT_EQ(ImageAlloc(0xFFFFFFFFu), nullptr);  // rounding to pages passes 32 bits
    EXPECT_EQ(ImageAlloc(0xFFFFF000u), nullptr);
    EXPECT_EQ(Win32LiveGlobalBlocks(), globals);
}

TEST(TrackedMemory, FreeingAnythingButALiveBlockChangesNothing) {
    auto* p = static_cast<std::uint8_t*>(ImageAlloc(64));
    ASSERT_NE(p, nullptr);
    const std::uint32_t blocks = ImageLiveBlockCount();
    int local = 0;
    ImageFree(nullptr);
    ImageFree(p + 1);  // inside the block
    ImageFree(&local);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
    ImageFree(p);
    EXPECT_EQ(ImageLiveBlockCount(), blocks - 1);
    ImageFree(p);  // twice
    EXPECT_EQ(ImageLiveBlockCount(), blocks - 1);
}

TEST(TrackedMemory, KeysCarryBit31AndNameOnlyLiveBlocks) {
    void* p = ImageAlloc(10);
    void* q = ImageAlloc(10);
    const std::uint32_t kp = ImageBlockKey(p);
    const std::uint32_t kq = ImageBlockKey(q);
    EXPECT_NE(kp & 0x80000000u, 0u);
    EXPECT_NE(kq & 0x80000000u, 0u);
    EXPECT_NE(kp, kq);
    EXPECT_EQ(ImageBlockFromKey(kp), p);
    EXPECT_EQ(ImageIsLiveContext(kq), 1);
    EXPECT_EQ(ImageBlockKey(static_cast<std::uint8_t*>(p) + 1), 0u);
    ImageFree(p);
    EXPECT_EQ(ImageIsLiveContext(kp), 0);
    EXPECT_EQ(ImageBlockFromKey(kp), nullptr);
    // The freed key is not handed out again to the next block.
    void* r = ImageAlloc(10);
    EXPECT_NE(ImageBlockKey(r), kp);
    ImageFree(q);
    ImageFree(r);
}

TEST(TrackedMemory, NoGlobalHandleIsEverALiveKey) {
    void* p = ImageAlloc(10);
    HGLOBAL h = GlobalAlloc(GHND, 10);
    EXPECT_EQ(ImageIsLiveContext(h), 0);
    EXPECT_EQ(ImageBlockFromKey(h), nullptr);
    GlobalFree(h);
    ImageFree(p);
}

TEST(TrackedMemory, AFailedGlobalAllocationGivesNullAndLeavesNothing) {
    const std::uint32_t blocks = ImageLiveBlockCount();
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(ImageAlloc(32), nullptr);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
}

TEST(TrackedMemory, HugeCopyAndSetCoverEveryByteAcrossPieceBoundaries) {
    const std::int32_t n = 65535 * 2 + 7;
    auto* src = static_cast<std::uint8_t*>(ImageAlloc(n));
    auto* dst = static_cast<std::uint8_t*>(ImageAlloc(n));
    for (std::int32_t i = 0; i < n; ++i)
        src[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(HugeMemCopy(dst, src, n), dst);
    for (std::int32_t i = 0; i < n; ++i)
        ASSERT_EQ(dst[i], src[i]) << i;
    EXPECT_EQ(HugeMemSet(dst, 0xAB, n - 1), dst);
    EXPECT_EQ(dst[n - 2], 0xAB);
    EXPECT_EQ(dst[n - 1], src[n - 1]);
    HugeMemCopy(dst, src, -5);  // nothing
    HugeMemSet(dst, 0, 0);
    EXPECT_EQ(dst[0], 0xAB);
    ImageFree(src);
    ImageFree(dst);
}

}  // namespace
