// The row reducers and their row driver, on contexts built by hand.
#include "colour_reduce.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "dither_tables.h"
#include "load_flags.h"
#include "palettes.h"
#include "random_source.h"
#include "result_codes.h"
#include "tracked_memory.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

using Reducer = int (*)(SerialImageContext*, int);

std::int64_t Stride24(std::int64_t width) {
    return static_cast<std::int64_t>(RowStride(width, 24));
}

// A context with 24-bit work rows of one colour and a result area of the given depth,
// whose bytes start as 0xAB so that anything left unwritten shows.
struct Reduction {
    std::unique_ptr<SerialImageContext> ctx = std::make_unique<SerialImageContext>();
    std::vector<std::uint8_t> work;
    std::vector<std::uint8_t> bits;
    std::int64_t inStride;
    std::int64_t outStride;

    Reduction(std::int32_t width, std::int32_t height, int outBits, std::uint32_t flags = 0)
        : inStride(Stride24(width)),
          outStride(static_cast<std::int64_t>(RowStride(width, outBits))) {
        work.assign(static_cast<std::size_t>(inStride * height) + 1, 0);
        bits.assign(static_cast<std::size_t>(outStride * height) + 1, 0xAB);
        ctx->info.width = width;
        ctx->info.height = height;
        ctx->flags = flags;
        ctx->work = work.data();
        ctx->bits = bits.data();
    }
    void Fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        for (std::int32_t y = 0; y < ctx->info.height; ++y) {
            for (std::int32_t x = 0; x < ctx->info.width; ++x) {
                SetPixel(x, y, red, green, blue);
            }
        }
    }
    void SetPixel(std::int32_t x, std::int32_t y, std::uint8_t red, std::uint8_t green,
                  std::uint8_t blue) {
        std::uint8_t* p = &work[static_cast<std::size_t>(y * inStride + x * 3)];
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    }
    int Index(std::int32_t x, std::int32_t y, int outBits) const {
        const std::uint8_t* row = &bits[static_cast<std::size_t>(y * outStride)];
        if (outBits == 8) {
            return row[x];
        }
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    }
    // Calls the reducer until it is done; returns its last result and the percents seen.
    int Run(Reducer reducer, std::vector<int>* percents = nullptr) {
        int r;
        do {
            r = reducer(ctx.get(), 0);
            if (percents != nullptr) {
                percents->push_back(ctx->info.percent);
            }
        } while (r == kStepAgain);
        EXPECT_EQ(reducer(ctx.get(), 1), kStepDone);
        return r;
    }
};

class ColourReduceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ImageDitherReset();
        ImageUserPaletteReset();
        liveBlocks_ = ImageLiveBlockCount();
    }
    void TearDown() override {
        Win32FailGlobalAllocAfter(0);
        ImageUserPaletteReset();
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
    }
    std::uint32_t liveBlocks_ = 0;
};

TEST_F(ColourReduceTest, ExactPaletteColoursReduceWithoutError) {
    PaletteEntry3 cube[256];
    ImageDisplayPalette256(cube);
    struct Case {
        ImageDitherRowFunction row;
        const PaletteEntry3* palette;
        int count;
        int bits;
    };
    const Case cases[] = {{ImageDitherRow8, cube, 224, 8},
                          {ImageDitherRow4, DisplayColors16.data(), 16, 4},
                          {ImageDitherRowFixed8, GifPalette256.data(), 256, 8},
                          {ImageDitherRowUser8, UserPalette.data(), 256, 8}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(c.count) * 3 + 3);
        for (int i = 0; i < c.count; ++i) {
            row[i * 3] = c.palette[i].blue;
            row[i * 3 + 1] = c.palette[i].green;
            row[i * 3 + 2] = c.palette[i].red;
        }
        const std::vector<std::uint8_t> before = row;
        std::vector<std::uint8_t> out(256, 0);
        std::vector<std::int16_t> errors(static_cast<std::size_t>(c.count + 1) * 3, 0);
        c.row(row.data(), out.data(), errors.data(), c.count, 0);
        EXPECT_EQ(row, before);
        EXPECT_EQ(errors, std::vector<std::int16_t>(errors.size(), 0));
        for (int i = 0; i < c.count; ++i) {
            const int k = c.bits == 8 ? out[i] : (i % 2 == 0 ? out[i / 2] >> 4 : out[i / 2] & 15);
            const PaletteEntry3& got = c.palette[k];
            EXPECT_TRUE(got.red == c.palette[i].red && got.green == c.palette[i].green &&
                        got.blue == c.palette[i].blue)
                << "entry " << i << " of a " << c.count << "-colour palette";
        }
    }
}

