// The ditherers' generator and weights, the nearest-colour searches, and the row reducers
// with their row driver on contexts built by hand.
#include "colour/colour_reduce.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "colour/dither_tables.h"
#include "colour/palettes.h"
#include "colour/random_source.h"
#include "colour_expectations.h"
#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

using Reducer = int (*)(ColourReducer*, const ReduceRows&, int);

// 24-bit work rows and result rows of the given depth, whose bytes start as 0xAB so that
// anything left unwritten shows; one spare byte behind each.
struct Reduction {
    ColourReducer reducer{};
    std::vector<std::uint8_t> work;
    std::vector<std::uint8_t> bits;
    ReduceRows rows;
    std::size_t inStride, outStride;
    int outBits;
    std::int32_t percent = 0;

    Reduction(std::int32_t width, std::int32_t height, int outBits, std::uint32_t flags = 0)
        : inStride(RowStride(width, 24)), outStride(RowStride(width, outBits)), outBits(outBits) {
        work.assign(inStride * height + 1, 0);
        bits.assign(outStride * height + 1, 0xAB);
        rows = ReduceRows{work.data(), bits.data(), width, height, flags};
    }
    template <class F>  // f(x, y) gives the pixel's colour
    void Fill(F f) {
        for (std::int32_t i = 0; i < rows.width * rows.height; ++i) {
            const PaletteEntry3 c = f(i % rows.width, i / rows.width);
            const std::uint8_t bgr[3] = {c.blue, c.green, c.red};
            std::memcpy(&work[i / rows.width * inStride + i % rows.width * 3], bgr, 3);
        }
    }
    int Index(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* row = &bits[y * outStride];
        return outBits == 8 ? row[x] : x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    }
    int Step(Reducer reducer, int abort) {
        const int r = reducer(&this->reducer, rows, abort);
        percent = ImageReducePercent(this->reducer, rows.height);
        return r;
    }
    // Calls the reducer until it is done, then once with abort; its last result.
    int Run(Reducer reducer, std::vector<int>* percents = nullptr) {
        int r;
        do {
            r = Step(reducer, 0);
            if (percents != nullptr)
                percents->push_back(percent);
        } while (r == kStepAgain);
        EXPECT_EQ(reducer(&this->reducer, rows, 1), kStepDone);
        return r;
    }
};

// The expected colours as the library's palette entries.
std::vector<PaletteEntry3> Entries(const expect::Rgb* colours, int count) {
    std::vector<PaletteEntry3> out;
    for (int i = 0; i < count; ++i)
        out.push_back({colours[i].red, colours[i].green, colours[i].blue});
    return out;
}

PaletteEntry3 Grey(int v) {
    return {std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)};
}

class ColourReduceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ImageDitherReset();
        ImageUserPaletteReset();
    }
    void TearDown() override {
        Win32FailGlobalAllocAfter(0);
        ImageUserPaletteReset();
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
    }
    std::uint32_t liveBlocks_ = ImageLiveBlockCount();
};

TEST_F(ColourReduceTest, AFreshGeneratorGivesTheFirstValuesAndWeightsOnce) {
    std::srand(12345);
    for (int expected : {41, 18467, 6334, 26500})
        EXPECT_EQ(ImageRandom(), expected);
    ImageRandomReset();
    (void)std::rand();  // the C library's generator moves; ours does not
    EXPECT_EQ(ImageRandom(), 41);

    ImageDitherReset();
    ImageDitherInit();
    const std::uint16_t first[4] = {41, 18467 - 13056, 6334, 26500 - 2 * 13056};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(DitherTable.weights[i], first[i]) << i;
    // Built once: a later call keeps the weights and draws nothing from the generator.
    DitherTable.weights[0] = 7;
    ImageDitherInit();
    EXPECT_EQ(DitherTable.weights[0], 7);
    ImageRandomReset();
    for (int i = 0; i < kDitherWeightCount; ++i)
        (void)ImageRandom();
    const int next = ImageRandom();
    ImageDitherReset();
    ImageDitherInit();
    ImageDitherInit();
    EXPECT_EQ(ImageRandom(), next);
}

// The weighted greys are checked through the exports; these are the flags and bounds.
TEST_F(ColourReduceTest, TheSearchesTakeTheirFlagsAndKeepTheirBounds) {
    EXPECT_EQ(ImageMatchColor16(100, 100, 100, kFlagReduce4PlainGreys), 7);
    EXPECT_EQ(ImageMatchColor16(210, 210, 210, kFlagReduce4PlainGreys), 8);
    EXPECT_EQ(ImageMatchColor16(128, 128, 128, 0), 7);               // an exact grey, weighted
    EXPECT_EQ(ImageMatchColor16(0, 0, 0, kFlagReduce4NoEntry0), 1);  // first of three ties
    EXPECT_NE(ImageMatchColor256(0, 0, 0, kFlagReduce4NoEntry0), 0);
    EXPECT_EQ(ImageMatchUserColor(0, 0, 0, kFlagReduce4NoEntry0), 0);  // ignores the flags
    EXPECT_EQ(ImageNearestColor16(255, 255, 255, 9, 3, 0), 0);
    EXPECT_EQ(ImageNearestColor16(255, 255, 255, -5, 99, 0), 15);
    EXPECT_EQ(ImageNearestColor256(255, 255, 255, -5, 999), 255);
}

