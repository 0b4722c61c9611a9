// Reduction to the display's depth through the exported loaders, on BMP files that
// ImageMagick writes and whose pixels PIL decodes as the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "colour/colour_reduce.h"
#include "colour/dither_tables.h"
#include "colour/palettes.h"
#include "colour_expectations.h"
#include "core/checked_size.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/gdi.h"

namespace imagelib {
namespace {

using fixture::Loaded;
constexpr std::uint32_t kReduce = IMAGELIB_REDUCE;
constexpr std::uint32_t kNearest = IMAGELIB_NEAREST_COLOUR;

// The image with every pixel turned into the colour f gives it.
template <class F>
fixture::RgbImage Map(fixture::RgbImage image, F f) {
    for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
        const PaletteEntry3 c = f(&image.rgb[i]);
        std::memcpy(&image.rgb[i], &c, 3);
    }
    return image;
}

// Expected colours as the library's palette entries.
std::vector<PaletteEntry3> Entries(const expect::Rgb* colours, int count) {
    std::vector<PaletteEntry3> out;
    for (int i = 0; i < count; ++i)
        out.push_back({colours[i].red, colours[i].green, colours[i].blue});
    return out;
}

// True when the colour table and the logical palette both hold the count colours.
bool PalettesAre(const Loaded& r, const PaletteEntry3* colours, int count) {
    bool same = r.paletteCount() == count;
    for (int i = 0; i < count && same; ++i) {
        const std::uint8_t* quad = &r.dib[40 + i * 4];
        const std::uint8_t table[3] = {quad[2], quad[1], quad[0]};
        same = std::memcmp(table, &colours[i], 3) == 0 &&
               std::memcmp(&r.palette[4 + i * 4], &colours[i], 3) == 0;
    }
    return same;
}

class ColourReduceLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { ImageDitherReset(); }
    void TearDown() override {
        Win32SetScreenFormat(32, FALSE);
        EXPECT_EQ(live_.Leaked(), "");
        EXPECT_EQ(Win32LiveDeviceContexts(), 0u);
    }
    // A BMP of colour gradients in both directions and a grey pixel; 24 bits, or as
    // ImageMagick's extra arguments make it.
    std::string GradientBmp(int width, int height,
                            std::vector<std::string> extra = {"-type", "TrueColor"}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const std::string path = dir_.file("g" + size + std::to_string(extra.size()) + ".bmp");
        extra.push_back("BMP3:" + path);
        EXPECT_TRUE(
            fixture::Convert({"-size", size, "gradient:#ff2000-#10a0ff", "(", "-size", size,
                              "gradient:#000000-#f0f0f0", "-rotate", "90", ")", "-compose",
                              "multiply", "-composite", "-fill", "#808080", "-draw", "point 0,0"},
                             extra));
        return path;
    }
    fixture::RgbImage Reference(const std::string& path) {
        fixture::RgbImage image;
        EXPECT_TRUE(fixture::ReferenceDecode(path, fixture::Decoder::Pil, &image));
        return image;
    }

    fixture::TempDir dir_;
    fixture::LiveBlocks live_;
};

TEST_F(ColourReduceLoadTest, ATrueColourDisplayGetsEightBitsWithTheCubeAndGreys) {
    const std::string path = GradientBmp(37, 23);
    const Loaded r = fixture::LoadStepwise(path, kReduce);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.bits(), 8);
    EXPECT_NE(r.flags & kReduce, 0u);
    EXPECT_TRUE(PalettesAre(r, Entries(expect::Cube().data(), 256).data(), 256));
    // Dithering keeps each component's mean close to the source's.
    const fixture::RgbImage source = Reference(path);
    const fixture::RgbImage reduced = r.rgb();
    ASSERT_EQ(reduced.rgb.size(), source.rgb.size());
    for (int c = 0; c < 3; ++c) {
        double sourceSum = 0, reducedSum = 0;
        for (std::size_t i = c; i < source.rgb.size(); i += 3) {
            sourceSum += source.rgb[i];
            reducedSum += reduced.rgb[i];
        }
        EXPECT_NEAR(reducedSum / (37 * 23), sourceSum / (37 * 23), 3.0) << "component " << c;
    }
}