TEST_F(ColourReduceTest, ErrorIsSplitRightDownAndDiagonallyByTheWeight) {
    ImageDitherInit();
    // a = 10, b = 20 mod (63 - 10) = 20 for every pixel.
    for (auto& w : DitherTable.weights) {
        w = (10 << 8) | 20;
    }
    std::uint8_t row[9] = {20, 20, 20, 0, 0, 0};  // blue, green, red
    std::uint8_t out[2] = {};
    std::int16_t errors[9] = {};
    ImageDitherRow8(row, out, errors, 2, 0);
    // Pixel 0 becomes (red 0, green 36, blue 0): errors blue 20, green -16, red 20.
    // Right: 200 >> 6 = 3 and -160 >> 6 = -3 (floored); down: 6 and -5; the rest diagonal.
    EXPECT_EQ(out[0], (0 * 8 + 1) * 4 + 0);
    EXPECT_EQ(row[3], 3);
    EXPECT_EQ(row[4], 0);
    EXPECT_EQ(row[5], 3);
    EXPECT_EQ(out[1], 0);
    // Pixel 1, (3, 0, 3), keeps its small error: only its diagonal share is nonzero.
    const std::int16_t expected[9] = {6, -5, 6, 11, -8, 11, 3, 0, 3};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(errors[i], expected[i]) << i;
    }
    // The next row receives those errors before it is quantised, and starts afresh.
    std::uint8_t next[9] = {10, 10, 10, 10, 10, 10};
    ImageDitherRow8(next, out, errors, 2, 0);
    EXPECT_EQ(next[0], 16);
    EXPECT_EQ(next[1], 5);
}

TEST_F(ColourReduceTest, NearestColourModeChangesNothingAndDrawsNothing) {
    ImageDitherInit();
    const std::uint32_t index = DitherWeightIndex;
    std::uint8_t row[12] = {20, 20, 20, 200, 100, 50, 1, 2, 3};
    const std::vector<std::uint8_t> before(row, row + 12);
    std::int16_t errors[12] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    std::uint8_t out[3] = {};
    ImageDitherRow8(row, out, errors, 3, kFlagNearestColour);
    EXPECT_EQ(std::vector<std::uint8_t>(row, row + 12), before);
    for (auto e : errors) {
        EXPECT_EQ(e, 5);
    }
    EXPECT_EQ(DitherWeightIndex, index);
    EXPECT_EQ(out[0], (0 * 8 + 1) * 4 + 0);
    EXPECT_EQ(out[1], (1 * 8 + 3) * 4 + 2);  // red 50, green 100, blue 200
    EXPECT_EQ(out[2], 0);
    // Nothing was drawn: the generator is where the table build left it.
    ImageRandomReset();
    for (int i = 0; i < 256; ++i) {
        (void)ImageRandom();
    }
    const int expected = ImageRandom();
    ImageDitherReset();
    ImageDitherInit();
    ImageDitherRow4(row, out, errors, 3, kFlagNearestColour);
    EXPECT_EQ(ImageRandom(), expected);
}

double MeanOf(const Reduction& r, int bits, const PaletteEntry3* palette, int component) {
    double sum = 0;
    for (std::int32_t y = 0; y < r.ctx->info.height; ++y) {
        for (std::int32_t x = 0; x < r.ctx->info.width; ++x) {
            const PaletteEntry3& c = palette[r.Index(x, y, bits)];
            sum += component == 0 ? c.red : component == 1 ? c.green : c.blue;
        }
    }
    return sum / (static_cast<double>(r.ctx->info.width) * r.ctx->info.height);
}

TEST_F(ColourReduceTest, FlatGreyKeepsItsMeanAfterDithering) {
    PaletteEntry3 cube[256];
    ImageDisplayPalette256(cube);
    for (int grey : {100, 150, 20}) {
        Reduction r(61, 48, 8);
        r.Fill(grey, grey, grey);
        ASSERT_EQ(r.Run(ImageReduceToDisplay8), kStepDone);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(MeanOf(r, 8, cube, c), grey, 2.5) << "grey " << grey << " component " << c;
        }
    }
    Reduction r4(61, 48, 4, kFlagReduce4PlainGreys);
    r4.Fill(100, 100, 100);
    ASSERT_EQ(r4.Run(ImageReduceToDisplay4), kStepDone);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(MeanOf(r4, 4, DisplayColors16.data(), c), 100, 4) << "component " << c;
    }
}

