// CreateGIFButtonFromBitmaps and CreateGIFFromBitmap: the frames, palette and transparent
// index of the written file as giflib, PIL and ImageMagick read them, and the indices
// each pixel was given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/builders_fixtures.h"
#include "colour/palettes.h"
#include "fixture_support.h"
#include "formats/gif/gif_write_fixtures.h"
#include "imagelib.h"

namespace builders_test {
namespace {

using gifwrite::Rgb;

std::vector<RGBQUAD> Quads(const std::vector<Rgb>& palette) {
    std::vector<RGBQUAD> out;
    for (const Rgb& c : palette)
        out.push_back(RGBQUAD{c[2], c[1], c[0], 0});
    return out;
}

Colour ColourOf(const Rgb& c) {
    return {c[0], c[1], c[2]};
}

// A frame of w x h pixels: pixel (x, y), y counted from the top, is index
// usable[(x * 3 + y * 5 + frame * 7) % usable.size()].
struct FramePlan {
    LONG w, h;
    int frame;
    const std::vector<int>& usable;
    int Index(LONG x, LONG top) const {
        return usable[std::size_t(x * 3 + top * 5 + frame * 7) % usable.size()];
    }
};

HBITMAP FrameBitmap(const FramePlan& plan, const std::vector<Rgb>& palette) {
    return MakeBitmapFrom(plan.w, plan.h, [&](LONG x, LONG y) {
        return ColourOf(palette[plan.Index(x, plan.h - 1 - y)]);
    });
}

gifwrite::Frame ExpectedFrame(const FramePlan& plan, int transparent) {
    gifwrite::Frame f;
    f.width = plan.w;
    f.height = plan.h;
    f.transparent = transparent;
    f.indices =
        gifwrite::MakeIndices(plan.w, plan.h, [&](int x, int y) { return plan.Index(x, y); });
    return f;
}

class GifButtonTest : public BuilderTest {
  protected:
    void TearDown() override {
        imagelib::ImageUserPaletteReset();
        BuilderTest::TearDown();
    }
    fixture::TempDir dir_;
};

// Frame count, caller palette or not, width (5 and 7 are read row by row).
struct ButtonCase {
    int frames;
    bool callerPalette;
    LONG width;
};

class GifButtonFrames : public GifButtonTest, public testing::WithParamInterface<ButtonCase> {};

TEST_P(GifButtonFrames, EveryDecoderReadsTheFramesPaletteAndTransparentIndex) {
    const ButtonCase k = GetParam();
    const std::vector<Rgb> palette =
        k.callerPalette ? gifwrite::DistinctPalette(256) : gifwrite::FixedPalette();
    const std::vector<RGBQUAD> quads = Quads(palette);
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const LONG h = 6;
    gifwrite::Gif expected;
    expected.width = k.width;
    expected.height = h;
    expected.palette = palette;
    // The transparent colour is that of an index the frames use.
    const int transparent = usable[9];
    const BYTE key[3] = {palette[transparent][0], palette[transparent][1], palette[transparent][2]};
    Bitmap bitmaps[3];
    for (int f = 0; f < k.frames; ++f) {
        const FramePlan plan{k.width, h, f, usable};
        bitmaps[f].reset(FrameBitmap(plan, palette));
        expected.frames.push_back(ExpectedFrame(plan, transparent));
    }
    const std::string path = dir_.file("button.gif");
    const fixture::LiveBlocks blocks;
    ASSERT_EQ(CreateGIFButtonFromBitmaps(bitmaps[0].get(), bitmaps[1].get(), bitmaps[2].get(), 0,
                                         fixture::Wide(path).c_str(), key,
                                         k.callerPalette ? quads.data() : nullptr),
              0u);
    EXPECT_EQ(blocks.Leaked(), "");
    EXPECT_EQ(gifwrite::CheckAllDecoders(path, expected), "");
}

INSTANTIATE_TEST_SUITE_P(Buttons, GifButtonFrames,
                         testing::Values(ButtonCase{1, false, 8}, ButtonCase{2, false, 5},
                                         ButtonCase{3, false, 12}, ButtonCase{1, true, 7},
                                         ButtonCase{2, true, 16}, ButtonCase{3, true, 5}),
                         [](const testing::TestParamInfo<ButtonCase>& info) {
                             return std::to_string(info.param.frames) + "Frames" +
                                    (info.param.callerPalette ? "CallerPalette" : "FixedPalette") +
                                    "Width" + std::to_string(info.param.width);
                         });

TEST_F(GifButtonTest, TheFramesStopAtTheFirstMissingBitmap) {
    const std::vector<Rgb> palette = gifwrite::FixedPalette();
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const FramePlan normal{8, 4, 0, usable};
    const FramePlan third{8, 4, 2, usable};
    Bitmap a(FrameBitmap(normal, palette));
    Bitmap c(FrameBitmap(third, palette));
    const std::string path = dir_.file("one.gif");
    ASSERT_EQ(CreateGIFButtonFromBitmaps(a.get(), 0, c.get(), 0, fixture::Wide(path).c_str(),
                                         nullptr, nullptr),
              0u);
    gifwrite::Gif expected{8, 4, palette, -1, {ExpectedFrame(normal, -1)}};
    EXPECT_EQ(gifwrite::CheckAllDecoders(path, expected), "");
}

TEST_F(GifButtonTest, CreateGifFromBitmapWritesTheButtonsFirstFrameFile) {
    const std::vector<Rgb> palette = gifwrite::DistinctPalette(256);
    const std::vector<RGBQUAD> quads = Quads(palette);
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const FramePlan plan{9, 5, 0, usable};
    Bitmap a(FrameBitmap(plan, palette));
    const BYTE key[3] = {palette[40][0], palette[40][1], palette[40][2]};
    const std::string one = dir_.file("one.gif");
    const std::string button = dir_.file("button.gif");
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(one).c_str(), key, quads.data()), 0u);
    ASSERT_EQ(CreateGIFButtonFromBitmaps(a.get(), 0, 0, 0, fixture::Wide(button).c_str(), key,
                                         quads.data()),
              0u);
    EXPECT_EQ(fixture::ReadFile(one), fixture::ReadFile(button));
    gifwrite::Gif expected{9, 5, palette, -1, {ExpectedFrame(plan, 40)}};
    EXPECT_EQ(gifwrite::CheckAllDecoders(one, expected), "");
}

