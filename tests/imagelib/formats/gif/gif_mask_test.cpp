// The image-and-mask layout whatever the colour table: the image half shows the picture's
// colours and black where it is transparent, the mask half black where it is opaque and
// white where it is transparent, around a placed frame as inside it, in single loads (one
// call and stepwise alike) and in every frame of an animation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/gif/gif_fixtures.h"
#include "imagelib.h"
#include "win32/gdi.h"

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

// The layout of g with the grid's pixels (-1: not reached by the data, so transparent) in
// place of its indices.
RgbImage ExpectedOfGrid(giffix::Still g, const std::vector<int>& grid) {
    g.indices = grid;
    for (int& p : g.indices)
        p = p < 0 ? g.transparent : p;
    return Expected(g, false);
}

// The plain layout of the grid: its colours, index 0 where the data did not reach.
RgbImage PlainOfGrid(const giffix::Still& g, const std::vector<int>& grid) {
    RgbImage e;
    e.width = g.width;
    e.height = g.height;
    for (int p : grid) {
        const Rgb c = Colour(g.table, std::max(p, 0));
        e.rgb.insert(e.rgb.end(), c.begin(), c.end());
    }
    return e;
}

// The number of pixels, in row order, after which actual shows only transparent ones: the
// pixels the data reached, or -1 when no prefix of source explains actual.
int ReachedPixels(const giffix::Still& g, const std::vector<int>& source, const RgbImage& actual) {
    for (std::size_t n = 0; n <= source.size(); ++n) {
        std::vector<int> grid(source.begin(), source.begin() + n);
        grid.resize(source.size(), -1);
        if (fixture::CompareRgb(ExpectedOfGrid(g, grid), actual).empty())
            return int(n);
    }
    return -1;
}

TEST_F(GifMaskTest, PixelsTheDataNeverReachAreTransparentInTheMaskAndZeroWithout) {
    // Red, green, blue and white: no black, which is appended as the image half's key.
    const Rgb table{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    for (int t : {3, 0}) {
        giffix::Still g;
        g.screenWidth = g.width = 16;
        g.screenHeight = g.height = 8;
        g.table = table;
        g.transparent = t;
        std::vector<int> source;
        for (int y = 0; y < 16; ++y)  // 16 rows for the interlaced case; 8 for the others
            for (int x = 0; x < 16; ++x)
                source.push_back((x * 3 + y * 5 + x / 4) % 4);
        const std::vector<int> source8(source.begin(), source.begin() + 128);

        struct Case {
            std::string name;
            giffix::Still g;
            std::vector<int> grid;  // what the load shows; empty: a prefix of the source
            bool cut = false;       // the file ends in the data: no animation to load
        };
        std::vector<Case> cases;
        {
            Case c{"an end code after the first row", g, source8};
            c.g.indices.assign(source.begin(), source.begin() + 16);
            std::fill(c.grid.begin() + 16, c.grid.end(), -1);
            cases.push_back(c);
        }
        // Sub-blocks whose codes stop short of the end code: 30 bytes of them, then the
        // terminator, or a second sub-block that the file cuts short.
        const std::vector<std::uint8_t> whole = giffix::LzwData(2, source8);
        for (bool cut : {false, true}) {
            Case c{cut ? "a file cut short" : "sub-blocks that stop without an end code", g, {}};
            c.g.data.assign(whole.begin(), whole.begin() + 2 + 30);
            c.g.data[1] = 30;
            if (cut)
                c.g.data.insert(c.g.data.end(), {40, 0x11, 0x22});
            else
                c.g.data.insert(c.g.data.end(), {0, 0x3B});
            c.cut = cut;
            cases.push_back(c);
        }
        {
            Case c{"no data sub-block", g, std::vector<int>(128, -1)};
            c.g.data = {2, 0, 0x3B};
            cases.push_back(c);
        }
        {
            Case c{"an interlaced image with its first pass only", g, source};
            c.g.height = c.g.screenHeight = 16;
            c.g.interlaced = true;
            c.g.indices.assign(source.begin(), source.begin() + 16);
            c.g.indices.insert(c.g.indices.end(), source.begin() + 128, source.begin() + 144);
            for (int y = 0; y < 16; ++y)
                if (y != 0 && y != 8)
                    std::fill(c.grid.begin() + y * 16, c.grid.begin() + y * 16 + 16, -1);
            cases.push_back(c);
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name + ", transparent " + std::to_string(t));
            const std::vector<std::uint8_t> bytes = giffix::MakeGif(c.g);
            const std::string file = dir_.file("unreached.gif");
            ASSERT_TRUE(fixture::WriteFile(file, bytes));
            const fixture::Loaded one = fixture::LoadFile(file, IMAGELIB_IMAGE_AND_MASK);
            ASSERT_EQ(one.code, IMAGELIB_FINISHED);
            std::vector<int> grid = c.grid;
            if (grid.empty()) {
                const int reached = ReachedPixels(c.g, source8, one.rgb());
                ASSERT_GE(reached, 16) << "the first sub-block holds the first row";
                ASSERT_LT(reached, 128);
                grid.assign(source8.begin(), source8.begin() + reached);
                grid.resize(128, -1);
            }
            EXPECT_EQ(fixture::CompareRgb(ExpectedOfGrid(c.g, grid), one.rgb()), "");
            const fixture::Loaded stepwise = fixture::LoadStepwise(file, IMAGELIB_IMAGE_AND_MASK);
            EXPECT_EQ(stepwise.dib, one.dib);

            const fixture::Loaded plain = fixture::LoadFile(file);
            ASSERT_EQ(plain.code, IMAGELIB_FINISHED);
            EXPECT_EQ(fixture::CompareRgb(PlainOfGrid(c.g, grid), plain.rgb()), "");
            if (c.cut)
                continue;
            const giffix::Animation a = giffix::LoadAnimationBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
            ASSERT_EQ(a.code, IMAGELIB_FINISHED);
            ASSERT_EQ(a.frames.size(), 1u);
            EXPECT_EQ(fixture::CompareRgb(ExpectedOfGrid(c.g, grid),
                                          fixture::RgbFromPackedDib(a.frames[0].dib.data())),
                      "");

            // Without the layout the pixels not reached keep index 0, in both loads.
            const giffix::Animation p = giffix::LoadAnimationBytes(bytes);
            ASSERT_EQ(p.frames.size(), 1u);
            EXPECT_EQ(fixture::CompareRgb(PlainOfGrid(c.g, grid),
                                          fixture::RgbFromPackedDib(p.frames[0].dib.data())),
                      "");
        }
    }
}

