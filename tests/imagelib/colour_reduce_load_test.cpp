// Reduction to the display's depth through the exported loaders, on BMP files that
// ImageMagick writes and whose pixels PIL decodes as the reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "colour_reduce.h"
#include "dither_tables.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "palettes.h"
#include "tracked_memory.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kReduce = IMAGELIB_REDUCE;
constexpr std::uint32_t kNearest = IMAGELIB_NEAREST_COLOUR;

struct Loaded {
    int code = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> dib;
    std::vector<std::uint8_t> logPalette;
    std::vector<int> percents;

    int bits() const { return dib.size() >= 16 ? (dib[14] | dib[15] << 8) : 0; }
    PaletteEntry3 tableEntry(int i) const {
        const std::uint8_t* quad = &dib[40 + i * 4];
        return {quad[2], quad[1], quad[0]};
    }
    int paletteCount() const { return logPalette[2] | logPalette[3] << 8; }
    PaletteEntry3 paletteEntry(int i) const {
        const std::uint8_t* e = &logPalette[4 + i * 4];
        return {e[0], e[1], e[2]};
    }
};

std::vector<std::uint8_t> CopyBlock(std::uint32_t handle) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(handle));
    std::vector<std::uint8_t> bytes;
    if (p != nullptr) {
        bytes.assign(p, p + GlobalSize(handle));
        GlobalUnlock(handle);
    }
    return bytes;
}

// A stepwise load to its end, keeping a copy of the result and every percent seen.
Loaded LoadStepwise(const std::string& path, std::uint32_t flags) {
    Loaded out;
    std::uint32_t a = 0, b = 0;
    const std::wstring wide = fixture::Wide(path);
    out.flags = flags;
    out.code = SerialImageFileFirst(wide.c_str(), nullptr, 0, &a, &b, &out.flags);
    while (out.code == IMAGELIB_CALL_AGAIN) {
        out.code = SerialImageNext(&a, &b, &out.flags, nullptr);
        out.percents.push_back(SerialImagePercentComplete(&a, &b));
    }
    if (out.code == IMAGELIB_FINISHED) {
        out.dib = CopyBlock(a);
        out.logPalette = CopyBlock(b);
    }
    SerialImageCleanup(&a, &b);
    return out;
}

bool Same(const PaletteEntry3& a, const PaletteEntry3& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

::testing::AssertionResult PixelIs(const fixture::RgbImage& image, int x, int y,
                                   const PaletteEntry3& expected) {
    const std::uint8_t* p = image.at(x, y);
    if (p[0] == expected.red && p[1] == expected.green && p[2] == expected.blue) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << ","
           << int(p[2]) << ", expected " << int(expected.red) << "," << int(expected.green) << ","
           << int(expected.blue);
}

class ColourReduceLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ImageDitherReset();
        liveBlocks_ = ImageLiveBlockCount();
        liveGlobals_ = Win32LiveGlobalBlocks();
    }
    void TearDown() override {
        Win32FailGlobalAllocAfter(0);
        Win32SetScreenFormat(32, FALSE);
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
        EXPECT_EQ(Win32LiveGlobalBlocks(), liveGlobals_);
        EXPECT_EQ(Win32LiveDeviceContexts(), 0u);
    }
    // A 24-bit BMP with colour gradients in both directions and some pure colours.
    std::string TrueColourBmp(int width, int height) {
        const std::string path = dir_.file("rgb" + std::to_string(width) + ".bmp");
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        EXPECT_TRUE(fixture::Convert({"-size",
                                      size,
                                      "gradient:#ff2000-#10a0ff",
                                      "(",
                                      "-size",
                                      size,
                                      "gradient:#000000-#f0f0f0",
                                      "-rotate",
                                      "90",
                                      ")",
                                      "-compose",
                                      "multiply",
                                      "-composite",
                                      "-fill",
                                      "#808080",
                                      "-draw",
                                      "point 0,0",
                                      "-type",
                                      "TrueColor",
                                      "BMP3:" + path}));
        return path;
    }
    fixture::RgbImage Reference(const std::string& path) {
        fixture::RgbImage image;
        EXPECT_TRUE(fixture::ReferenceDecode(path, fixture::Decoder::Pil, &image));
        return image;
    }

    fixture::TempDir dir_;
    std::uint32_t liveBlocks_ = 0;
    std::uint32_t liveGlobals_ = 0;
};