TEST_F(ColourReduceTest, NearestColourReductionGivesEachPixelItsNearestColour) {
    Palette256 mine{};
    for (int i = 0; i < 256; ++i) {
        mine[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                   static_cast<std::uint8_t>(i / 2)};
    }
    ImageUserPaletteExchange(mine.data(), 1);
    struct Case {
        Reducer reducer;
        int bits;
        std::uint32_t flags;
        int (*match)(std::uint8_t, std::uint8_t, std::uint8_t, std::uint32_t);
    };
    const Case cases[] = {
        {ImageReduceToDisplay4, 4, kFlagReduce4NoEntry0, ImageMatchColor16},
        {ImageReduceToFixedPalette, 8, 0, ImageMatchColor256},
        {ImageReduceToUserPalette, 8, 0, ImageMatchUserColor},
    };
    for (const auto& c : cases) {
        Reduction r(13, 7, c.bits, kFlagNearestColour | c.flags);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 13; ++x) {
                r.SetPixel(x, y, static_cast<std::uint8_t>(x * 19 + y),
                           static_cast<std::uint8_t>(y * 37), static_cast<std::uint8_t>(x * y * 3));
            }
        }
        const std::vector<std::uint8_t> work = r.work;
        ASSERT_EQ(r.Run(c.reducer), kStepDone);
        EXPECT_EQ(r.work, work);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 13; ++x) {
                EXPECT_EQ(r.Index(x, y, c.bits),
                          c.match(static_cast<std::uint8_t>(x * 19 + y),
                                  static_cast<std::uint8_t>(y * 37),
                                  static_cast<std::uint8_t>(x * y * 3), c.flags))
                    << x << "," << y;
            }
        }
    }
}

TEST_F(ColourReduceTest, RowsGoBottomUpWithProgressFromFiftyToHundred) {
    Reduction r(5, 4, 8, kFlagNearestColour);
    r.Fill(255, 255, 255);
    r.SetPixel(0, 0, 0, 0, 0);  // first stored row
    std::vector<int> percents;
    EXPECT_EQ(r.Run(ImageReduceToDisplay8, &percents), kStepDone);
    EXPECT_EQ(percents, (std::vector<int>{62, 75, 87, 100}));
    EXPECT_EQ(r.bits[0], 0);
    EXPECT_EQ(r.bits[1], 223);
    // Padding of every row is cleared.
    for (int y = 0; y < 4; ++y) {
        for (int x = 5; x < 8; ++x) {
            EXPECT_EQ(r.bits[static_cast<std::size_t>(y * 8 + x)], 0);
        }
    }
    EXPECT_EQ(r.bits.back(), 0xAB);  // nothing written past the last row
}

TEST_F(ColourReduceTest, FourBitRowOfOddWidthEndsWithAnEmptyLowNibble) {
    Reduction r(3, 2, 4);
    r.Fill(255, 255, 255);
    ASSERT_EQ(r.Run(ImageReduceToDisplay4), kStepDone);
    for (int y = 0; y < 2; ++y) {
        const std::uint8_t* row = &r.bits[static_cast<std::size_t>(y * 4)];
        EXPECT_EQ(row[0], 0xFF);
        EXPECT_EQ(row[1], 0xF0);
        EXPECT_EQ(row[2], 0);
        EXPECT_EQ(row[3], 0);
    }
}

TEST_F(ColourReduceTest, EmptyImagesFinishAtOnce) {
    Reduction flat(7, 0, 8);
    EXPECT_EQ(ImageReduceToDisplay8(flat.ctx.get(), 0), kStepDone);
    EXPECT_EQ(flat.ctx->info.percent, 100);
    EXPECT_NE(flat.ctx->info.reducerRowCopy, nullptr);
    EXPECT_EQ(ImageReduceToDisplay8(flat.ctx.get(), 1), kStepDone);
    EXPECT_EQ(flat.ctx->info.reducerRowCopy, nullptr);

    Reduction narrow(0, 3, 4);
    std::vector<int> percents;
    EXPECT_EQ(narrow.Run(ImageReduceToDisplay4, &percents), kStepDone);
    EXPECT_EQ(percents, (std::vector<int>{66, 83, 100}));
    EXPECT_EQ(narrow.bits.back(), 0xAB);
}

