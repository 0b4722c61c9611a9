// The GIF decoder's parts on their own: the code reader at sub-block edges and at the
// data's end, the interlaced row order, and the key colours of full tables.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/tracked_memory.h"
#include "formats/gif/gif_keys.h"
#include "formats/gif/gif_lzw.h"

namespace {

using namespace imagelib;

// A memory stream over bytes (kept alive by the caller).
ImageMemStream StreamOver(std::vector<std::uint8_t>& bytes) {
    return ImageMemStream{bytes.data(), bytes.data(), std::int32_t(bytes.size())};
}

TEST(GifCodeReader, CodesSpanSubBlocksAndACutCodeIsNone) {
    // Eight codes of 3 bits (1..7, then 0), least significant bit first, in three one-byte
    // sub-blocks: codes straddle the sub-blocks' edges.
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= std::uint64_t((i + 1) & 7) << (3 * i);
    std::vector<std::uint8_t> data = {1, std::uint8_t(bits),       1, std::uint8_t(bits >> 8),
                                      1, std::uint8_t(bits >> 16), 0, 0x3B};
    ImageMemStream s = StreamOver(data);
    GifCodeReader r;
    GifStartReader(r, &s, 2);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(GifReadCode(r), (i + 1) & 7) << i;
    EXPECT_EQ(GifReadCode(r), kLzwNoCode);
    EXPECT_EQ(GifReadCode(r), kLzwNoCode);  // and it stays ended: the trailer is not data
}

TEST(GifCodeReader, ASubBlockCutShortEndsTheData) {
    std::vector<std::uint8_t> data = {2, 0xFF, 0xFF, 5, 0x12};
    ImageMemStream s = StreamOver(data);
    GifCodeReader r;
    GifStartReader(r, &s, 7);  // 8-bit codes
    EXPECT_EQ(GifReadCode(r), 0xFF);
    EXPECT_EQ(GifReadCode(r), 0xFF);
    EXPECT_EQ(GifReadCode(r), kLzwNoCode);
}

std::vector<int> RowOrder(int height) {
    std::vector<std::uint8_t> rows(std::size_t(height) * 4, 0xEE);
    GifPixelSink sink{};
    GifStartSink(sink, rows.data(), 4, 1, height, true);
    for (int i = 0; i < height + 3; ++i)  // the extra pixels are dropped
        GifPutPixel(std::uint8_t(i), sink);
    std::vector<int> order(height);
    for (int y = 0; y < height; ++y)  // rows bottom-up in memory
        order[rows[std::size_t(height - 1 - y) * 4]] = y;
    return order;
}

TEST(GifPixelSink, InterlacedRowsComeInPassOrder) {
    EXPECT_EQ(RowOrder(1), (std::vector<int>{0}));
    EXPECT_EQ(RowOrder(2), (std::vector<int>{0, 1}));
    EXPECT_EQ(RowOrder(3), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(RowOrder(9), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7}));
}

TEST(GifPixelSink, AnEmptyImageTakesNoPixels) {
    std::uint8_t guard[8] = {};
    GifPixelSink sink{};
    GifStartSink(sink, guard, 4, 0, 2, false);
    EXPECT_TRUE(GifSinkComplete(sink));
    GifPutPixel(9, sink);
    GifStartSink(sink, guard, 4, 3, 0, true);
    GifPutPixel(9, sink);
    EXPECT_EQ(std::memcmp(guard, std::vector<std::uint8_t>(8, 0).data(), 8), 0);
}

TEST(GifKeys, AFullTableWithoutBlackOrWhiteUsesTheTransparentEntry) {
    for (std::uint8_t t : {0, 5}) {
        PaletteEntry3 p[256];
        for (int i = 0; i < 256; ++i)
            p[i] = PaletteEntry3{std::uint8_t(1 + i % 250), 2, 3};
        const GifKeyChoice k = GifChooseKeys(p, 256, t);
        EXPECT_EQ(k.imageKey, t);
        EXPECT_EQ(k.maskKey, t == 0 ? 1 : 0);
        EXPECT_TRUE(k.noWhite);
        EXPECT_EQ(p[t].red + p[t].green + p[t].blue, 0);
    }
}

TEST(GifKeys, TwoEntriesBlackWhiteWithWhiteTransparent) {
    PaletteEntry3 p[256];
    std::memset(p, 128, sizeof p);
    p[0] = {0, 0, 0};
    p[1] = {255, 255, 255};
    const GifKeyChoice k = GifChooseKeys(p, 2, 1);
    EXPECT_EQ(k.imageKey, 0);
    EXPECT_EQ(k.maskKey, 2);
    EXPECT_FALSE(k.noWhite);
    EXPECT_EQ(p[2].blue, 255);
    EXPECT_EQ(p[1].red, 255);
    EXPECT_EQ(p[1].green, 255);
    EXPECT_EQ(p[1].blue, 254);
}

}  // namespace
