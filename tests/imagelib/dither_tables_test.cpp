// The ditherers' generator and look-up tables.
#include "dither_tables.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "random_source.h"

namespace imagelib {
namespace {

class DitherTablesTest : public ::testing::Test {
  protected:
    void SetUp() override { ImageDitherReset(); }
};

TEST_F(DitherTablesTest, FreshGeneratorGivesTheKnownSequence) {
    EXPECT_EQ(ImageRandom(), 41);
    EXPECT_EQ(ImageRandom(), 18467);
    EXPECT_EQ(ImageRandom(), 6334);
    EXPECT_EQ(ImageRandom(), 26500);
    ImageRandomReset();
    EXPECT_EQ(ImageRandom(), 41);
}

TEST_F(DitherTablesTest, GeneratorStaysWithinItsRangeAndIsNotTheCLibrarysRand) {
    srand(12345);
    for (int i = 0; i < 100000; ++i) {
        const int v = ImageRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, kRandomMax);
    }
    ImageRandomReset();
    (void)rand();  // the C library's generator moves; ours does not
    EXPECT_EQ(ImageRandom(), 41);
}

TEST_F(DitherTablesTest, FirstWeightsOfAFreshBuildAreTheFirstValuesModulo13056) {
    ImageDitherInit();
    EXPECT_EQ(DitherTable.weights[0], 41);
    EXPECT_EQ(DitherTable.weights[1], 18467 - 13056);
    EXPECT_EQ(DitherTable.weights[2], 6334);
    EXPECT_EQ(DitherTable.weights[3], 26500 - 2 * 13056);
    for (auto w : DitherTable.weights) {
        EXPECT_LT(w >> 8, 51);
    }
}

TEST_F(DitherTablesTest, TablesAreBuiltOnceAndLaterCallsDrawNothing) {
    ImageDitherInit();
    DitherTable.weights[0] = 7;
    ImageDitherInit();
    EXPECT_EQ(DitherTable.weights[0], 7);
    ImageRandomReset();
    for (int i = 0; i < 256; ++i) {
        (void)ImageRandom();
    }
    const int next = ImageRandom();
    ImageDitherReset();
    ImageDitherInit();
    ImageDitherInit();
    EXPECT_EQ(ImageRandom(), next);
}

struct LevelRange {
    int first, last, index;
};

void ExpectRanges(const std::uint8_t* table, std::initializer_list<LevelRange> ranges) {
    for (const auto& r : ranges) {
        for (int v = r.first; v <= r.last; ++v) {
            EXPECT_EQ(table[v], r.index) << "value " << v;
        }
    }
}

TEST_F(DitherTablesTest, LevelIndexTablesGiveTheNearestLevelLowerOnATie) {
    ImageDitherInit();
    ExpectRanges(DitherTable.blueIndex, {{0, 42, 0}, {43, 127, 1}, {128, 212, 2}, {213, 255, 3}});
    ExpectRanges(DitherTable.redIndex, {{0, 21, 0},
                                        {22, 64, 1},
                                        {65, 106, 2},
                                        {107, 149, 3},
                                        {150, 191, 4},
                                        {192, 234, 5},
                                        {235, 255, 6}});
    ExpectRanges(DitherTable.greenIndex, {{0, 18, 0},
                                          {19, 54, 1},
                                          {55, 91, 2},
                                          {92, 127, 3},
                                          {128, 164, 4},
                                          {165, 200, 5},
                                          {201, 237, 6},
                                          {238, 255, 7}});
    // 64 lies as far from 43 as from 85.
    EXPECT_EQ(ImageNearestLevel(64, kRedLevels, kRedLevelCount), 1);
    EXPECT_EQ(ImageNearestLevel(200, kRedLevels, 1), 0);
    EXPECT_EQ(ImageNearestLevel(200, kRedLevels, 0), 0);
}

TEST_F(DitherTablesTest, ClampsCoverTheirWholeRanges) {
    ImageDitherInit();
    EXPECT_EQ(DitherByteClamp(-256), 0);
    EXPECT_EQ(DitherByteClamp(-1), 0);
    EXPECT_EQ(DitherByteClamp(0), 0);
    EXPECT_EQ(DitherByteClamp(137), 137);
    EXPECT_EQ(DitherByteClamp(255), 255);
    EXPECT_EQ(DitherByteClamp(511), 255);
    EXPECT_EQ(DitherErrorClamp(-512), -256);
    EXPECT_EQ(DitherErrorClamp(-257), -256);
    EXPECT_EQ(DitherErrorClamp(-256), -256);
    EXPECT_EQ(DitherErrorClamp(255), 255);
    EXPECT_EQ(DitherErrorClamp(256), 255);
    EXPECT_EQ(DitherErrorClamp(511), 255);
}

}  // namespace
}  // namespace imagelib