TEST_F(ColourReduceLoadTest, TrueColourDisplayGetsEightBitsWithTheDisplayCube) {
    Win32SetScreenFormat(32, FALSE);
    const std::string path = TrueColourBmp(37, 23);
    const Loaded r = LoadStepwise(path, kReduce);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.bits(), 8);
    EXPECT_NE(r.flags & kReduce, 0u);
    PaletteEntry3 cube[256];
    ImageDisplayPalette256(cube);
    ASSERT_EQ(r.paletteCount(), 256);
    for (int i = 0; i < 256; ++i) {
        EXPECT_TRUE(Same(r.tableEntry(i), cube[i])) << i;
        EXPECT_TRUE(Same(r.paletteEntry(i), cube[i])) << i;
    }
    for (int i = 224; i < 256; ++i) {
        EXPECT_TRUE(Same(r.tableEntry(i), {128, 128, 128})) << i;
    }
    // Progress never goes back and ends at 100; the reduction's share starts above 50.
    for (std::size_t i = 1; i < r.percents.size(); ++i) {
        EXPECT_GE(r.percents[i], r.percents[i - 1]) << i;
    }
    EXPECT_EQ(r.percents.back(), 100);

    // Dithering keeps each component's mean close to the source's.
    const fixture::RgbImage source = Reference(path);
    const fixture::RgbImage reduced = fixture::RgbFromPackedDib(r.dib.data());
    ASSERT_EQ(reduced.width, 37);
    ASSERT_EQ(reduced.height, 23);
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
    for (auto screen : {std::pair<int, BOOL>{32, FALSE}, std::pair<int, BOOL>{8, TRUE}}) {
        Win32SetScreenFormat(screen.first, screen.second);
        const std::string path = TrueColourBmp(21, 6);
        const Loaded r = LoadStepwise(path, kReduce | kNearest);
        ASSERT_EQ(r.code, IMAGELIB_FINISHED);
        ASSERT_EQ(r.bits(), 8);
        const fixture::RgbImage source = Reference(path);
        const fixture::RgbImage reduced = fixture::RgbFromPackedDib(r.dib.data());
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x) {
                const std::uint8_t* p = source.at(x, y);
                const PaletteEntry3 nearest = {
                    kRedLevels[ImageNearestLevel(p[0], kRedLevels, kRedLevelCount)],
                    kGreenLevels[ImageNearestLevel(p[1], kGreenLevels, kGreenLevelCount)],
                    kBlueLevels[ImageNearestLevel(p[2], kBlueLevels, kBlueLevelCount)]};
                EXPECT_TRUE(PixelIs(reduced, x, y, nearest));
            }
        }
    }
}

