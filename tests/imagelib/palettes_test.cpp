// The fixed palettes, the nearest-colour searches and the palette operations.
#include "palettes.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "colour_reduce.h"
#include "dither_tables.h"
#include "load_flags.h"

namespace imagelib {
namespace {

bool Same(const PaletteEntry3& a, const PaletteEntry3& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool Same(const Palette256& a, const Palette256& b) {
    for (int i = 0; i < 256; ++i) {
        if (!Same(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

class PalettesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ImageDitherReset();
        ImageUserPaletteReset();
    }
    void TearDown() override { ImageUserPaletteReset(); }
};

TEST_F(PalettesTest, FixedEntriesOfTheGifPaletteAreTheSystemColours) {
    const PaletteEntry3 head[10] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
                                    {192, 220, 192}, {164, 200, 240}};
    const PaletteEntry3 tail[10] = {
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Same(GifPalette256[i], head[i])) << i;
        EXPECT_TRUE(Same(GifPalette256[246 + i], tail[i])) << i;
    }
    // The free entries hold 236 colours that neither repeat each other nor black or white.
    std::set<std::tuple<int, int, int>> middle;
    for (int i = 10; i < 246; ++i) {
        middle.insert({GifPalette256[i].red, GifPalette256[i].green, GifPalette256[i].blue});
    }
    EXPECT_EQ(middle.size(), 236u);
    EXPECT_EQ(middle.count({0, 0, 0}), 0u);
    EXPECT_EQ(middle.count({255, 255, 255}), 0u);
}

TEST_F(PalettesTest, SixteenColourSearchWeighsItsGreys) {
    EXPECT_EQ(ImageMatchColor16(100, 100, 100, 0), 3);
    EXPECT_EQ(ImageMatchColor16(100, 100, 100, kFlagReduce4PlainGreys), 7);
    EXPECT_EQ(ImageMatchColor16(210, 210, 210, 0), 15);
    EXPECT_EQ(ImageMatchColor16(210, 210, 210, kFlagReduce4PlainGreys), 8);
    // Exact greys are found even when weighted: distance 0 stays 0.
    EXPECT_EQ(ImageMatchColor16(128, 128, 128, 0), 7);
    EXPECT_EQ(ImageMatchColor16(192, 192, 192, 0), 8);
}

TEST_F(PalettesTest, NeverBlackFlagStartsTheSearchesAtEntryOne) {
    EXPECT_EQ(ImageMatchColor16(0, 0, 0, 0), 0);
    // Three entries lie at the same distance from black; the first of them wins.
    EXPECT_EQ(ImageMatchColor16(0, 0, 0, kFlagReduce4NoEntry0), 1);
    EXPECT_EQ(ImageMatchColor256(0, 0, 0, 0), 0);
    EXPECT_NE(ImageMatchColor256(0, 0, 0, kFlagReduce4NoEntry0), 0);
    // The caller-palette search ignores the flags.
    EXPECT_EQ(ImageMatchUserColor(0, 0, 0, kFlagReduce4NoEntry0), 0);
}

TEST_F(PalettesTest, SearchesFindEveryExactColourAndKeepTheirBounds) {
    for (int i = 0; i < 16; ++i) {
        const auto& c = DisplayColors16[i];
        EXPECT_EQ(ImageNearestColor16(c.red, c.green, c.blue, 0, 15, 0), i);
    }
    for (int i = 0; i < 256; ++i) {
        const auto& c = GifPalette256[i];
        const int k = ImageNearestColor256(c.red, c.green, c.blue, 0, 255);
        EXPECT_TRUE(Same(GifPalette256[k], c)) << i;
        EXPECT_LE(k, i);  // a repeated colour is found at its first entry
    }
    EXPECT_EQ(ImageNearestColor16(255, 255, 255, 9, 3, 0), 0);
    EXPECT_EQ(ImageNearestColor16(255, 255, 255, -5, 99, 0), 15);
    EXPECT_EQ(ImageNearestColor256(255, 255, 255, -5, 999), 255);
}

TEST_F(PalettesTest, DisplayPalette256IsTheCubeThenGrey) {
    PaletteEntry3 palette[256];
    ImageDisplayPalette256(palette);
    EXPECT_TRUE(Same(palette[0], {0, 0, 0}));
    EXPECT_TRUE(Same(palette[1], {0, 0, 85}));
    EXPECT_TRUE(Same(palette[4], {0, 36, 0}));
    EXPECT_TRUE(Same(palette[32], {43, 0, 0}));
    EXPECT_TRUE(Same(palette[223], {255, 255, 255}));
    for (int k = 224; k < 256; ++k) {
        EXPECT_TRUE(Same(palette[k], {128, 128, 128})) << k;
    }
    // Entry k is the colour the 8-bit ditherer writes as k.
    for (int k = 0; k < 224; ++k) {
        std::uint8_t row[6] = {palette[k].blue, palette[k].green, palette[k].red};
        std::uint8_t out[1] = {0xEE};
        std::int16_t errors[6] = {};
        ImageDitherRow8(row, out, errors, 1, 0);
        EXPECT_EQ(out[0], k);
    }
}

TEST_F(PalettesTest, DisplayPalette16CopiesOrMapsTheFirstSixteenEntries) {
    PaletteEntry3 palette[256] = {};
    palette[20] = {1, 2, 3};
    ImageDisplayPalette16(palette, 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(Same(palette[i], DisplayColors16[i])) << i;
    }
    EXPECT_TRUE(Same(palette[20], {1, 2, 3}));

    palette[0] = {250, 10, 10};
    palette[1] = {100, 100, 100};  // greys weighted: olive is nearer
    palette[2] = {128, 128, 128};
    ImageDisplayPalette16(palette, 1);
    EXPECT_TRUE(Same(palette[0], {255, 0, 0}));
    EXPECT_TRUE(Same(palette[1], {128, 128, 0}));
    EXPECT_TRUE(Same(palette[2], {128, 128, 128}));
    EXPECT_TRUE(Same(palette[15], {255, 255, 255}));
}

TEST_F(PalettesTest, UserPaletteStartsAsTheGifPaletteAndTakesWhatIsStored) {
    EXPECT_TRUE(Same(UserPalette, GifPalette256));
    Palette256 mine{};
    for (int i = 0; i < 256; ++i) {
        mine[i] = {static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i)};
    }
    ImageUserPaletteExchange(mine.data(), 0);
    EXPECT_TRUE(Same(UserPalette, GifPalette256));
    ImageUserPaletteExchange(mine.data(), 1);
    EXPECT_TRUE(Same(UserPalette, mine));
    EXPECT_EQ(ImageNearestUserColor(100, 0, 155), 100);

    PaletteEntry3 fixed[256];
    ImageFixedPalette256(fixed);
    for (int i = 0; i < 256; ++i) {
        EXPECT_TRUE(Same(fixed[i], GifPalette256[i])) << i;
    }
}

}  // namespace
}  // namespace imagelib
