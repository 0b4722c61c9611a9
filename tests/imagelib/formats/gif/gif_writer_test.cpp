// The GIF writers: the bytes of every block, the LZW data as three independent decoders
// read it (at 1, 4 and 8 bits, across resets of the string store and the code count, and
// across sub-block boundaries), and the failures they report.
#include "formats/gif/gif_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_write_fixtures.h"
#include "win32/global_memory.h"

namespace {

using fixture::ReadFile;
using fixture::TempDir;
using fixture::Wide;
using gifwrite::Frame;
using gifwrite::Gif;
using Bytes = std::vector<std::uint8_t>;

const BITMAPINFO* Info(const Bytes& info) {
    return reinterpret_cast<const BITMAPINFO*>(info.data());
}

// One full-screen frame of g (or all of them) through GifWriteFile.
int WriteSingle(const std::string& path, const Gif& g, int bits, int transparentIndex = -1) {
    const Bytes info = gifwrite::BitmapInfo(g.width, g.height, bits, g.palette);
    std::vector<Bytes> rows;
    std::vector<const std::uint8_t*> pointers;
    for (const Frame& f : g.frames)
        rows.push_back(gifwrite::PackRows(f.indices, f.width, f.height, bits));
    for (const Bytes& r : rows)
        pointers.push_back(r.data());
    return imagelib::GifWriteFile(Wide(path).c_str(), static_cast<int>(g.frames.size()),
                                  pointers.data(), Info(info), transparentIndex);
}

// A global block holding bytes; freed with the holder.
struct GlobalRows {
    HGLOBAL handle = 0;
    explicit GlobalRows(const Bytes& bytes) {
        handle = GlobalAlloc(GHND, bytes.size());
        if (handle != 0)
            std::memcpy(GlobalLock(handle), bytes.data(), bytes.size());
        GlobalUnlock(handle);
    }
    ~GlobalRows() { GlobalFree(handle); }
    GlobalRows(const GlobalRows&) = delete;
    GlobalRows& operator=(const GlobalRows&) = delete;
};

// The records of g's frames with their rows in global blocks held by blocks.
std::vector<GifAnimRecord> Records(const Gif& g, int bits,
                                   std::vector<std::unique_ptr<GlobalRows>>* blocks) {
    std::vector<GifAnimRecord> records;
    for (const Frame& f : g.frames) {
        blocks->push_back(
            std::make_unique<GlobalRows>(gifwrite::PackRows(f.indices, f.width, f.height, bits)));
        GifAnimRecord r = gifwrite::FrameRecord(f);
        r.dib = blocks->back()->handle;
        records.push_back(r);
    }
    return records;
}

int WriteAnim(const std::string& path, const Gif& g, int bits) {
    std::vector<std::unique_ptr<GlobalRows>> blocks;
    const std::vector<GifAnimRecord> records = Records(g, bits, &blocks);
    const Bytes info = gifwrite::BitmapInfo(1, 1, bits, g.palette);
    return imagelib::GifWriteAnimFile(Wide(path).c_str(), static_cast<int>(records.size()), g.loop,
                                      records.data(), Info(info));
}

// One full-screen frame of w x h from pixel(x, y), under a palette of 1 << bits colours.
template <class F>
Gif OneFrame(int w, int h, int bits, F pixel) {
    Gif g;
    g.width = w;
    g.height = h;
    g.palette = gifwrite::DistinctPalette(1 << bits);
    Frame f;
    f.width = w;
    f.height = h;
    f.indices = gifwrite::MakeIndices(w, h, pixel);
    g.frames.push_back(f);
    return g;
}

Gif Noise(int w, int h, int bits, unsigned seed) {
    std::mt19937 random(seed);
    return OneFrame(w, h, bits, [&](int, int) { return random() % (1u << bits); });
}

// Pixels that fill the string store at a chosen code: runs that store every string of one
// colour up to 61 pixels for `chains` colours, `zeroCodes` strings that are written without
// being stored (60 more pixels of a full run each), then `blocks` runs alternating between
// colour pairs, 60 pixels long, then 59, ..., each storing one long string.
Gif StoreFilling(int bits, int chains, int zeroCodes, int blocks) {
    Bytes s;
    for (int c = 0; c < chains; ++c)
        s.insert(s.end(), 1831, static_cast<std::uint8_t>(c));
    s.insert(s.end(), 60 * zeroCodes, static_cast<std::uint8_t>(chains - 1));
    int made = 0;
    for (int len = 60; made < blocks; --len)
        for (int a = 0; a < chains && made < blocks; ++a)
            for (int b = a + 1; b < chains && made < blocks; ++b) {
                s.insert(s.end(), len, static_cast<std::uint8_t>(a));
                s.insert(s.end(), len, static_cast<std::uint8_t>(b));
                made += 2;
            }
    const int w = 1000;
    const int h = static_cast<int>((s.size() + w - 1) / w);
    s.resize(std::size_t(w) * h, 0);
    return OneFrame(w, h, bits, [&](int x, int y) { return s[std::size_t(y) * w + x]; });
}

void ExpectDecodes(const std::string& path, const Gif& g) {
    EXPECT_EQ(gifwrite::CheckAllDecoders(path, g), "");
}

// ---------------------------------------------------------------------------------------
// Bytes of the blocks.

TEST(GifWriteFileBytes, OneBitImageHasCodeSize2ClearCode4AndPackedBytes0x80And0x00) {
    TempDir dir;
    const Gif g = OneFrame(10, 3, 1, [](int x, int y) { return (x + y) & 1; });
    ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, 1), 0);
    const Bytes b = ReadFile(dir.file("a.gif"));
    const Bytes head = {'G',  'I', 'F', '8', '9', 'a', 10, 0,   3, 0,
                        0x80, 0,   0,   0,   255, 0,   1,  254, 7};
    ASSERT_GT(b.size(), 32u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 19), head);
    const Bytes descriptor = {0x2C, 0, 0, 0, 0, 10, 0, 3, 0, 0x00, 2};
    EXPECT_EQ(Bytes(b.begin() + 19, b.begin() + 30), descriptor);
    EXPECT_EQ(b[31] & 7, 4);  // the clear code, 3 bits
    EXPECT_EQ(b.back(), 0x3B);
    EXPECT_EQ(b[b.size() - 2], 0x00);
    ExpectDecodes(dir.file("a.gif"), g);
}