TEST_F(ColourReduceTest, ExactPaletteColoursReduceWithoutError) {
    const std::vector<PaletteEntry3> cube = Entries(expect::Cube().data(), 256);
    const std::vector<PaletteEntry3> display16 = Entries(expect::kDisplay16, 16);
    struct Case {
        Reducer reducer;
        const PaletteEntry3* palette;
        int count, bits;
    };
    // The fixed and the caller palette's colours are the library's own choice: they are the
    // input here, and each must come back as itself.
    for (const Case& c : {Case{ImageReduceToDisplay8, cube.data(), 224, 8},
                          Case{ImageReduceToDisplay4, display16.data(), 16, 4},
                          Case{ImageReduceToFixedPalette, GifPalette256.data(), 256, 8},
                          Case{ImageReduceToUserPalette, UserPalette.data(), 256, 8}}) {
        Reduction r(c.count, 2, c.bits);  // an error in the first row would reach the second
        r.Fill([&c](int x, int) { return c.palette[x]; });
        ASSERT_EQ(r.Run(c.reducer), kStepDone);
        for (int i = 0; i < c.count * 2; ++i) {
            EXPECT_EQ(std::memcmp(&c.palette[r.Index(i % c.count, i / c.count)],
                                  &c.palette[i % c.count], 3),
                      0)
                << "entry " << i % c.count << " of a " << c.count << "-colour palette";
        }
    }
}

TEST_F(ColourReduceTest, FlatGreyKeepsItsMeanAndAFreshGeneratorRepeatsItsDithering) {
    const std::array<expect::Rgb, 256> cube = expect::Cube();
    struct Case {
        Reducer reducer;
        int grey;
    };
    for (const Case c : {Case{ImageReduceToDisplay8, 100}, Case{ImageReduceToDisplay8, 150},
                         Case{ImageReduceToDisplay8, 20}, Case{ImageReduceToDisplay4, 100}}) {
        const Reducer reducer = c.reducer;
        const int grey = c.grey;
        const bool four = reducer == ImageReduceToDisplay4;
        std::vector<std::uint8_t> first;
        for (int run = 0; run < 2; ++run) {
            ImageDitherReset();
            Reduction r(61, 48, four ? 4 : 8, four ? kFlagReduce4PlainGreys : 0);
            r.Fill([grey](int, int) { return Grey(grey); });
            ASSERT_EQ(r.Run(reducer), kStepDone);
            double sum[3] = {};
            for (int y = 0; y < 48; ++y) {
                for (int x = 0; x < 61; ++x) {
                    const expect::Rgb& e =
                        four ? expect::kDisplay16[r.Index(x, y)] : cube[r.Index(x, y)];
                    sum[0] += e.red, sum[1] += e.green, sum[2] += e.blue;
                }
            }
            for (double s : sum)
                EXPECT_NEAR(s / (61 * 48), grey, four ? 4 : 2.5) << "grey " << grey;
            if (run == 1) {
                EXPECT_EQ(r.bits, first) << "grey " << grey;
            }
            first = r.bits;
        }
    }
}

// The GIF creators' reducers; the display reducers are checked through the exports.
TEST_F(ColourReduceTest, NearestColourModeGivesEachPixelItsNearestColourAndKeepsTheRows) {
    Palette256 mine{};
    for (int i = 0; i < 256; ++i)
        mine[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)};
    ImageUserPaletteExchange(mine.data(), 1);
    auto colour = [](int x, int y) {
        return PaletteEntry3{std::uint8_t(x * 19 + y), std::uint8_t(y * 37),
                             std::uint8_t(x * y * 3)};
    };
    std::vector<expect::Rgb> fixed;
    for (const PaletteEntry3& e : GifPalette256)
        fixed.push_back({e.red, e.green, e.blue});
    std::vector<expect::Rgb> caller;
    for (const PaletteEntry3& e : mine)
        caller.push_back({e.red, e.green, e.blue});
    // The fixed palette's search skips entry 0 with 0x40; the caller palette's never does.
    for (const std::uint32_t extra : {0u, kFlagReduce4NoEntry0}) {
        for (auto [reducer, palette] : {std::pair<Reducer, const std::vector<expect::Rgb>*>{
                                            ImageReduceToFixedPalette, &fixed},
                                        {ImageReduceToUserPalette, &caller}}) {
            Reduction r(13, 7, 8, kFlagNearestColour | extra);
            r.Fill(colour);
            const std::vector<std::uint8_t> work = r.work;
            ASSERT_EQ(r.Run(reducer), kStepDone);
            EXPECT_EQ(r.work, work);
            const int first = extra != 0 && palette == &fixed ? 1 : 0;
            for (int i = 0; i < 13 * 7; ++i) {
                const PaletteEntry3 p = colour(i % 13, i / 13);
                EXPECT_EQ(r.Index(i % 13, i / 13),
                          expect::Nearest(palette->data(), 256, first, p.red, p.green, p.blue))
                    << i;
            }
        }
    }
    EXPECT_EQ(ImageNearestUserColor(100, 155, 50), 100);
}