TEST_F(ColourReduceTest, AbortBeforeAndDuringFreesWhatIsAllocated) {
    Reduction r(9, 5, 8);
    r.Fill(90, 140, 30);
    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 1), kStepDone);  // idle: nothing to free
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);

    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 0), kStepAgain);
    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 0), kStepAgain);
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_ + 2);
    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 1), kStepDone);
    EXPECT_EQ(r.ctx->info.reducerRowCopy, nullptr);
    EXPECT_EQ(r.ctx->info.reducerErrorRows, nullptr);
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 1), kStepDone);

    // A new reduction on the same context starts again from row 0.
    r.ctx->flags = kFlagNearestColour;
    std::vector<int> percents;
    EXPECT_EQ(r.Run(ImageReduceToDisplay8, &percents), kStepDone);
    EXPECT_EQ(percents.size(), 5u);
    EXPECT_EQ(percents.front(), 60);
}

TEST_F(ColourReduceTest, ReducerThatCannotAllocateFreesWhatItHasAndFailsWithOne) {
    for (std::uint32_t failing : {1u, 2u}) {
        Reduction r(9, 3, 4);
        r.Fill(10, 200, 90);
        Win32FailGlobalAllocAfter(failing);
        EXPECT_EQ(ImageReduceToDisplay4(r.ctx.get(), 0), kOutOfMemory) << failing;
        EXPECT_EQ(r.ctx->info.reducerRowCopy, nullptr);
        EXPECT_EQ(r.ctx->info.reducerErrorRows, nullptr);
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
        EXPECT_EQ(r.bits.front(), 0xAB);  // no row was written
        // Later calls start cleanly once memory is there again.
        Win32FailGlobalAllocAfter(0);
        EXPECT_EQ(r.Run(ImageReduceToDisplay4), kStepDone);
        EXPECT_EQ(r.ctx->info.percent, 100);
    }
}

TEST_F(ColourReduceTest, HalfAReducerIsNeverResumed) {
    Reduction r(6, 2, 8, kFlagNearestColour);
    r.Fill(255, 255, 255);
    r.ctx->info.reducerRowCopy = static_cast<std::uint8_t*>(ImageAlloc(4));
    r.ctx->reducerRow = 1;
    EXPECT_EQ(ImageReduceToDisplay8(r.ctx.get(), 0), kStepAgain);
    EXPECT_NE(r.ctx->info.reducerErrorRows, nullptr);
    EXPECT_EQ(r.ctx->reducerRow, 1);  // started again from row 0
    EXPECT_EQ(r.Run(ImageReduceToDisplay8), kStepDone);
    EXPECT_EQ(r.bits[0], 223);
}

TEST_F(ColourReduceTest, SizesBeyondThirtyTwoBitsAndBadArgumentsFailWithOne) {
    auto ctx = std::make_unique<SerialImageContext>();
    std::uint8_t byte = 0;
    ctx->work = &byte;
    ctx->bits = &byte;
    ctx->info.height = 1;
    for (std::int32_t width : {0x7FFFFFFF, 0x30000000, -1}) {
        ctx->info.width = width;
        EXPECT_EQ(ImageReduceToDisplay8(ctx.get(), 0), kOutOfMemory) << width;
        EXPECT_EQ(ctx->info.reducerRowCopy, nullptr);
    }
    ctx->info.width = 1;
    ctx->info.height = -1;
    EXPECT_EQ(ImageReduceToDisplay8(ctx.get(), 0), kOutOfMemory);
    ctx->info.height = 1;
    ctx->work = nullptr;
    EXPECT_EQ(ImageReduceToDisplay8(ctx.get(), 0), kOutOfMemory);
    EXPECT_EQ(ImageReduceToDisplay8(ctx.get(), 1), kStepDone);
}

TEST_F(ColourReduceTest, SameRowsGiveTheSameIndicesWithAFreshGenerator) {
    auto reduce = [] {
        ImageDitherReset();
        Reduction r(17, 9, 8);
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 17; ++x) {
                r.SetPixel(x, y, static_cast<std::uint8_t>(x * 15),
                           static_cast<std::uint8_t>(y * 28), 77);
            }
        }
        EXPECT_EQ(r.Run(ImageReduceToDisplay8), kStepDone);
        return r.bits;
    };
    EXPECT_EQ(reduce(), reduce());
}

}  // namespace
}  // namespace imagelib