TEST(GifWriteFileBytes, EightBitImageHasPackedBytes0xF7And0x07AndCodeSize8) {
    TempDir dir;
    const Gif g = Noise(5, 4, 8, 1);
    ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, 8), 0);
    const Bytes b = ReadFile(dir.file("a.gif"));
    ASSERT_GT(b.size(), 13u + 768 + 14);
    EXPECT_EQ(b[10], 0xF7);
    const std::size_t d = 13 + 768;
    EXPECT_EQ(b[d], 0x2C);
    EXPECT_EQ(b[d + 9], 0x07);
    EXPECT_EQ(b[d + 10], 8);
    // First code: clear 256 in 9 bits.
    EXPECT_EQ(b[d + 12] | (b[d + 13] & 1) << 8, 256);
}

TEST(GifWriteFileBytes, FourBitScreenPackedByteIs0xB3) {
    TempDir dir;
    ASSERT_EQ(WriteSingle(dir.file("a.gif"), Noise(3, 3, 4, 2), 4), 0);
    EXPECT_EQ(ReadFile(dir.file("a.gif"))[10], 0xB3);
}

TEST(GifWriteFileBytes, TransparentIndexesOutsideTheTableAreRefusedBeforeAnyFile) {
    TempDir dir;
    const Gif g = Noise(4, 4, 8, 3);
    // 256, 300 and -2 would be written as 0, 44 and 254: other colours.
    for (const int index : {256, 300, -2, INT_MIN, INT_MAX}) {
        EXPECT_EQ(WriteSingle(dir.file("a.gif"), g, 8, index), 1) << index;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.gif"))) << index;
    }
    for (const int index : {0, 255}) {
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, 8, index), 0);
        const Bytes b = ReadFile(dir.file("a.gif"));
        const Bytes control = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, std::uint8_t(index), 0x00};
        EXPECT_EQ(Bytes(b.begin() + 781, b.begin() + 789), control);
        EXPECT_EQ(b[789], 0x2C);
    }
}

