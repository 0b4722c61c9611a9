// The GIF decoder's parts on their own: the code reader at sub-block edges and at the
// data's end, the interlaced row order, strings against a plain table of whole strings,
// and the key colours of full tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
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

// A random code stream with its pixels, decoded by a plain table of whole strings: the
// first code after the clear code is a pixel, every later one a pixel, an entry or the
// next free slot, with one more clear code halfway.
struct CodeStream {
    std::vector<std::uint8_t> data;  // sub-blocks and the terminator
    std::vector<std::uint8_t> pixels;
};

CodeStream RandomCodes(int minCodeSize, int codeCount, std::uint32_t seed) {
    std::mt19937 random(seed);
    const std::uint32_t clear = 1u << minCodeSize;
    std::vector<std::uint8_t> packed;
    std::uint64_t bits = 0;
    int bitCount = 0;
    int width = minCodeSize + 1;
    const auto emit = [&](std::uint32_t code) {
        bits |= std::uint64_t(code) << bitCount;
        for (bitCount += width; bitCount >= 8; bitCount -= 8, bits >>= 8)
            packed.push_back(std::uint8_t(bits));
    };
    CodeStream out;
    std::vector<std::vector<std::uint8_t>> table;
    std::uint32_t old = 0;
    for (int k = 0; k < codeCount; ++k) {
        if (k == 0 || k == codeCount / 2) {
            emit(clear);
            width = minCodeSize + 1;
            table.assign(clear + 2, {});
            for (std::uint32_t i = 0; i < clear; ++i)
                table[i] = {std::uint8_t(i)};
            old = random() % clear;
            emit(old);
            out.pixels.push_back(std::uint8_t(old));
            continue;
        }
        const std::uint32_t next = std::uint32_t(table.size());
        if (next >= 4096)
            break;
        std::uint32_t code = random() % (next + 1 - 2);  // no clear or end code
        if (code >= clear)
            code += 2;
        emit(code);
        std::vector<std::uint8_t> string = code < next ? table[code] : table[old];
        if (code == next)
            string.push_back(string[0]);
        out.pixels.insert(out.pixels.end(), string.begin(), string.end());
        std::vector<std::uint8_t> entry = table[old];
        entry.push_back(string[0]);
        table.push_back(entry);
        old = code;
        if (table.size() >= (1u << width) && width < 12)
            ++width;
    }
    emit(clear + 1);
    if (bitCount > 0)
        packed.push_back(std::uint8_t(bits));
    for (std::size_t at = 0; at < packed.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
        out.data.push_back(std::uint8_t(n));
        out.data.insert(out.data.end(), packed.begin() + at, packed.begin() + at + n);
    }
    out.data.push_back(0);
    return out;
}

// Decodes codes into rows of width pixels (plus padding) a few rows per call; the rows in
// memory, bottom-up.
std::vector<std::uint8_t> DecodeRows(CodeStream& codes, int minCodeSize, int width, int height,
                                     int stride, int rowsPerCall) {
    std::vector<std::uint8_t> rows(std::size_t(stride) * height, 0);
    ImageMemStream s = StreamOver(codes.data);
    GifCodeReader r;
    GifStartReader(r, &s, minCodeSize);
    GifPixelSink sink{};
    GifStartSink(sink, rows.data(), stride, width, height, false);
    auto tables = std::make_unique<GifLzwTables>();
    GifLzwState z;
    GifStartLzw(z, *tables, minCodeSize);
    int calls = 0;
    while (!GifDecodeLzw(z, *tables, r, sink, std::int64_t(sink.rowsDone) + rowsPerCall))
        EXPECT_LT(++calls, 100000);
    return rows;
}

TEST(GifLzwDecoder, StringsOfEveryLengthLandWholeInRowsOfEveryWidth) {
    // Widths below, at and above the string lengths; padding and rows the data does not
    // reach stay zero.
    for (const int minCodeSize : {2, 5, 8}) {
        for (const int width : {1, 7, 8, 9, 17, 64, 301}) {
            CodeStream codes = RandomCodes(minCodeSize, 3000, 17u * width + minCodeSize);
            const int height = int(codes.pixels.size() / width) + 2;
            const int stride = width + 3;
            for (const int rowsPerCall : {1, 10, 1 << 20}) {
                const std::vector<std::uint8_t> rows =
                    DecodeRows(codes, minCodeSize, width, height, stride, rowsPerCall);
                std::size_t wrong = 0;
                for (int y = 0; y < height; ++y) {
                    const std::uint8_t* row = rows.data() + std::size_t(height - 1 - y) * stride;
                    for (int x = 0; x < stride; ++x) {
                        const std::size_t i = std::size_t(y) * width + x;
                        const std::uint8_t want =
                            x < width && i < codes.pixels.size() ? codes.pixels[i] : 0;
                        wrong += row[x] != want;
                    }
                }
                EXPECT_EQ(wrong, 0u) << "min code size " << minCodeSize << ", width " << width
                                     << ", rows per call " << rowsPerCall;
            }
        }
    }
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
