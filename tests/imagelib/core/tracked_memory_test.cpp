// The tracked allocator: zero-filled blocks with a zero tail, one global block each, and
// keys that never look like global handles.
#include "core/tracked_memory.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "win32/global_memory.h"

using namespace imagelib;

namespace {

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
    // Sizes beyond what one global block holds, and a failing global allocation.
    for (std::uint32_t n : {0u, 0xFFFFFFFFu, 0xFFFFF000u})
        EXPECT_EQ(ImageAlloc(n), nullptr) << n;
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(ImageAlloc(32), nullptr);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
    EXPECT_EQ(Win32LiveGlobalBlocks(), globals);
}

TEST(TrackedMemory, ABlockCostsItsSizeAndTheBytesOutAreCounted) {
    const std::uint64_t before = ImageLiveBytes();
    const std::uint64_t globalBefore = Win32GlobalBytesOut();
    ImageResetPeakBytes();
    std::vector<void*> blocks;
    for (int i = 0; i < 1000; ++i)
        blocks.push_back(ImageAlloc(1));
    EXPECT_EQ(ImageLiveBytes(), before + 1000);
    // A one-byte block takes its header and zero tail, not a page.
    EXPECT_LT(Win32GlobalBytesOut() - globalBefore, 1000u * 64);
    void* big = ImageAlloc(300000);
    EXPECT_EQ(ImageLiveBytes(), before + 301000);
    for (void* p : blocks)
        ImageFree(p);
    ImageFree(big);
    EXPECT_EQ(ImageLiveBytes(), before);
    EXPECT_EQ(Win32GlobalBytesOut(), globalBefore);
    // The high-water mark stays until it is reset.
    EXPECT_EQ(ImagePeakBytes(), before + 301000);
    ImageResetPeakBytes();
    EXPECT_EQ(ImagePeakBytes(), before);
}

TEST(TrackedMemory, KeysCarryBit31AndNameOnlyLiveBlocks) {
    auto* p = static_cast<std::uint8_t*>(ImageAlloc(10));
    void* q = ImageAlloc(10);
    const std::uint32_t kp = ImageBlockKey(p);
    EXPECT_NE(kp & 0x80000000u, 0u);
    EXPECT_NE(ImageBlockKey(q) & 0x80000000u, 0u);
    EXPECT_NE(kp, ImageBlockKey(q));
    EXPECT_EQ(ImageBlockFromKey(kp), p);
    EXPECT_EQ(ImageIsLiveContext(kp), 0);  // a block, but no context
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

TEST(TrackedMemory, OnlyContextBlocksAreLiveContexts) {
    void* ctx = ImageAllocContext(100);
    void* other = ImageAlloc(100);
    const std::uint32_t kc = ImageBlockKey(ctx);
    EXPECT_NE(kc, 0u);
    EXPECT_EQ(ImageBlockSize(ctx), 100u);
    EXPECT_EQ(ImageIsLiveContext(kc), 1);
    EXPECT_EQ(ImageIsLiveContext(ImageBlockKey(other)), 0);
    ImageFree(ctx);
    EXPECT_EQ(ImageIsLiveContext(kc), 0);
    ImageFree(other);
}

}  // namespace