TEST(GifWriteFileBytes, NoTransparentIndexWritesNoGraphicControl) {
    TempDir dir;
    ASSERT_EQ(WriteSingle(dir.file("a.gif"), Noise(4, 4, 8, 3), 8, -1), 0);
    EXPECT_EQ(ReadFile(dir.file("a.gif"))[781], 0x2C);
}

TEST(GifWriteFileBytes, FrameCountZeroWritesHeaderTableAndTrailer) {
    TempDir dir;
    const Bytes info = gifwrite::BitmapInfo(2, 3, 1, {{1, 2, 3}, {4, 5, 6}});
    ASSERT_EQ(imagelib::GifWriteFile(Wide(dir.file("a.gif")).c_str(), 0, nullptr, Info(info), -1),
              0);
    const Bytes expected = {'G',  'I', 'F', '8', '9', 'a', 2, 0, 3, 0,
                            0x80, 0,   0,   1,   2,   3,   4, 5, 6, 0x3B};
    EXPECT_EQ(ReadFile(dir.file("a.gif")), expected);
}

TEST(GifWriteFileBytes, ImageEndingRightAfterAResetHasTheEndCodeAfterTheClear) {
    TempDir dir;
    // Noise fills the code table; the reset falls after the pixel a standard decoder
    // counts before the clear. An image of exactly that many pixels ends clear, end.
    const Gif noise = Noise(12000, 1, 8, 4);
    ASSERT_EQ(WriteSingle(dir.file("a.gif"), noise, 8), 0);
    std::vector<gifwrite::ClearPoint> clears;
    ASSERT_TRUE(gifwrite::ClearPoints(ReadFile(dir.file("a.gif")), &clears));
    ASSERT_FALSE(clears.empty());
    const int w = static_cast<int>(clears[0].pixels);
    const Gif cut = OneFrame(w, 1, 8, [&](int x, int) { return noise.frames[0].indices[x]; });
    ASSERT_EQ(WriteSingle(dir.file("b.gif"), cut, 8), 0);
    const Bytes b = ReadFile(dir.file("b.gif"));
    ASSERT_TRUE(gifwrite::ClearPoints(b, &clears));
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].pixels, w);
    EXPECT_EQ(clears[0].next, 4095);
    ExpectDecodes(dir.file("b.gif"), cut);
}

// ---------------------------------------------------------------------------------------
// Animated writer bytes.

Gif TwoFrameAnimation(int loop) {
    Gif g;
    g.width = 6;
    g.height = 5;
    g.loop = loop;
    g.palette = gifwrite::DistinctPalette(256);
    Frame a;
    a.width = 6;
    a.height = 5;
    a.delay = 12;
    a.indices = gifwrite::MakeIndices(6, 5, [](int x, int y) { return x * 5 + y; });
    Frame b;
    b.left = 2;
    b.top = 1;
    b.width = 3;
    b.height = 4;
    b.delay = 250;
    b.disposal = 2;
    b.transparent = 9;
    b.indices = gifwrite::MakeIndices(3, 4, [](int x, int y) { return x == y ? 9 : 100 + x; });
    g.frames = {a, b};
    return g;
}

