// The image-and-mask layout whatever the colour table: the image half shows the picture's
// colours and black where it is transparent, the mask half black where it is opaque and
// white where it is transparent, around a placed frame as inside it, in single loads (one
// call and stepwise alike) and in every frame of an animation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/gif/gif_fixtures.h"
#include "imagelib.h"

namespace {

using fixture::RgbImage;
using Rgb = std::vector<std::uint8_t>;

const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};

struct Table {
    const char* name;
    Rgb rgb;  // red, green, blue per entry
};

// 256 entries (i, 100, 50) but those given.
Rgb FullTable(const std::vector<std::pair<int, Rgb>>& set) {
    Rgb t;
    for (int i = 0; i < 256; ++i)
        t.insert(t.end(), {std::uint8_t(i), 100, 50});
    for (const auto& [i, c] : set)
        std::copy(c.begin(), c.end(), t.begin() + 3 * i);
    return t;
}

std::vector<Table> Tables() {
    return {
        {"no white, black last", FullTable({{255, kBlack}})},
        {"no white, pure red last", FullTable({{255, {255, 0, 0}}})},
        {"no black or white, pure blue first and red last",
         FullTable({{0, {0, 0, 255}}, {255, {255, 0, 0}}})},
        {"black and white", FullTable({{254, kBlack}, {255, kWhite}})},
        {"four entries without black or white", {10, 20, 30, 40, 50, 60, 70, 80, 90, 250, 0, 0}},
    };
}

Rgb Colour(const Rgb& table, int i) {
    return Rgb(table.begin() + 3 * i, table.begin() + 3 * i + 3);
}

// A frame of width x height whose pixels run through t and opaque indices, the first and
// last entries among them.
std::vector<int> FrameIndices(int n, int t, int count) {
    std::vector<int> opaque;
    for (int i : {0, n - 1, 1, n / 2, n - 2})
        if (i != t)
            opaque.push_back(i);
    std::vector<int> out;
    for (int k = 0; k < count; ++k)
        out.push_back(k % 3 == 0 ? t : opaque[k % opaque.size()]);
    return out;
}

// What the layout must show for g: the screen when the frame is placed on it, else the
// frame, twice as wide.
RgbImage Expected(const giffix::Still& g, bool placed) {
    RgbImage e;
    e.width = 2 * (placed ? g.screenWidth : g.width);
    e.height = placed ? g.screenHeight : g.height;
    const int half = e.width / 2;
    e.rgb.resize(std::size_t(e.width) * e.height * 3);
    for (int y = 0; y < e.height; ++y) {
        for (int x = 0; x < half; ++x) {
            const int fx = placed ? x - g.left : x;
            const int fy = placed ? y - g.top : y;
            const bool inside = fx >= 0 && fx < g.width && fy >= 0 && fy < g.height;
            const int p = inside ? g.indices[std::size_t(fy) * g.width + fx] : g.transparent;
            const bool transparent = p == g.transparent;
            const Rgb image = transparent ? kBlack : Colour(g.table, p);
            const Rgb& mask = transparent ? kWhite : kBlack;
            std::copy(image.begin(), image.end(),
                      e.rgb.begin() + (std::size_t(y) * e.width + x) * 3);
            std::copy(mask.begin(), mask.end(),
                      e.rgb.begin() + (std::size_t(y) * e.width + half + x) * 3);
        }
    }
    return e;
}

class GifMaskTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(live_.Leaked(), ""); }
    fixture::TempDir dir_;
    fixture::LiveBlocks live_;
};