TEST_F(ColourReduceLoadTest, SixteenColourDisplayGetsFourBitsWithTheFixedPalette) {
    Win32SetScreenFormat(4, FALSE);
    for (int width : {16, 13}) {
        const std::string path = TrueColourBmp(width, 9);
        const fixture::RgbImage source = Reference(path);
        const Loaded dithered = LoadStepwise(path, kReduce);
        ASSERT_EQ(dithered.code, IMAGELIB_FINISHED);
        EXPECT_EQ(dithered.bits(), 4);
        ASSERT_EQ(dithered.paletteCount(), 16);
        for (int i = 0; i < 16; ++i) {
            EXPECT_TRUE(Same(dithered.tableEntry(i), DisplayColors16[i])) << i;
            EXPECT_TRUE(Same(dithered.paletteEntry(i), DisplayColors16[i])) << i;
        }
        for (std::uint32_t extra : {0u, std::uint32_t{IMAGELIB_REDUCE4_NO_ENTRY0},
                                    std::uint32_t{IMAGELIB_REDUCE4_PLAIN_GREYS}}) {
            const Loaded r = LoadStepwise(path, kReduce | kNearest | extra);
            ASSERT_EQ(r.code, IMAGELIB_FINISHED);
            ASSERT_EQ(r.bits(), 4);
            const fixture::RgbImage reduced = fixture::RgbFromPackedDib(r.dib.data());
            for (int y = 0; y < source.height; ++y) {
                for (int x = 0; x < source.width; ++x) {
                    const std::uint8_t* p = source.at(x, y);
                    const int k = ImageMatchColor16(p[0], p[1], p[2], extra);
                    EXPECT_TRUE(PixelIs(reduced, x, y, DisplayColors16[k])) << "flags " << extra;
                }
            }
            // A row of odd width ends in a byte whose low nibble is 0.
            if (width % 2 == 1) {
                const std::size_t stride = RowStride(width, 4);
                for (int y = 0; y < 9; ++y) {
                    EXPECT_EQ(r.dib[kPackedDibRowsOffset + y * stride + width / 2] & 15, 0);
                }
            }
        }
    }
}

TEST_F(ColourReduceLoadTest, ForcedEightBitsUseTheCubeOnASixteenColourDisplay) {
    Win32SetScreenFormat(4, FALSE);
    const Loaded r = LoadStepwise(TrueColourBmp(11, 4), IMAGELIB_FORCE_8BIT);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.bits(), 8);
    EXPECT_EQ(r.paletteCount(), 256);
}

TEST_F(ColourReduceLoadTest, FourBitImageOnASixteenColourDisplayKeepsItsRows) {
    Win32SetScreenFormat(4, FALSE);
    const std::string path = dir_.file("p4.bmp");
    ASSERT_TRUE(fixture::Convert({"-size", "9x5", "xc:rgb(100,100,100)", "-fill", "rgb(250,10,10)",
                                  "-draw", "point 0,0", "-fill", "rgb(20,200,30)", "-draw",
                                  "point 3,2", "-fill", "rgb(210,210,210)", "-draw", "point 8,4",
                                  "-type", "Palette", "BMP3:" + path}));
    const std::vector<std::uint8_t> file = fixture::ReadFile(path);
    ASSERT_EQ(file[28], 4) << "ImageMagick did not write a 4-bit file";
    const Loaded r = LoadStepwise(path, kReduce);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.bits(), 4);
    EXPECT_NE(r.flags & IMAGELIB_MAP_TO_DISPLAY_PALETTE, 0u);
    EXPECT_EQ(r.percents.back(), 100);
    // The rows are the file's own.
    const std::uint32_t offset = file[10] | file[11] << 8 | file[12] << 16;
    const std::size_t rowBytes = RowStride(9, 4) * 5;
    ASSERT_GE(file.size(), offset + rowBytes);
    EXPECT_EQ(0, std::memcmp(&r.dib[kPackedDibRowsOffset], &file[offset], rowBytes));
    // Each colour became its nearest display colour, the greys weighted.
    const fixture::RgbImage source = Reference(path);
    const fixture::RgbImage mapped = fixture::RgbFromPackedDib(r.dib.data());
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            const std::uint8_t* p = source.at(x, y);
            EXPECT_TRUE(
                PixelIs(mapped, x, y, DisplayColors16[ImageMatchColor16(p[0], p[1], p[2], 0)]));
        }
    }
    EXPECT_TRUE(PixelIs(mapped, 1, 1, {128, 128, 0}));  // 100 grey: olive, not grey
    EXPECT_TRUE(PixelIs(mapped, 0, 0, {255, 0, 0}));
    EXPECT_TRUE(PixelIs(mapped, 8, 4, {255, 255, 255}));  // light grey weighted away
}