TEST(GifWriteAnimFileBytes, LoopCountMinusOneWritesNoApplicationExtension) {
    TempDir dir;
    ASSERT_EQ(WriteAnim(dir.file("a.gif"), TwoFrameAnimation(-1), 8), 0);
    const Bytes b = ReadFile(dir.file("a.gif"));
    EXPECT_EQ(b[781], 0x21);
    EXPECT_EQ(b[782], 0xF9);
}

TEST(GifWriteAnimFileBytes, LoopCounts0And65537WriteTheLow16Bits) {
    for (const auto& [loop, low] : {std::pair<int, int>{0, 0}, {65537, 1}}) {
        TempDir dir;
        ASSERT_EQ(WriteAnim(dir.file("a.gif"), TwoFrameAnimation(loop), 8), 0);
        const Bytes b = ReadFile(dir.file("a.gif"));
        Bytes expected = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P',
                          'E',  '2',  '.',  '0', 3,   1,   0,   0,   0};
        expected[16] = static_cast<std::uint8_t>(low);
        EXPECT_EQ(Bytes(b.begin() + 781, b.begin() + 800), expected) << loop;
    }
}

TEST(GifWriteAnimFileBytes, EveryFrameHasAGraphicControlWithItsBits) {
    TempDir dir;
    Gif g = TwoFrameAnimation(-1);
    std::vector<std::unique_ptr<GlobalRows>> blocks;
    std::vector<GifAnimRecord> records = Records(g, 8, &blocks);
    records[0].delay = 0x10005;  // the low 16 bits are written
    records[0].transparent = 0;
    records[0].transparentIndex = 0x1FF;
    records[1].disposalHigh = 8;
    records[1].disposalLow = 4;
    records[1].userInput = 2;
    records[1].transparent = 1;
    const Bytes info = gifwrite::BitmapInfo(1, 1, 8, g.palette);
    ASSERT_EQ(imagelib::GifWriteAnimFile(Wide(dir.file("a.gif")).c_str(), 2, -1, records.data(),
                                         Info(info)),
              0);
    const Bytes b = ReadFile(dir.file("a.gif"));
    EXPECT_EQ(Bytes(b.begin() + 781, b.begin() + 789),
              (Bytes{0x21, 0xF9, 4, 0x00, 0x05, 0x00, 0xFF, 0}));
    const Bytes second = {0x21, 0xF9, 4, 0x0F, 250, 0, 9, 0, 0x2C, 2, 0, 1, 0, 3, 0, 4, 0, 7, 8};
    const auto at = std::search(b.begin() + 800, b.end(), second.begin(), second.end());
    EXPECT_NE(at, b.end());
}

TEST(GifWriteAnimFileBytes, ATransparentFrameNeedsAnIndexOfTheTable) {
    TempDir dir;
    Gif g = TwoFrameAnimation(-1);
    std::vector<std::unique_ptr<GlobalRows>> blocks;
    std::vector<GifAnimRecord> records = Records(g, 8, &blocks);
    const Bytes info = gifwrite::BitmapInfo(1, 1, 8, g.palette);
    const std::wstring path = Wide(dir.file("a.gif"));
    for (const std::uint32_t index : {256u, 300u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        std::vector<GifAnimRecord> bad = records;
        bad[1].transparent = 1;
        bad[1].transparentIndex = index;
        EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 2, -1, bad.data(), Info(info)), 1)
            << index;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.gif"))) << index;
    }
    records[1].transparent = 1;
    records[1].transparentIndex = 255;
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 2, -1, records.data(), Info(info)), 0);
}