TEST_F(GifMaskTest, TransparentPixelsAndTheScreenAroundAFrameAreWhiteInTheMask) {
    for (const Table& table : Tables()) {
        const int n = int(table.rgb.size() / 3);
        for (int t : {0, n - 1, 1}) {
            for (bool placed : {false, true}) {
                SCOPED_TRACE(std::string(table.name) + ", transparent " + std::to_string(t) +
                             (placed ? ", placed" : ""));
                giffix::Still g;
                g.screenWidth = placed ? 8 : 4;
                g.screenHeight = placed ? 4 : 2;
                g.table = table.rgb;
                g.transparent = t;
                g.left = placed ? 2 : 0;
                g.top = placed ? 1 : 0;
                g.width = 4;
                g.height = 2;
                g.indices = FrameIndices(n, t, 8);
                const std::string file = dir_.file("mask.gif");
                ASSERT_TRUE(fixture::WriteFile(file, giffix::MakeGif(g)));
                const fixture::Loaded one = fixture::LoadFile(file, IMAGELIB_IMAGE_AND_MASK);
                ASSERT_EQ(one.code, IMAGELIB_FINISHED);
                EXPECT_EQ(fixture::CompareRgb(Expected(g, placed), one.rgb()), "");
                const fixture::Loaded stepwise =
                    fixture::LoadStepwise(file, IMAGELIB_IMAGE_AND_MASK);
                EXPECT_EQ(stepwise.dib, one.dib);
                EXPECT_EQ(stepwise.palette, one.palette);

                // The animation's frame is not placed and keeps its 8-bit rows; its
                // logical palette holds the colours of its table.
                const giffix::Animation a = giffix::LoadAnimation(file, IMAGELIB_IMAGE_AND_MASK);
                ASSERT_EQ(a.code, IMAGELIB_FINISHED);
                ASSERT_EQ(a.frames.size(), 1u);
                const giffix::Frame& f = a.frames[0];
                EXPECT_EQ(f.dib[14], 8);
                EXPECT_EQ(fixture::CompareRgb(Expected(g, false),
                                              fixture::RgbFromPackedDib(f.dib.data())),
                          "");
                const int entries = f.palette[2] | f.palette[3] << 8;
                for (int i = 0; i < entries; ++i)
                    EXPECT_EQ(Rgb(f.palette.begin() + 4 + 4 * i, f.palette.begin() + 7 + 4 * i),
                              giffix::ColourAt(f.dib.data(), i))
                        << "entry " << i;
            }
        }
    }
}

TEST_F(GifMaskTest, AFrameThatShowsEveryEntryGivesItsRarestColourToItsNearest) {
    // 16 x 16 pixels, each entry once, of a full table without black or white: the
    // transparent entry is black in the image half, so no entry is left for white.
    giffix::Still g;
    g.screenWidth = g.width = 16;
    g.screenHeight = g.height = 16;
    g.table = FullTable({});
    g.transparent = 7;
    for (int i = 0; i < 256; ++i)
        g.indices.push_back(i);
    const std::vector<std::uint8_t> bytes = giffix::MakeGif(g);
    // A single load has 24-bit rows to spare: it keeps every colour.
    const fixture::Loaded one = fixture::LoadBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(one.code, IMAGELIB_FINISHED);
    EXPECT_EQ(one.bits(), 24);
    const RgbImage expected = Expected(g, false);
    EXPECT_EQ(fixture::CompareRgb(expected, one.rgb()), "");
    // The frame keeps 8 bits: its mask is whole, and entry 0, shown once, takes the
    // colour of entry 1, the nearest.
    const giffix::Animation a = giffix::LoadAnimationBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    ASSERT_EQ(a.frames.size(), 1u);
    EXPECT_EQ(a.frames[0].dib[14], 8);
    RgbImage merged = expected;
    std::copy(g.table.begin() + 3, g.table.begin() + 6, merged.rgb.begin());
    EXPECT_EQ(fixture::CompareRgb(merged, fixture::RgbFromPackedDib(a.frames[0].dib.data())), "");
}

TEST_F(GifMaskTest, AnAnimationHandsBackItsBlankResultUncleaned) {
    // A 1 x 1 transparent frame on a 2000 x 1500 screen, with a table that has no white:
    // the frame's mask is whitened in its own 8-bit rows; the result the load hands back
    // is not turned into 24-bit rows.
    giffix::Still g;
    g.screenWidth = 2000;
    g.screenHeight = 1500;
    g.table = FullTable({{255, kBlack}});
    g.transparent = 3;
    g.width = g.height = 1;
    g.indices = {3};
    const std::vector<std::uint8_t> bytes = giffix::MakeGif(g);
    const std::uint64_t tracked = imagelib::ImageLiveBytes();
    imagelib::ImageResetPeakBytes();
    const giffix::Animation a = giffix::LoadAnimationBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    EXPECT_LE(imagelib::ImagePeakBytes() - tracked, 256u * 1024);
    EXPECT_NE(a.flags & IMAGELIB_CLEAN_MASK, 0u);
    EXPECT_EQ(a.result[14], 8);
    ASSERT_EQ(a.frames.size(), 1u);
    EXPECT_EQ(
        fixture::CompareRgb(Expected(g, false), fixture::RgbFromPackedDib(a.frames[0].dib.data())),
        "");
}

}  // namespace