TEST_F(GifButtonTest, AColourOutsideThePaletteGivesNoTransparentIndex) {
    const std::vector<Rgb> palette = gifwrite::FixedPalette();
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const FramePlan plan{8, 3, 0, usable};
    Bitmap a(FrameBitmap(plan, palette));
    // 1, 2, 3 is no colour of the fixed palette.
    const BYTE key[3] = {1, 2, 3};
    for (const BYTE* colour : {key, static_cast<const BYTE*>(nullptr)}) {
        const std::string path = dir_.file("plain.gif");
        ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), colour, nullptr),
                  0u);
        gifwrite::Gif expected{8, 3, palette, -1, {ExpectedFrame(plan, -1)}};
        EXPECT_EQ(gifwrite::CheckGiflib(path, expected), "");
        // No graphic control extension at all.
        const std::vector<std::uint8_t> file = fixture::ReadFile(path);
        const std::uint8_t gce[] = {0x21, 0xF9};
        EXPECT_EQ(std::search(file.begin(), file.end(), gce, gce + 2), file.end());
    }
}

TEST_F(GifButtonTest, OfTwoEqualEntriesOfTheTransparentColourTheLowerIsTransparent) {
    std::vector<Rgb> palette = gifwrite::DistinctPalette(256);
    palette[20] = palette[10] = Rgb{250, 5, 9};
    const std::vector<RGBQUAD> quads = Quads(palette);
    // The frame uses index 10's colour (and so never index 20).
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    ASSERT_EQ(std::count(usable.begin(), usable.end(), 20), 0);
    const FramePlan plan{12, 4, 0, usable};
    Bitmap a(FrameBitmap(plan, palette));
    const BYTE key[3] = {250, 5, 9};
    const std::string path = dir_.file("twins.gif");
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), key, quads.data()), 0u);
    gifwrite::Gif expected{12, 4, palette, -1, {ExpectedFrame(plan, 10)}};
    EXPECT_EQ(gifwrite::CheckAllDecoders(path, expected), "");
}

TEST_F(GifButtonTest, ACallerPaletteStaysInstalledAndTheFixedOneChangesNothing) {
    const std::vector<Rgb> palette = gifwrite::DistinctPalette(256);
    const std::vector<RGBQUAD> quads = Quads(palette);
    Bitmap a(MakeBitmapFrom(4, 4, [](LONG, LONG) { return Colour{0, 0, 0}; }));
    const std::string path = dir_.file("a.gif");
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), nullptr, quads.data()),
              0u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(ColourOf(palette[i]),
                  Colour({imagelib::UserPalette[i].red, imagelib::UserPalette[i].green,
                          imagelib::UserPalette[i].blue}))
            << i;
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), nullptr, nullptr), 0u);
    EXPECT_EQ(imagelib::UserPalette[255].red, palette[255][0]);
    EXPECT_EQ(imagelib::UserPalette[255].green, palette[255][1]);
}