TEST_F(ColourReduceLoadTest, NearestColourModeGivesEveryPixelItsNearestCubeColour) {
    const std::string rgb = GradientBmp(21, 6);
    const std::string grey16 = GradientBmp(13, 5, {"-colors", "16", "-type", "Palette"});
    const std::string mono = GradientBmp(19, 4, {"-monochrome"});
    struct Case {
        std::string path;
        int screenBits;
        int fileBits;
    };
    // An image of 4 or 1 bits is reduced on a palette screen too, so depth and rows agree.
    for (const Case& c :
         {Case{rgb, 32, 24}, Case{rgb, 8, 24}, Case{grey16, 8, 4}, Case{mono, 8, 1}}) {
        SCOPED_TRACE(c.path + " on " + std::to_string(c.screenBits) + " bits");
        ASSERT_EQ(fixture::ReadFile(c.path)[28], c.fileBits);
        Win32SetScreenFormat(c.screenBits, c.screenBits == 8);
        const Loaded r = fixture::LoadStepwise(c.path, kReduce | kNearest);
        ASSERT_EQ(r.code, IMAGELIB_FINISHED);
        ASSERT_EQ(r.bits(), 8);
        const fixture::RgbImage nearest = Map(Reference(c.path), [](const std::uint8_t* p) {
            return PaletteEntry3{expect::NearestLevel(p[0], expect::kRedLevels, 7),
                                 expect::NearestLevel(p[1], expect::kGreenLevels, 8),
                                 expect::NearestLevel(p[2], expect::kBlueLevels, 4)};
        });
        EXPECT_EQ(fixture::CompareRgb(nearest, r.rgb()), "");
    }
}

TEST_F(ColourReduceLoadTest, ASixteenColourDisplayGetsFourBitsWithTheFixedPalette) {
    Win32SetScreenFormat(4, FALSE);
    const int width = 13;  // odd: the last byte of a row holds one pixel
    const std::string path = GradientBmp(width, 9);
    const fixture::RgbImage source = Reference(path);
    const Loaded dithered = fixture::LoadStepwise(path, kReduce);
    ASSERT_EQ(dithered.code, IMAGELIB_FINISHED);
    EXPECT_EQ(dithered.bits(), 4);
    const std::vector<PaletteEntry3> display16 = Entries(expect::kDisplay16, 16);
    EXPECT_TRUE(PalettesAre(dithered, display16.data(), 16));
    // Reduced rows index the fixed palette whether or not mapping was asked for too.
    const Loaded mapped = fixture::LoadStepwise(path, kReduce | IMAGELIB_MAP_TO_DISPLAY_PALETTE);
    EXPECT_TRUE(PalettesAre(mapped, display16.data(), 16));
    for (std::uint32_t extra : {0u, std::uint32_t{IMAGELIB_REDUCE4_NO_ENTRY0},
                                std::uint32_t{IMAGELIB_REDUCE4_PLAIN_GREYS}}) {
        const Loaded r = fixture::LoadStepwise(path, kReduce | kNearest | extra);
        ASSERT_EQ(r.bits(), 4);
        const fixture::RgbImage nearest =
            Map(source, [&display16, extra = extra](const std::uint8_t* p) {
                const int first = extra == IMAGELIB_REDUCE4_NO_ENTRY0 ? 1 : 0;
                const bool weighted = extra != IMAGELIB_REDUCE4_PLAIN_GREYS;
                return display16[expect::Nearest(expect::kDisplay16, 16, first, p[0], p[1], p[2],
                                                 weighted)];
            });
        EXPECT_EQ(fixture::CompareRgb(nearest, r.rgb()), "") << "flags " << extra;
        for (int y = 0; y < 9; ++y)  // its low nibble is 0
            EXPECT_EQ(r.rows()[y * RowStride(width, 4) + width / 2] & 15, 0);
    }
    // Forcing eight bits gives the cube on this display too.
    const Loaded forced = fixture::LoadStepwise(GradientBmp(11, 4), IMAGELIB_FORCE_8BIT);
    EXPECT_EQ(forced.bits(), 8);
    EXPECT_EQ(forced.paletteCount(), 256);
}