TEST_F(ColourReduceLoadTest, OneShotLoadReducesAsTheStepwiseOneDoes) {
    Win32SetScreenFormat(32, FALSE);
    const std::string path = TrueColourBmp(19, 12);
    const Loaded stepwise = LoadStepwise(path, kReduce | kNearest);
    ASSERT_EQ(stepwise.code, IMAGELIB_FINISHED);
    std::uint32_t a = 0, b = 0, flags = kReduce | kNearest;
    const std::wstring wide = fixture::Wide(path);
    ASSERT_EQ(ImageLoadFile(wide.c_str(), nullptr, 0, &a, &b, &flags), IMAGELIB_FINISHED);
    EXPECT_EQ(CopyBlock(a), stepwise.dib);
    SerialImageCleanup(&a, &b);
}

// Cleaning up after any number of steps, before the reduction, in its middle or after it,
// leaves nothing behind.
TEST_F(ColourReduceLoadTest, CleanupAtAnyStepFreesEverything) {
    for (auto screen : {4, 32}) {
        Win32SetScreenFormat(screen, FALSE);
        const std::string path = TrueColourBmp(7, 15);
        const std::wstring wide = fixture::Wide(path);
        const int total = static_cast<int>(LoadStepwise(path, kReduce).percents.size());
        ASSERT_GT(total, 15);
        for (int steps = 0; steps <= total; ++steps) {
            std::uint32_t a = 0, b = 0, flags = kReduce;
            int code = SerialImageFileFirst(wide.c_str(), nullptr, 0, &a, &b, &flags);
            for (int i = 0; i < steps && code == IMAGELIB_CALL_AGAIN; ++i) {
                code = SerialImageNext(&a, &b, &flags, nullptr);
            }
            SerialImageCleanup(&a, &b);
            EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_) << "after " << steps << " steps";
            EXPECT_EQ(Win32LiveGlobalBlocks(), liveGlobals_) << "after " << steps << " steps";
        }
    }
}

// Whatever allocation fails, the reduction's among them, the load ends with a code, never
// a crash, and its clean-up frees everything.
TEST_F(ColourReduceLoadTest, FailedAllocationsEndTheLoadCleanly) {
    Win32SetScreenFormat(4, FALSE);
    const std::string path = TrueColourBmp(9, 6);
    const std::wstring wide = fixture::Wide(path);
    bool everyAllocationTried = false;
    std::uint32_t failing = 1;
    for (; failing < 200 && !everyAllocationTried; ++failing) {
        std::uint32_t a = 0, b = 0, flags = kReduce;
        Win32FailGlobalAllocAfter(failing);
        int code = SerialImageFileFirst(wide.c_str(), nullptr, 0, &a, &b, &flags);
        while (code == IMAGELIB_CALL_AGAIN) {
            code = SerialImageNext(&a, &b, &flags, nullptr);
        }
        // When the load made fewer allocations, the failure is still pending.
        const HGLOBAL probe = GlobalAlloc(GHND, 1);
        everyAllocationTried = probe == 0;
        GlobalFree(probe);
        Win32FailGlobalAllocAfter(0);
        if (code == IMAGELIB_FINISHED) {
            const std::vector<std::uint8_t> dib = CopyBlock(a);
            ASSERT_GE(dib.size(), 16u);
            EXPECT_EQ(dib[14], 4) << "allocation " << failing;
        }
        EXPECT_EQ(code == IMAGELIB_FINISHED, everyAllocationTried) << "allocation " << failing;
        SerialImageCleanup(&a, &b);
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_) << "allocation " << failing;
        EXPECT_EQ(Win32LiveGlobalBlocks(), liveGlobals_) << "allocation " << failing;
    }
    EXPECT_TRUE(everyAllocationTried);
    EXPECT_GT(failing, 5u);
}

}  // namespace
}  // namespace imagelib
