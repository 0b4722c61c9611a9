// CreateAnimationMaskImage: the key pixels become the first black colour entry in the
// image and set bits, one per pixel, in a top-down one-bit mask.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "builders/builders_fixtures.h"
#include "imagelib.h"

namespace builders_test {
namespace {

constexpr LONG kWidth = 13;  // neither the mask's 16-pixel words nor bytes are filled
constexpr LONG kHeight = 5;
const Colour kBlack{0, 0, 0};

struct MaskResult {
    std::uint32_t code = 0;
    Bitmap image;
    Bitmap mask;
};

// The builder's result, its bitmaps deleted at the end of the test.
void Make(MaskResult* r, Dib& dib, std::int32_t keyIndex, std::uint32_t flags = 0) {
    ScreenDc dc;
    std::uint32_t image = 0, mask = 0;
    std::uint32_t f = flags;
    r->code = CreateAnimationMaskImage(&image, &mask, keyIndex, dc.get(), dib.info.data(),
                                       dib.rows.data(), &f);
    r->image.reset(image);
    r->mask.reset(mask);
}

// Mask bit of pixel (x, y), y counted from the bottom; the mask's rows run top-down.
bool MaskBit(const std::vector<BYTE>& bits, LONG widthBytes, LONG x, LONG y) {
    return (bits[std::size_t(widthBytes) * (kHeight - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
}

struct MaskBits {
    LONG widthBytes = 0;
    std::vector<BYTE> bits;
};

MaskBits ReadMask(HBITMAP mask) {
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(mask, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmWidth, kWidth);
    EXPECT_EQ(bm.bmHeight, kHeight);
    MaskBits m;
    m.widthBytes = bm.bmWidthBytes;
    m.bits.assign(std::size_t(bm.bmWidthBytes) * bm.bmHeight, 0);
    GetBitmapBits(mask, LONG(m.bits.size()), m.bits.data());
    return m;
}

// Checks both bitmaps against the DIB: where isKey says so, the image shows keyColour's
// replacement and the mask bit is set; elsewhere the DIB's colour and a clear bit. Bits
// beyond the width are clear.
template <class IsKey>
void ExpectMasked(MaskResult& r, const Dib& dib, const std::vector<Colour>& table, IsKey isKey,
                  Colour replacement) {
    ASSERT_EQ(r.code, 1u);
    ScreenDc dc;
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc.get(), r.image.get(), kWidth, kHeight);
    ASSERT_FALSE(rows.empty());
    const MaskBits m = ReadMask(r.mask.get());
    int keys = 0;
    for (LONG y = 0; y < kHeight; ++y) {
        for (LONG x = 0; x < m.widthBytes * 8; ++x) {
            if (x >= kWidth) {
                ASSERT_FALSE(MaskBit(m.bits, m.widthBytes, x, y)) << x << "," << y;
                continue;
            }
            const bool key = isKey(x, y);
            keys += key;
            ASSERT_EQ(MaskBit(m.bits, m.widthBytes, x, y), key) << x << "," << y;
            ASSERT_EQ(gdi_test::At(rows, kWidth, x, y),
                      key ? replacement : PatternColour(dib, table, x, y))
                << x << "," << y;
        }
    }
    EXPECT_GT(keys, 1);
    EXPECT_LT(keys, kWidth * kHeight);
}

// An index that more than one pixel of an 8-bit pattern has.
std::uint32_t RepeatedIndex(const std::vector<Colour>& table) {
    std::vector<int> count(table.size());
    for (LONG y = 0; y < kHeight; ++y) {
        for (LONG x = 0; x < kWidth; ++x)
            ++count[PatternValue(8, table, x, y)];
    }
    std::uint32_t i = 0;
    while (count[i] < 2)
        ++i;
    return i;
}

using AnimationMaskTest = BuilderTest;

TEST_F(AnimationMaskTest, AKeyIndexOfAnEightBitImageMarksThatIndex) {
    std::vector<Colour> table = CubeColours(9);
    table[0] = {255, 255, 255};
    table[6] = kBlack;  // the first black entry
    Dib dib = PatternDib(kWidth, kHeight, 8, table);
    MaskResult r;
    Make(&r, dib, 4);
    ExpectMasked(
        r, dib, table, [&](LONG x, LONG y) { return PatternValue(8, table, x, y) == 4; }, kBlack);
}

TEST_F(AnimationMaskTest, WithoutAKeyIndexTheBottomLeftPixelIsTheKey) {
    const std::vector<Colour> table = CubeColours(7);
    Dib dib = PatternDib(kWidth, kHeight, 8, table);
    const std::uint32_t key = PatternValue(8, table, 0, 0);
    MaskResult r;
    Make(&r, dib, -1);
    ExpectMasked(
        r, dib, table, [&](LONG x, LONG y) { return PatternValue(8, table, x, y) == key; }, kBlack);
}

TEST_F(AnimationMaskTest, ATableWithoutBlackTurnsTheKeyPixelsToEntry255) {
    std::vector<Colour> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = {BYTE(i), BYTE(255 - i), 77};
    Dib dib = PatternDib(kWidth, kHeight, 8, table);
    const std::uint32_t key = RepeatedIndex(table);
    MaskResult r;
    Make(&r, dib, std::int32_t(key));
    ExpectMasked(
        r, dib, table, [&](LONG x, LONG y) { return PatternValue(8, table, x, y) == key; },
        table[255]);
}

TEST_F(AnimationMaskTest, OnATwentyFourBitImageTheKeyIndexIsIgnored) {
    const std::vector<Colour> table = CubeColours(7);
    Dib dib = PatternDib(kWidth, kHeight, 24, table);
    const std::uint32_t key = PatternValue(24, table, 0, 0);
    MaskResult r;
    Make(&r, dib, 3);
    // A 24-bit result has an empty colour table: entry 0 is the black one.
    ExpectMasked(
        r, dib, table, [&](LONG x, LONG y) { return PatternValue(24, table, x, y) == key; },
        kBlack);
}

TEST_F(AnimationMaskTest, AReducedTwentyFourBitImageIsKeyedByIndex) {
    const std::vector<Colour> table = CubeColours(7);
    Dib dib = PatternDib(kWidth, kHeight, 24, table);
    const std::vector<Colour> display = DisplayColours();
    const Colour keyColour = table[2];
    int keyIndex = 0;
    while (!(display[keyIndex] == keyColour))
        ++keyIndex;
    MaskResult r;
    Make(&r, dib, keyIndex, IMAGELIB_REDUCE | IMAGELIB_NEAREST_COLOUR);
    ExpectMasked(
        r, dib, table, [&](LONG x, LONG y) { return PatternColour(dib, table, x, y) == keyColour; },
        display[0]);
}

TEST_F(AnimationMaskTest, FourAndOneBitImagesGetOneMaskBitPerPixel) {
    for (WORD bits : {WORD(4), WORD(1)}) {
        SCOPED_TRACE(bits);
        std::vector<Colour> table = CubeColours(bits == 4 ? 16 : 2);
        table[0] = {255, 255, 255};
        Dib dib = PatternDib(kWidth, kHeight, bits, table);
        MaskResult r;
        Make(&r, dib, 1);
        // The table has no black entry of its own: the first unused slot is black.
        ExpectMasked(
            r, dib, table, [&](LONG x, LONG y) { return PatternValue(bits, table, x, y) == 1; },
            kBlack);
    }
}

TEST_F(AnimationMaskTest, NullPointersFailAndTouchNothing) {
    Dib dib = PatternDib(kWidth, kHeight, 8, CubeColours(7));
    std::uint32_t image = 5, mask = 6;
    EXPECT_EQ(
        CreateAnimationMaskImage(nullptr, &mask, 1, 0, dib.info.data(), dib.rows.data(), nullptr),
        0u);
    EXPECT_EQ(
        CreateAnimationMaskImage(&image, nullptr, 1, 0, dib.info.data(), dib.rows.data(), nullptr),
        0u);
    EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, 1, 0, nullptr, dib.rows.data(), nullptr), 0u);
    EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, 1, 0, dib.info.data(), nullptr, nullptr), 0u);
    EXPECT_EQ(image, 5u);
    EXPECT_EQ(mask, 6u);
}

TEST_F(AnimationMaskTest, AFailedLoadGivesNeitherBitmap) {
    Dib dib = PatternDib(kWidth, kHeight, 8, CubeColours(7));
    dib.header()->biBitCount = 2;
    std::uint32_t image = 5, mask = 6;
    ScreenDc dc;
    EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, 1, dc.get(), dib.info.data(), dib.rows.data(),
                                       nullptr),
              0u);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(mask, 0u);
}

}  // namespace
}  // namespace builders_test