TEST_F(ColourReduceTest, RowsGoBottomUpWithClearedPaddingAndProgressFromFiftyToHundred) {
    struct Case {
        int width, height, bits;
        std::vector<int> percents;
    };
    const Case cases[] = {{5, 4, 8, {62, 75, 87, 100}},
                          {3, 2, 4, {75, 100}},  // odd width: an empty low nibble
                          {7, 0, 8, {100}},
                          {0, 3, 4, {66, 83, 100}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Reduction r(c.width, c.height, c.bits, kFlagNearestColour);
        r.Fill([](int x, int y) { return Grey(x == 0 && y == 0 ? 0 : 255); });
        std::vector<int> percents;
        EXPECT_EQ(r.Run(c.bits == 8 ? ImageReduceToDisplay8 : ImageReduceToDisplay4, &percents),
                  kStepDone);
        EXPECT_EQ(percents, c.percents);
        const int white = c.bits == 8 ? 223 : 15;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(r.Index(x, y), x == 0 && y == 0 ? 0 : white) << x << "," << y;
            const std::size_t used = (std::size_t(c.width) * c.bits + 7) / 8;
            for (std::size_t i = used; i < r.outStride; ++i)
                EXPECT_EQ(r.bits[y * r.outStride + i], 0) << "padding of row " << y;
            if (c.bits == 4 && c.width % 2 == 1) {
                EXPECT_EQ(r.bits[y * r.outStride + used - 1] & 15, 0);
            }
        }
        EXPECT_EQ(r.bits.back(), 0xAB);  // nothing written past the last row
    }
}

TEST_F(ColourReduceTest, AbortAndFailingAllocationsFreeWhatIsAllocated) {
    Reduction r(9, 5, 8);
    r.Fill([](int, int) { return PaletteEntry3{90, 140, 30}; });
    EXPECT_EQ(r.Step(ImageReduceToDisplay8, 1), kStepDone);  // idle: nothing to free
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
    EXPECT_EQ(r.Step(ImageReduceToDisplay8, 0), kStepAgain);
    EXPECT_EQ(r.Step(ImageReduceToDisplay8, 0), kStepAgain);
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_ + 2);
    EXPECT_EQ(r.Step(ImageReduceToDisplay8, 1), kStepDone);
    EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
    EXPECT_EQ(r.Step(ImageReduceToDisplay8, 1), kStepDone);
    // A new reduction on the same context starts again from row 0.
    std::vector<int> percents;
    EXPECT_EQ(r.Run(ImageReduceToDisplay8, &percents), kStepDone);
    EXPECT_EQ(percents, (std::vector<int>{60, 70, 80, 90, 100}));

    // A reducer that cannot allocate its rows frees what it has and fails with 1.
    for (std::uint32_t failing : {1u, 2u}) {
        Reduction r4(9, 3, 4);
        r4.Fill([](int, int) { return PaletteEntry3{10, 200, 90}; });
        Win32FailGlobalAllocAfter(failing);
        EXPECT_EQ(r4.Step(ImageReduceToDisplay4, 0), kOutOfMemory) << failing;
        EXPECT_EQ(ImageLiveBlockCount(), liveBlocks_);
        EXPECT_EQ(r4.bits.front(), 0xAB);  // no row was written
        // Later calls start cleanly once memory is there again.
        Win32FailGlobalAllocAfter(0);
        EXPECT_EQ(r4.Run(ImageReduceToDisplay4), kStepDone);
        EXPECT_EQ(r4.percent, 100);
    }
}

TEST_F(ColourReduceTest, SizesBeyondThirtyTwoBitsAndBadArgumentsFailWithOne) {
    ColourReducer reducer{};
    std::uint8_t byte = 0;
    for (auto [width, height] : {std::pair{0x7FFFFFFF, 1}, {0x30000000, 1}, {-1, 1}, {1, -1}}) {
        EXPECT_EQ(ImageReduceToDisplay8(&reducer, ReduceRows{&byte, &byte, width, height, 0}, 0),
                  kOutOfMemory)
            << width << "x" << height;
    }
    const ReduceRows noWork{nullptr, &byte, 1, 1, 0};
    EXPECT_EQ(ImageReduceToDisplay8(&reducer, noWork, 0), kOutOfMemory);
    EXPECT_EQ(ImageReduceToDisplay8(&reducer, noWork, 1), kStepDone);
}

}  // namespace
}  // namespace imagelib
