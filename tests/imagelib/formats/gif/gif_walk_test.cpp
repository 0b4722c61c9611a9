// The GIF block walk: what it tells of each kind of block and of a file cut short, and the
// memory of loads of files built to make a walk that keeps something per block or
// sub-block expensive: a load takes at most 16 times its input and 32 MiB beyond its
// result.
#include "formats/gif/gif_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

using namespace imagelib;
using Bytes = std::vector<std::uint8_t>;

// Signature, a 4 x 4 screen and a global table of two entries.
Bytes Head() {
    return {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
}

// A 4 x 4 image at (1, 2): minimum code size 2 and one sub-block of codes.
Bytes Image() {
    return {0x2C, 1, 0, 2, 0, 4, 0, 4, 0, 0, 2, 2, 0x8C, 0x05, 0};
}

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

ImageMemStream StreamOver(Bytes& bytes) {
    return ImageMemStream{bytes.data(), bytes.data(), std::int32_t(bytes.size())};
}

TEST(GifWalker, EachKindOfBlockIsToldByWhereItLiesAndTheBytesItsUsersRead) {
    Bytes gif = Head();
    const std::size_t control = gif.size();
    Append(gif, {0x21, 0xF9, 4, 0x0D, 0x34, 0x12, 7, 0});
    const std::size_t loop = gif.size();
    Append(gif, {0x21, 0xFF, 3, 'A', 'B', 'C', 2, 1, 9, 1, 0, 0});
    const std::size_t stray = gif.size();
    Append(gif, {0x99});
    const std::size_t image = gif.size();
    Append(gif, Image());
    Append(gif, {0x3B});
    ImageMemStream s = StreamOver(gif);
    GifWalker w(&s);
    GifHead head;
    ASSERT_EQ(w.ReadHead(&head), 0);
    EXPECT_EQ(head.screenWidth, 4);
    EXPECT_TRUE(head.hasTable);
    EXPECT_EQ(head.tableBits, 1);
    EXPECT_EQ(head.table, 13);
    EXPECT_EQ(head.end, 19);

    GifBlock b;
    ASSERT_EQ(w.Next(&b), 0);
    EXPECT_EQ(b.start, std::int64_t(control));
    EXPECT_EQ(b.end, std::int64_t(loop));
    ASSERT_TRUE(GifIsControl(b));
    const GifControl c = GifControlOf(b);
    EXPECT_TRUE(c.transparent);
    EXPECT_EQ(c.delay, 0x1234);
    EXPECT_EQ(c.transparentIndex, 7);

    // A second sub-block of two bytes: the rest of the kept bytes read as zero.
    ASSERT_EQ(w.Next(&b), 0);
    EXPECT_EQ(b.label, 0xFF);
    EXPECT_EQ(b.subBlocks, 3);
    EXPECT_EQ(b.second[0], 1);
    EXPECT_EQ(b.second[1], 9);
    EXPECT_EQ(b.second[2], 0);
    EXPECT_EQ(b.end, std::int64_t(stray));

    ASSERT_EQ(w.Next(&b), 0);
    EXPECT_EQ(b.kind, 0x99);
    EXPECT_EQ(b.end, std::int64_t(image));

    ASSERT_EQ(w.Next(&b), 0);
    EXPECT_EQ(b.kind, 0x2C);
    EXPECT_EQ(b.left, 1);
    EXPECT_EQ(b.top, 2);
    EXPECT_EQ(b.tableBits, 0);
    EXPECT_EQ(b.data, std::int64_t(image + 10));
    EXPECT_EQ(b.minCodeSize, 2);
    EXPECT_EQ(b.subBlocks, 1);
    ASSERT_EQ(w.Next(&b), 0);
    EXPECT_EQ(b.kind, 0x3B);
    EXPECT_EQ(w.Next(&b), 7);
    EXPECT_EQ(b.start, -1);
}

TEST(GifWalker, AnImageWalkedWithoutItsDataLeavesTheCursorAtItsCodeSize) {
    Bytes gif = Head();
    Append(gif, Image());
    ImageMemStream s = StreamOver(gif);
    GifWalker w(&s);
    GifHead head;
    ASSERT_EQ(w.ReadHead(&head), 0);
    GifBlock b;
    ASSERT_EQ(w.Next(&b, false), 0);
    EXPECT_EQ(b.end, b.data);
    EXPECT_EQ(s.cursor - s.base, b.data);
    EXPECT_EQ(*s.cursor, 2);
}

TEST(GifWalker, ABlockCutShortIsToldFromNoBlockAtAll) {
    Bytes whole = Head();
    Append(whole, Image());
    for (std::size_t cut = 20; cut < whole.size(); ++cut) {
        Bytes gif(whole.begin(), whole.begin() + cut);
        ImageMemStream s = StreamOver(gif);
        GifWalker w(&s);
        GifHead head;
        ASSERT_EQ(w.ReadHead(&head), 0);
        GifBlock b;
        EXPECT_EQ(w.Next(&b), 7) << cut;
        EXPECT_EQ(b.kind, 0x2C) << cut;
        EXPECT_EQ(b.start, 19) << cut;
    }
    Bytes head = Head();
    head.pop_back();
    ImageMemStream s = StreamOver(head);
    GifWalker w(&s);
    GifHead h;
    EXPECT_EQ(w.ReadHead(&h), 7);
    head[3] = '7';
    head.push_back(0);
    s = StreamOver(head);
    EXPECT_EQ(w.ReadHead(&h), 5);
}

// ---------------------------------------------------------------------------------------
// Memory of loads.

constexpr std::uint64_t kMiB = 1024 * 1024;

std::uint64_t Budget(std::size_t input) {
    return 16 * std::uint64_t(input) + 32 * kMiB;
}

// The global blocks the load hands over: its result, the records and every frame's
// bitmap and palette.
std::uint64_t ResultBytes(std::uint32_t a, std::uint32_t b, std::uint32_t list) {
    std::uint64_t bytes = GlobalSize(a) + GlobalSize(b) + GlobalSize(list);
    if (list == 0)
        return bytes;
    const auto* records = static_cast<const GifAnimRecord*>(GlobalLock(list));
    for (std::size_t i = 0; records[i].kind != 0; ++i)
        bytes += GlobalSize(records[i].dib) + GlobalSize(records[i].palette);
    GlobalUnlock(list);
    return bytes;
}

void FreeAll(std::uint32_t* a, std::uint32_t* b, std::uint32_t list) {
    if (list != 0) {
        const auto* records = static_cast<const GifAnimRecord*>(GlobalLock(list));
        for (std::size_t i = 0; records[i].kind != 0; ++i) {
            GlobalFree(records[i].dib);
            GlobalFree(records[i].palette);
        }
        GlobalUnlock(list);
        GlobalFree(list);
    }
    ImageLoadCleanup(a, b);
}

// The peaks of an animation load and of a single-image load of bytes, beyond what was out
// before and what they hand over.
void ExpectWithinBudget(const Bytes& gif, const std::string& what) {
    SCOPED_TRACE(what + ", " + std::to_string(gif.size()) + " bytes");
    const fixture::LiveBlocks live;
    for (const bool animation : {true, false}) {
        const std::uint64_t globalBefore = Win32GlobalBytesOut();
        const std::uint64_t trackedBefore = ImageLiveBytes();
        Win32ResetGlobalBytesPeak();
        ImageResetPeakBytes();
        std::uint32_t a = 0, b = 0, list = 0, flags = IMAGELIB_IMAGE_AND_MASK;
        const int r =
            animation
                ? ImageLoadGIFAnimation(nullptr, gif.data(), std::uint32_t(gif.size()), &a, &b,
                                        &list, &flags)
                : ImageLoadFile(nullptr, gif.data(), std::uint32_t(gif.size()), &a, &b, &flags);
        ASSERT_EQ(r, IMAGELIB_FINISHED) << animation;
        const std::uint64_t global = Win32GlobalBytesPeak() - globalBefore;
        const std::uint64_t tracked = ImagePeakBytes() - trackedBefore;
        const std::uint64_t result = ResultBytes(a, b, list);
        FreeAll(&a, &b, list);
        EXPECT_LE(global - result, Budget(gif.size())) << animation;
        EXPECT_LE(tracked, Budget(gif.size())) << animation;
    }
    EXPECT_EQ(live.Leaked(), "");
}

TEST(GifLoadMemory, ACommentOfOneByteSubBlocksCostsNothingPerSubBlock) {
    for (const std::size_t subBlocks : {std::size_t{50000}, std::size_t{1500000}}) {
        Bytes gif = Head();
        Append(gif, {0x21, 0xFE});
        for (std::size_t i = 0; i < subBlocks; ++i)
            Append(gif, {1, 'x'});
        Append(gif, {0});
        Append(gif, Image());
        Append(gif, {0x3B});
        ExpectWithinBudget(gif, "a comment of " + std::to_string(subBlocks) + " sub-blocks");
    }
}

TEST(GifLoadMemory, ControlsExtensionsAndStrayBytesCostNothingPerBlock) {
    Bytes gif = Head();
    // Graphic controls, each making a record, and application extensions of one-byte
    // sub-blocks, a loop count among them.
    for (int i = 0; i < 100000; ++i)
        Append(gif, {0x21, 0xF9, 4, 1, 0, 0, 1, 0});
    for (int i = 0; i < 1000; ++i) {
        Append(gif, {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'});
        for (int k = 0; k < 1000; ++k)
            Append(gif, {1, 1});
        Append(gif, {0});
    }
    // Bytes where a block should begin, each skipped on its own.
    gif.insert(gif.end(), 1000000, 0x00);
    Append(gif, Image());
    Append(gif, {0x3B});
    ExpectWithinBudget(gif, "controls, applications and stray bytes");
}

}  // namespace