TEST_F(ColourReduceLoadTest, AFourBitImageOnASixteenColourDisplayKeepsItsRows) {
    Win32SetScreenFormat(4, FALSE);
    const std::string path = dir_.file("p4.bmp");
    ASSERT_TRUE(fixture::Convert({"-size", "9x5", "xc:rgb(100,100,100)", "-fill", "rgb(250,10,10)",
                                  "-draw", "point 0,0", "-fill", "rgb(20,200,30)", "-draw",
                                  "point 3,2", "-fill", "rgb(210,210,210)", "-draw", "point 8,4",
                                  "-type", "Palette", "BMP3:" + path}));
    const std::vector<std::uint8_t> file = fixture::ReadFile(path);
    ASSERT_EQ(file[28], 4) << "ImageMagick did not write a 4-bit file";
    const Loaded r = fixture::LoadStepwise(path, kReduce);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.bits(), 4);
    EXPECT_NE(r.flags & IMAGELIB_MAP_TO_DISPLAY_PALETTE, 0u);
    // The rows are the file's own.
    const std::uint32_t offset = file[10] | file[11] << 8 | file[12] << 16;
    const std::size_t rowBytes = RowStride(9, 4) * 5;
    ASSERT_GE(file.size(), offset + rowBytes);
    EXPECT_EQ(0, std::memcmp(r.rows(), &file[offset], rowBytes));
    // Each colour becomes its nearest display colour, the greys weighted: 100 grey is
    // olive, not grey; light grey is weighted away to white.
    const fixture::RgbImage mapped = r.rgb();
    for (auto [x, y, colour] : {std::tuple{1, 1, PaletteEntry3{128, 128, 0}},
                                {0, 0, PaletteEntry3{255, 0, 0}},
                                {3, 2, PaletteEntry3{0, 255, 0}},
                                {8, 4, PaletteEntry3{255, 255, 255}}})
        EXPECT_EQ(std::memcmp(mapped.at(x, y), &colour, 3), 0) << x << "," << y;
    // On a palette display, rows that keep their own indices keep their own colours too.
    Win32SetScreenFormat(8, TRUE);
    const Loaded own = fixture::LoadStepwise(path, IMAGELIB_MAP_TO_DISPLAY_PALETTE);
    EXPECT_EQ(fixture::CompareRgb(Reference(path), own.rgb()), "");
}

// Cleaning up after any number of steps, while decoding (run-length too), reducing or
// after it, leaves nothing behind.
TEST_F(ColourReduceLoadTest, CleanupAtAnyStepFreesEverything) {
    const std::string rle =
        GradientBmp(7, 25, {"-colors", "64", "-type", "Palette", "-compress", "RLE"});
    ASSERT_EQ(fixture::ReadFile(rle)[30], 1) << "ImageMagick did not write RLE8";
    for (const std::string& path : {GradientBmp(7, 15), rle}) {
        for (int screen : {4, 32}) {
            Win32SetScreenFormat(screen, FALSE);
            const std::wstring wide = fixture::Wide(path);
            const int total = int(fixture::LoadStepwise(path, kReduce).percents.size());
            ASSERT_GT(total, 2);
            for (int steps = 0; steps <= total; ++steps) {
                std::uint32_t a = 0, b = 0, flags = kReduce;
                int code = SerialImageFileFirst(wide.c_str(), nullptr, 0, &a, &b, &flags);
                for (int i = 0; i < steps && code == IMAGELIB_CALL_AGAIN; ++i)
                    code = SerialImageNext(&a, &b, &flags, nullptr);
                EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
                EXPECT_EQ(live_.Leaked(), "") << path << " after " << steps << " steps";
            }
        }
    }
}

}  // namespace
}  // namespace imagelib