TEST_F(GifButtonTest, NearestColoursWithoutDithering) {
    // Colours next to palette entries take those entries, each pixel on its own.
    const std::vector<Rgb> palette = gifwrite::DistinctPalette(256);
    const std::vector<RGBQUAD> quads = Quads(palette);
    const auto near = [&](LONG x, LONG y) {
        const Rgb& c = palette[(x + 8 * y) * 3];
        return Colour{BYTE(c[0] + 1), c[1], BYTE(c[2] ^ 1)};
    };
    Bitmap a(MakeBitmapFrom(8, 8, near));
    const std::string path = dir_.file("near.gif");
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), nullptr, quads.data()),
              0u);
    gifwrite::Frame f;
    f.width = 8;
    f.height = 8;
    f.indices = gifwrite::MakeIndices(8, 8, [](int x, int y) { return (x + 8 * (7 - y)) * 3; });
    EXPECT_EQ(gifwrite::CheckGiflib(path, gifwrite::Gif{8, 8, palette, -1, {f}}), "");
}

TEST_F(GifButtonTest, OnAPaletteScreenTheColoursComeFromTheGivenPalette) {
    Win32SetScreenFormat(8, TRUE);
    const std::vector<Colour> display = DisplayColours();
    std::vector<Rgb> palette;
    for (const Colour& c : display)
        palette.push_back(Rgb{c.r, c.g, c.b});
    const std::vector<RGBQUAD> quads = Quads(palette);
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const FramePlan plan{8, 5, 0, usable};
    // Made through the display palette: the bitmap holds indices of it.
    Bitmap a(FrameBitmap(plan, palette));
    std::vector<std::uint8_t> block(4 + 4 * display.size());
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(display.size());
    for (std::size_t i = 0; i < display.size(); ++i)
        lp->palPalEntry[i] = PALETTEENTRY{display[i].r, display[i].g, display[i].b, 0};
    const HPALETTE hpal = CreatePalette(lp);
    const std::string path = dir_.file("screen.gif");
    ASSERT_EQ(
        CreateGIFFromBitmap(a.get(), hpal, fixture::Wide(path).c_str(), nullptr, quads.data()), 0u);
    EXPECT_EQ(
        gifwrite::CheckGiflib(path, gifwrite::Gif{8, 5, palette, -1, {ExpectedFrame(plan, -1)}}),
        "");
    // Through the stock palette the same indices are other colours.
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), nullptr, quads.data()),
              0u);
    EXPECT_NE(
        gifwrite::CheckGiflib(path, gifwrite::Gif{8, 5, palette, -1, {ExpectedFrame(plan, -1)}}),
        "");
    EXPECT_TRUE(DeleteObject(hpal));
}

TEST_F(GifButtonTest, AllRowsOfTheTallestBitmapAGifHoldsAreWritten) {
    const std::vector<Rgb> palette = gifwrite::FixedPalette();
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    const FramePlan plan{4, 65535, 0, usable};
    Bitmap a(FrameBitmap(plan, palette));
    const std::string path = dir_.file("tall.gif");
    ASSERT_EQ(CreateGIFFromBitmap(a.get(), 0, fixture::Wide(path).c_str(), nullptr, nullptr), 0u);
    EXPECT_EQ(gifwrite::CheckGiflib(
                  path, gifwrite::Gif{4, 65535, palette, -1, {ExpectedFrame(plan, -1)}}),
              "");
}

TEST_F(GifButtonTest, BitmapsItCannotReadFailWithoutAFile) {
    const std::vector<Rgb> palette = gifwrite::FixedPalette();
    const std::vector<int> usable = gifwrite::FirstOfTheirColour(palette);
    Bitmap a(FrameBitmap(FramePlan{8, 4, 0, usable}, palette));
    Bitmap smaller(FrameBitmap(FramePlan{8, 3, 1, usable}, palette));
    Bitmap narrower(FrameBitmap(FramePlan{4, 4, 1, usable}, palette));
    const HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
    const std::string path = dir_.file("none.gif");
    const std::wstring wide = fixture::Wide(path);
    EXPECT_EQ(CreateGIFButtonFromBitmaps(0, a.get(), 0, 0, wide.c_str(), nullptr, nullptr), 1u);
    EXPECT_EQ(CreateGIFFromBitmap(0x7ABCDEF0, 0, wide.c_str(), nullptr, nullptr), 1u);
    EXPECT_EQ(CreateGIFFromBitmap(stock, 0, wide.c_str(), nullptr, nullptr), 1u);
    // Every frame is read at the normal bitmap's size.
    EXPECT_EQ(
        CreateGIFButtonFromBitmaps(a.get(), smaller.get(), 0, 0, wide.c_str(), nullptr, nullptr),
        1u);
    EXPECT_EQ(CreateGIFButtonFromBitmaps(a.get(), a.get(), narrower.get(), 0, wide.c_str(), nullptr,
                                         nullptr),
              1u);
    // A palette handle that is no palette.
    EXPECT_EQ(CreateGIFFromBitmap(a.get(), a.get(), wide.c_str(), nullptr, nullptr), 1u);
    EXPECT_TRUE(fixture::ReadFile(path).empty());
    // A writer that cannot write: no path.
    EXPECT_EQ(CreateGIFFromBitmap(a.get(), 0, nullptr, nullptr, nullptr), 1u);
}

}  // namespace
}  // namespace builders_test
