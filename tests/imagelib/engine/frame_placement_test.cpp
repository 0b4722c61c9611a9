// A GIF frame smaller than its logical screen: placed before any colour reduction, so the
// background and the frame keep their colours whatever the display and the flags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/load_flags.h"
#include "fixture_support.h"
#include "formats/gif/gif_fixtures.h"
#include "imagelib.h"
#include "win32/gdi.h"

using namespace imagelib;

namespace {

constexpr std::uint8_t kWhite[3] = {255, 255, 255};
constexpr std::uint8_t kGreen[3] = {0, 255, 0};
constexpr std::uint8_t kBlue[3] = {0, 0, 255};

// A 4 x 2 screen with a white background (index 0) and a table of 1 << tableBits entries
// (white, green, blue, then black), one 2 x 1 frame at (left, 1): [green, blue], or
// [green, green] when the table has two entries. A transparent control block (index 0,
// which the frame does not use) comes first when asked.
std::vector<std::uint8_t> PlacedGif(int tableBits, int left, bool transparent) {
    giffix::Still g;
    g.screenWidth = 4;
    g.screenHeight = 2;
    for (int i = 0; i < 1 << tableBits; ++i) {
        const std::uint8_t* c = i == 0 ? kWhite : i == 1 ? kGreen : i == 2 ? kBlue : nullptr;
        for (int k = 0; k < 3; ++k)
            g.table.push_back(c != nullptr ? c[k] : 0);
    }
    g.transparent = transparent ? 0 : -1;
    g.left = left;
    g.top = 1;
    g.width = 2;
    g.height = 1;
    g.indices = tableBits == 1 ? std::vector<int>{1, 1} : std::vector<int>{1, 2};
    return giffix::MakeGif(g);
}

struct Screen {
    const char* name;
    int bits;
    BOOL palette;
    std::uint32_t flags;
    int resultBits;
};

class FramePlacement : public ::testing::Test {
  protected:
    void TearDown() override { Win32SetScreenFormat(32, FALSE); }
    fixture::TempDir dir;
    fixture::LiveBlocks live;
};

TEST_F(FramePlacement, APlacedFrameKeepsItsColoursThroughEveryReduction) {
    const Screen screens[] = {
        {"true colour", 32, FALSE, 0, 8},
        {"16 colours with 0x20", 4, FALSE, kFlagReduce, 4},
        {"256-colour palette with 0x20", 8, TRUE, kFlagReduce, 8},
        {"true colour with 0x10000", 32, FALSE, kFlagForce8Bit, 8},
    };
    for (int tableBits : {1, 4, 8}) {
        for (int left : {1, 2}) {
            for (bool mask : {false, true}) {
                const std::string file = dir.file("placed.gif");
                ASSERT_TRUE(fixture::WriteFile(file, PlacedGif(tableBits, left, mask)));
                const std::uint32_t maskFlags = mask ? kFlagImageAndMask : 0;
                Win32SetScreenFormat(32, FALSE);
                const fixture::Loaded plain = fixture::LoadFile(file, maskFlags);
                ASSERT_EQ(plain.code, IMAGELIB_FINISHED);
                const fixture::RgbImage expected = plain.rgb();
                ASSERT_EQ(expected.width, mask ? 8 : 4);
                ASSERT_EQ(expected.height, 2);
                if (!mask) {
                    // Top row: background only; bottom row: the frame at its left edge.
                    const std::uint8_t* second = tableBits == 1 ? kGreen : kBlue;
                    for (int x = 0; x < 4; ++x) {
                        const std::uint8_t* want = x == left       ? kGreen
                                                   : x == left + 1 ? second
                                                                   : kWhite;
                        EXPECT_EQ(
                            std::vector<std::uint8_t>(expected.at(x, 1), expected.at(x, 1) + 3),
                            std::vector<std::uint8_t>(want, want + 3))
                            << tableBits << " bits, left " << left << ", x " << x;
                        EXPECT_EQ(
                            std::vector<std::uint8_t>(expected.at(x, 0), expected.at(x, 0) + 3),
                            std::vector<std::uint8_t>(kWhite, kWhite + 3));
                    }
                }
                for (const Screen& s : screens) {
                    SCOPED_TRACE(std::string(s.name) + ", " + std::to_string(tableBits) +
                                 " bits, left " + std::to_string(left) + (mask ? ", mask" : ""));
                    Win32SetScreenFormat(s.bits, s.palette);
                    const fixture::Loaded oneShot = fixture::LoadFile(file, s.flags | maskFlags);
                    const fixture::Loaded stepwise =
                        fixture::LoadStepwise(file, s.flags | maskFlags);
                    ASSERT_EQ(oneShot.code, IMAGELIB_FINISHED);
                    EXPECT_EQ(oneShot.bits(), s.resultBits);
                    EXPECT_EQ(fixture::CompareRgb(expected, oneShot.rgb()), "");
                    EXPECT_EQ(oneShot.dib, stepwise.dib);
                    EXPECT_EQ(oneShot.palette, stepwise.palette);
                }
            }
        }
    }
    EXPECT_EQ(live.Leaked(), "");
}

}  // namespace