TEST(GifWriteAnimFileBytes, AFrameOutsideRecordZerosScreenWidensIt) {
    TempDir dir;
    Gif g = TwoFrameAnimation(0);
    g.frames[1].left = 5;  // reaches x 8, beyond the screen's 6
    g.frames[1].top = 3;   // reaches y 7, beyond 5
    ASSERT_EQ(WriteAnim(dir.file("a.gif"), g, 8), 0);
    const Bytes b = ReadFile(dir.file("a.gif"));
    EXPECT_EQ(b[6] | b[7] << 8, 8);
    EXPECT_EQ(b[8] | b[9] << 8, 7);
    g.width = 8;
    g.height = 7;
    EXPECT_EQ(gifwrite::CheckGiflib(dir.file("a.gif"), g), "");
    EXPECT_EQ(gifwrite::CheckImageMagick(dir.file("a.gif"), g), "");
}

// ---------------------------------------------------------------------------------------
// Every written file decodes to its input in giflib, PIL and ImageMagick.

TEST(GifWriteDecoders, NoiseAtEveryDepthAcrossTheCodeWidths) {
    TempDir dir;
    // Sizes whose codes cross the assignments of 511, 1023, 2047 and a full table.
    const int sizes[][2] = {{1, 1}, {7, 3}, {33, 17}, {61, 29}, {101, 41}, {257, 40}, {300, 61}};
    for (int bits : {1, 4, 8}) {
        for (const auto& wh : sizes) {
            const Gif g = Noise(wh[0], wh[1], bits, static_cast<unsigned>(wh[0] * bits));
            ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, bits), 0);
            ExpectDecodes(dir.file("a.gif"), g);
        }
    }
}

TEST(GifWriteDecoders, OneColourResetsTheCountAtEveryDepth) {
    TempDir dir;
    for (int bits : {1, 4, 8}) {
        const int colour = (1 << bits) - 1;
        const Gif g = OneFrame(600, 500, bits, [&](int, int) { return colour; });
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, bits), 0);
        std::vector<gifwrite::ClearPoint> clears;
        ASSERT_TRUE(gifwrite::ClearPoints(ReadFile(dir.file("a.gif")), &clears));
        ASSERT_FALSE(clears.empty()) << bits;
        EXPECT_EQ(clears[0].next, 4095) << bits;
        ExpectDecodes(dir.file("a.gif"), g);
    }
}

TEST(GifWriteDecoders, LongRepeatsAndStripes) {
    TempDir dir;
    for (int bits : {1, 4, 8}) {
        const int colours = 1 << bits;
        const Gif g = OneFrame(517, 230, bits,
                               [&](int x, int y) { return ((x / 37) + (y / 11) * 3) % colours; });
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, bits), 0);
        ExpectDecodes(dir.file("a.gif"), g);
    }
}

TEST(GifWriteDecoders, StoreResetAtTheCodeThatAssigns2047) {
    TempDir dir;
    // Parameters found so that the store fills exactly when code 2047 is assigned: the
    // decoder then reads the clear code at 12 bits.
    struct Case {
        int bits, chains, zeroCodes, blocks;
    };
    for (const Case& c : {Case{8, 25, 76, 300}, Case{4, 16, 569, 1000}}) {
        const Gif g = StoreFilling(c.bits, c.chains, c.zeroCodes, c.blocks);
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, c.bits), 0);
        std::vector<gifwrite::ClearPoint> clears;
        ASSERT_TRUE(gifwrite::ClearPoints(ReadFile(dir.file("a.gif")), &clears)) << c.bits;
        ASSERT_FALSE(clears.empty());
        EXPECT_EQ(clears[0].next, 2048) << c.bits;
        ExpectDecodes(dir.file("a.gif"), g);
    }
}

TEST(GifWriteDecoders, StoreResetsBelowAndAtTheTwelveBitWidth) {
    TempDir dir;
    for (int zeroCodes : {0, 40, 200}) {
        const Gif g = StoreFilling(8, 25, zeroCodes, 600);
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, 8), 0);
        std::vector<gifwrite::ClearPoint> clears;
        ASSERT_TRUE(gifwrite::ClearPoints(ReadFile(dir.file("a.gif")), &clears));
        ASSERT_FALSE(clears.empty());
        EXPECT_LT(clears[0].next, 4095);  // the store, not the count, was full
        ExpectDecodes(dir.file("a.gif"), g);
    }
}