// A transparent GIF of random colours: a table of 2 to 256 entries, with or without black
// and white, the transparent entry first, last or anywhere; placed on a larger screen or
// not.
giffix::Still RandomTransparentGif(std::mt19937& rng, int k) {
    const auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    giffix::Still g;
    const int n = 1 << uniform(1, 8);
    for (int i = 0; i < 3 * n; ++i)
        g.table.push_back(std::uint8_t(uniform(0, 255)));
    if (k % 3 == 1) {  // black and white somewhere
        std::fill_n(g.table.begin() + 3 * uniform(0, n - 1), 3, 0);
        std::fill_n(g.table.begin() + 3 * uniform(0, n - 1), 3, 255);
    }
    g.transparent = k % 4 == 0 ? 0 : k % 4 == 1 ? n - 1 : uniform(0, n - 1);
    g.width = 33;
    g.height = 17;
    const bool placed = k % 5 == 2;
    g.screenWidth = placed ? 40 : 33;
    g.screenHeight = placed ? 20 : 17;
    g.left = placed ? 4 : 0;
    g.top = placed ? 2 : 0;
    for (int i = 0; i < g.width * g.height; ++i)
        g.indices.push_back(uniform(0, 3) == 0 ? g.transparent : uniform(0, n - 1));
    return g;
}

class GifMaskReduceTest : public GifMaskTest {
  protected:
    void TearDown() override {
        GifMaskTest::TearDown();
        Win32SetScreenFormat(32, FALSE);
    }
};

TEST_F(GifMaskReduceTest, ReducedToEitherScreenTheMaskHalfStaysBlackAndWhite) {
    std::mt19937 rng(2026);
    for (int k = 0; k < 40; ++k) {
        const giffix::Still g = RandomTransparentGif(rng, k);
        const bool placed = g.screenWidth != g.width;
        const RgbImage unreduced = Expected(g, placed);
        const std::vector<bool> clear = fixture::MaskedPixels(unreduced);
        const std::string file = dir_.file("reduce.gif");
        ASSERT_TRUE(fixture::WriteFile(file, giffix::MakeGif(g)));
        for (int screen : {4, 8}) {
            SCOPED_TRACE("file " + std::to_string(k) + ", table of " +
                         std::to_string(g.table.size() / 3) + ", screen of " +
                         std::to_string(screen) + " bits");
            Win32SetScreenFormat(screen, screen == 8);
            const std::uint32_t mask = IMAGELIB_IMAGE_AND_MASK | IMAGELIB_REDUCE;
            // Dithered, also with the 16-colour search kept from black.
            for (std::uint32_t flags : {mask, mask | IMAGELIB_REDUCE4_NO_ENTRY0}) {
                const fixture::Loaded one = fixture::LoadFile(file, flags);
                ASSERT_EQ(one.code, IMAGELIB_FINISHED);
                EXPECT_EQ(one.bits(), screen);
                EXPECT_EQ(fixture::CheckMask(one.rgb(), clear), "") << std::hex << flags;
                const fixture::Loaded stepwise = fixture::LoadStepwise(file, flags);
                EXPECT_EQ(fixture::CheckMask(stepwise.rgb(), clear), "") << std::hex << flags;
            }
            // Without dithering every pixel is known, and both ways of loading agree.
            const std::uint32_t nearest = mask | IMAGELIB_NEAREST_COLOUR;
            const fixture::Loaded one = fixture::LoadFile(file, nearest);
            ASSERT_EQ(one.code, IMAGELIB_FINISHED);
            EXPECT_EQ(fixture::CompareRgb(fixture::NearestOnScreen(unreduced, screen), one.rgb()),
                      "");
            EXPECT_EQ(fixture::LoadStepwise(file, nearest).dib, one.dib);
        }
    }
}

}  // namespace
