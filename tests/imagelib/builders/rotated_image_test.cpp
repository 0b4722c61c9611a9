// CreateRotatedImage: the new size and every pixel, against a plain per-pixel rendering
// of the same turn in the test.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "builders/builders_fixtures.h"
#include "imagelib.h"

namespace builders_test {
namespace {

Colour Gradient(LONG x, LONG y) {
    return {BYTE(40 + x * 9), BYTE(200 - y * 7), BYTE((x * 5 + y * 11) % 256)};
}

// The turned picture as the builder defines it: destination pixel (X, Y), counted from
// the bottom-left, shows the source pixel it turns back to, or the source's bottom-left
// pixel. The angle uses 3.1416 for pi.
Colour Expected(LONG w, LONG h, LONG newW, LONG newH, int degrees, LONG X, LONG Y) {
    const double angle = degrees * 3.1416 / 180.0;
    const double s = std::sin(angle), c = std::cos(angle);
    const LONG x = X - newW / 2, y = Y - newH / 2;
    const LONG sx = LONG(x * c - y * s) + w / 2;
    const LONG sy = LONG(x * s + y * c) + h / 2;
    if (sx < 0 || sx >= w || sy < 0 || sy >= h)
        return Gradient(0, 0);
    return Gradient(sx, sy);
}

LONG Up4(double v) {
    return (LONG(v) + 3) / 4 * 4;
}

using RotatedImageTest = BuilderTest;

TEST_F(RotatedImageTest, SizesFollowTheTurnAndAreMultiplesOfFour) {
    ScreenDc dc;
    struct {
        LONG w, h;
        int degrees;
        BOOL fit;
        LONG newW, newH;
    } const cases[] = {{5, 3, 0, FALSE, 8, 4},
                       {100, 50, 90, TRUE, 52, 100},
                       {64, 64, 45, TRUE, 92, 92},
                       {100, 50, 90, FALSE, 100, 52}};
    for (const auto& k : cases) {
        Bitmap source(MakeBitmap(k.w, k.h, Gradient));
        Bitmap turned(CreateRotatedImage(dc.get(), source.get(), k.degrees, k.fit));
        ASSERT_NE(turned.get(), 0u);
        EXPECT_EQ(SizeOf(turned.get()).width, k.newW) << k.w << "x" << k.h << " " << k.degrees;
        EXPECT_EQ(SizeOf(turned.get()).height, k.newH) << k.w << "x" << k.h << " " << k.degrees;
    }
}

TEST_F(RotatedImageTest, NoTurnWithoutFitCentresThePictureOnTheLargerBitmap) {
    ScreenDc dc;
    Bitmap source(MakeBitmap(5, 3, Gradient));
    Bitmap turned(CreateRotatedImage(dc.get(), source.get(), 0, FALSE));
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc.get(), turned.get(), 8, 4);
    ASSERT_FALSE(rows.empty());
    for (LONG y = 0; y < 4; ++y) {
        for (LONG x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1;
            EXPECT_EQ(gdi_test::At(rows, 8, x, y), inside ? Gradient(x - 2, y - 1) : Gradient(0, 0))
                << x << "," << y;
        }
    }
}

// Width, height, degrees, fit.
using TurnCase = std::tuple<LONG, LONG, int, BOOL>;

class RotatedPixels : public BuilderTest, public testing::WithParamInterface<TurnCase> {};

TEST_P(RotatedPixels, EveryPixelIsTheOneItTurnsBackTo) {
    const auto& [w, h, degrees, fit] = GetParam();
    ScreenDc dc;
    Bitmap source(MakeBitmap(w, h, Gradient));
    Bitmap turned(CreateRotatedImage(dc.get(), source.get(), degrees, fit));
    ASSERT_NE(turned.get(), 0u);
    const double a = degrees * 3.1416 / 180.0;
    const LONG newW =
        fit ? Up4(std::fabs(w * std::cos(a)) + std::fabs(h * std::sin(a)) + 0.5) : Up4(w);
    const LONG newH =
        fit ? Up4(std::fabs(w * std::sin(a)) + std::fabs(h * std::cos(a)) + 0.5) : Up4(h);
    ASSERT_EQ(SizeOf(turned.get()).width, newW);
    ASSERT_EQ(SizeOf(turned.get()).height, newH);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc.get(), turned.get(), newW, newH);
    ASSERT_FALSE(rows.empty());
    for (LONG y = 0; y < newH; ++y) {
        for (LONG x = 0; x < newW; ++x) {
            ASSERT_EQ(gdi_test::At(rows, newW, x, y), Expected(w, h, newW, newH, degrees, x, y))
                << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(QuarterTurns, RotatedPixels,
                         testing::Combine(testing::Values(5, 8), testing::Values(3, 6),
                                          testing::Values(0, 90, 180, 270, 45, -30),
                                          testing::Values(FALSE, TRUE)));

// Red in the source's top-left quarter, grey elsewhere (y counted from the bottom).
Colour TopLeftRed(LONG x, LONG y) {
    return x < 10 && y >= 5 ? Colour{255, 0, 0} : Colour{90, 90, 90};
}

TEST_F(RotatedImageTest, APositiveAngleTurnsThePictureClockwise) {
    ScreenDc dc;
    Bitmap source(MakeBitmap(20, 10, TopLeftRed));
    Bitmap turned(CreateRotatedImage(dc.get(), source.get(), 90, TRUE));
    ASSERT_EQ(SizeOf(turned.get()).width, 12);
    ASSERT_EQ(SizeOf(turned.get()).height, 20);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc.get(), turned.get(), 12, 20);
    int topRight = 0, elsewhere = 0;
    for (LONG y = 0; y < 20; ++y) {
        for (LONG x = 0; x < 12; ++x) {
            if (gdi_test::At(rows, 12, x, y) == Colour{255, 0, 0})
                ++(x >= 6 && y >= 10 ? topRight : elsewhere);
        }
    }
    EXPECT_GE(topRight, 40);
    EXPECT_EQ(elsewhere, 0);
}

TEST_F(RotatedImageTest, HandlesThatAreNoBitmapGiveNoBitmap) {
    ScreenDc dc;
    EXPECT_EQ(CreateRotatedImage(dc.get(), 0, 90, TRUE), 0u);
    EXPECT_EQ(CreateRotatedImage(dc.get(), 0x7ABCDEF0, 90, TRUE), 0u);
    const HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    EXPECT_EQ(CreateRotatedImage(dc.get(), stock, 90, TRUE), 0u);
    Bitmap source(MakeBitmap(4, 4, Gradient));
    EXPECT_EQ(CreateRotatedImage(0, source.get(), 90, TRUE), 0u);  // no device context
}

}  // namespace
}  // namespace builders_test