// The sub-block sizes of the first image's data.
std::vector<int> SubBlockSizes(const Bytes& b, std::size_t dataStart) {
    std::vector<int> sizes;
    for (std::size_t p = dataStart; p < b.size() && b[p] != 0; p += b[p] + 1)
        sizes.push_back(b[p]);
    return sizes;
}

TEST(GifWriteDecoders, CodesCrossingAndEndingOnSubBlockBoundaries) {
    TempDir dir;
    const Gif noise = Noise(4000, 1, 8, 9);
    bool endedOnBoundary = false;
    for (int w = 200; w < 4000 && !endedOnBoundary; ++w) {
        const Gif g = OneFrame(w, 1, 8, [&](int x, int) { return noise.frames[0].indices[x]; });
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, 8), 0);
        const std::vector<int> sizes = SubBlockSizes(ReadFile(dir.file("a.gif")), 13 + 768 + 11);
        ASSERT_FALSE(sizes.empty());
        for (std::size_t i = 0; i + 1 < sizes.size(); ++i)
            ASSERT_EQ(sizes[i], 255);
        if (sizes.back() == 255) {
            endedOnBoundary = true;
            ExpectDecodes(dir.file("a.gif"), g);
        } else if (w % 97 == 0) {
            ExpectDecodes(dir.file("a.gif"), g);
        }
    }
    EXPECT_TRUE(endedOnBoundary);
}

TEST(GifWriteDecoders, SeveralFullScreenFramesWithATransparentIndex) {
    TempDir dir;
    for (int bits : {1, 4, 8}) {
        Gif g = Noise(23, 9, bits, 5);
        for (unsigned seed = 6; seed < 8; ++seed)
            g.frames.push_back(Noise(23, 9, bits, seed).frames[0]);
        for (Frame& f : g.frames)
            f.transparent = 1;
        ASSERT_EQ(WriteSingle(dir.file("a.gif"), g, bits, 1), 0);
        EXPECT_EQ(gifwrite::CheckGiflib(dir.file("a.gif"), g), "");
        EXPECT_EQ(gifwrite::CheckImageMagick(dir.file("a.gif"), g), "");
        EXPECT_EQ(gifwrite::CheckPil(dir.file("a.gif"), g), "");
    }
}

TEST(GifWriteDecoders, AnimationsWithPlacesDelaysDisposalAndLoops) {
    TempDir dir;
    for (int bits : {1, 4, 8}) {
        for (int loop : {-1, 0, 5}) {
            Gif g;
            g.width = 40;
            g.height = 30;
            g.loop = loop;
            g.palette = gifwrite::DistinctPalette(1 << bits);
            const int places[][4] = {
                {0, 0, 40, 30}, {3, 4, 17, 9}, {20, 10, 20, 20}, {39, 29, 1, 1}};
            for (int i = 0; i < 4; ++i) {
                Frame f = Noise(places[i][2], places[i][3], bits, 20 + i).frames[0];
                f.left = places[i][0];
                f.top = places[i][1];
                f.delay = 5 * i + 1;
                f.disposal = i % 4;
                f.userInput = i == 3;
                f.transparent = i == 2 ? 0 : -1;
                g.frames.push_back(f);
            }
            ASSERT_EQ(WriteAnim(dir.file("a.gif"), g, bits), 0);
            EXPECT_EQ(gifwrite::CheckGiflib(dir.file("a.gif"), g), "") << bits << " " << loop;
            EXPECT_EQ(gifwrite::CheckImageMagick(dir.file("a.gif"), g), "") << bits << " " << loop;
            EXPECT_EQ(gifwrite::CheckPil(dir.file("a.gif"), g), "") << bits << " " << loop;
        }
    }
}

}  // namespace
