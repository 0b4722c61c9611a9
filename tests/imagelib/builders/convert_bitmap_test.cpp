// ConvertBitmapBits and ConvertBitmapImage: a caller's DIB comes out as the same image
// written as a BMP file would load, and as a bitmap that gives its pixels back.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "builders/builders_fixtures.h"
#include "imagelib.h"

namespace builders_test {
namespace {

constexpr std::uint32_t kReduce = IMAGELIB_REDUCE;
constexpr std::uint32_t kNearest = IMAGELIB_NEAREST_COLOUR;
constexpr std::uint32_t kForce8 = IMAGELIB_FORCE_8BIT;

struct Screen {
    int bits;
    BOOL palette;
};

// The depth, the flags word and the screen of one case.
using Case = std::tuple<int, std::uint32_t, Screen>;

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    const auto& [bits, flags, screen] = info.param;
    return std::to_string(bits) + "bit_flags" + std::to_string(flags) + "_screen" +
           std::to_string(screen.bits) + (screen.palette ? "palette" : "");
}

std::vector<Colour> TableFor(int bits) {
    return CubeColours(bits == 1 ? 2 : bits == 4 ? 16 : 40);
}

class ConvertCase : public BuilderTest, public testing::WithParamInterface<Case> {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        const Screen screen = std::get<2>(GetParam());
        Win32SetScreenFormat(screen.bits, screen.palette);
    }
};

TEST_P(ConvertCase, ConvertBitmapBitsEqualsLoadingTheSameImageAsABmpFile) {
    const auto& [bits, flags, screen] = GetParam();
    const std::vector<Colour> table = TableFor(bits);
    Dib dib = PatternDib(13, 7, WORD(bits), table);
    const fixture::Loaded expected = fixture::LoadBytes(BmpFileOf(dib), flags);
    ASSERT_EQ(expected.code, IMAGELIB_FINISHED);

    fixture::Words w;
    std::uint32_t ourFlags = flags;
    ASSERT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &ourFlags, &w.a, &w.b), 1u);
    EXPECT_EQ(fixture::CopyBlock(w.a), expected.dib);
    EXPECT_EQ(fixture::CopyBlock(w.b), expected.palette);
    EXPECT_EQ(ourFlags, expected.flags);
}

TEST_P(ConvertCase, ConvertBitmapImageGivesTheDibsPixelsBack) {
    const auto& [bits, flags, screen] = GetParam();
    const std::vector<Colour> table = TableFor(bits);
    Dib dib = PatternDib(13, 7, WORD(bits), table);
    ScreenDc dc;
    std::uint32_t f = flags;
    Bitmap bitmap(ConvertBitmapImage(dc.get(), dib.info.data(), dib.rows.data(), &f));
    ASSERT_NE(bitmap.get(), 0u);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc.get(), bitmap.get(), 13, 7);
    ASSERT_FALSE(rows.empty());
    for (LONG y = 0; y < 7; ++y) {
        for (LONG x = 0; x < 13; ++x) {
            ASSERT_EQ(gdi_test::At(rows, 13, x, y), PatternColour(dib, table, x, y))
                << "pixel " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DepthsFlagsScreens, ConvertCase,
                         testing::Combine(testing::Values(1, 4, 8, 24),
                                          testing::Values(0u, kReduce, kReduce | kNearest, kForce8),
                                          testing::Values(Screen{32, FALSE}, Screen{8, TRUE})),
                         CaseName);

using ConvertBitmapBitsTest = BuilderTest;

TEST_F(ConvertBitmapBitsTest, NullArgumentsFailAndLeaveTheWordsAlone) {
    Dib dib = PatternDib(4, 4, 8, CubeColours(8));
    std::uint32_t a = 7, b = 9;
    EXPECT_EQ(ConvertBitmapBits(0, nullptr, dib.rows.data(), nullptr, &a, &b), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), nullptr, nullptr, &a, &b), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, nullptr, &b), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &a, nullptr), 0u);
    EXPECT_EQ(a, 7u);
    EXPECT_EQ(b, 9u);
}

TEST_F(ConvertBitmapBitsTest, AFailedLoadIsAFailureWithTheWordsCleared) {
    Dib dib = PatternDib(4, 4, 8, CubeColours(8));
    dib.header()->biBitCount = 16;  // a depth the BMP reader refuses
    std::uint32_t a = 7, b = 9;
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &a, &b), 0u);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 0u);
    dib = PatternDib(4, 4, 8, CubeColours(8));
    dib.header()->biWidth = 0;
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &a, &b), 0u);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 0u);
}

TEST_F(ConvertBitmapBitsTest, ASizeNoBlockCanHoldFailsBeforeAnyRowIsRead) {
    Dib dib = PatternDib(4, 4, 24, CubeColours(8));
    dib.header()->biWidth = 0x7FFFFFFF;
    dib.header()->biHeight = 0x7FFFFFFF;
    dib.header()->biSizeImage = 0;
    std::uint32_t a = 7, b = 9;
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &a, &b), 0u);
    dib.header()->biSizeImage = 0xFFFFFFFF;
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &a, &b), 0u);
    EXPECT_EQ(a, 7u);
}

// The header and the two colours it declares end where readable memory ends: reading a
// byte more would fault.
TEST_F(ConvertBitmapBitsTest, OnlyTheDeclaredColourEntriesAreRead) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<std::uint8_t*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    const std::vector<Colour> table = CubeColours(2);
    Dib dib = PatternDib(9, 5, 1, table);
    ASSERT_EQ(dib.info.size(), 48u);
    std::uint8_t* header = pages + page - dib.info.size();
    std::memcpy(header, dib.info.data(), dib.info.size());
    fixture::Words w;
    EXPECT_EQ(ConvertBitmapBits(0, header, dib.rows.data(), nullptr, &w.a, &w.b), 1u);
    // The same at 24 bits: no colour table at all.
    Dib dib24 = PatternDib(9, 5, 24, table);
    header = pages + page - sizeof(BITMAPINFOHEADER);
    std::memcpy(header, dib24.info.data(), sizeof(BITMAPINFOHEADER));
    fixture::Words w24;
    EXPECT_EQ(ConvertBitmapBits(0, header, dib24.rows.data(), nullptr, &w24.a, &w24.b), 1u);
    const fixture::Loaded expected = fixture::LoadBytes(BmpFileOf(dib24));
    EXPECT_EQ(fixture::CopyBlock(w24.a), expected.dib);
    munmap(pages, 2 * page);
}

TEST_F(ConvertBitmapBitsTest, ATopDownDibWithoutAnImageSizeLoadsItsRowsBottomUp) {
    const std::vector<Colour> table = CubeColours(16);
    Dib dib = PatternDib(6, 5, 8, table);
    const fixture::Loaded expected = fixture::LoadBytes(BmpFileOf(dib));
    Dib topDown = dib;
    topDown.header()->biHeight = -5;
    topDown.header()->biSizeImage = 0;
    const std::size_t stride = gdi_test::DibStride(6, 8);
    for (int y = 0; y < 5; ++y)
        std::memcpy(&topDown.rows[stride * y], &dib.rows[stride * (4 - y)], stride);
    fixture::Words w;
    ASSERT_EQ(ConvertBitmapBits(0, topDown.info.data(), topDown.rows.data(), nullptr, &w.a, &w.b),
              1u);
    const std::vector<std::uint8_t> got = fixture::CopyBlock(w.a);
    ASSERT_EQ(got.size(), expected.dib.size());
    EXPECT_TRUE(std::equal(got.begin() + 1064, got.end(), expected.dib.begin() + 1064));
}

TEST_F(ConvertBitmapBitsTest, RunLengthRowsAreDecodedLikeThoseOfAFile) {
    const std::vector<Colour> table = CubeColours(4);
    Dib dib = PatternDib(4, 2, 8, table);
    // Row 0: two of index 1, two of index 2; row 1: four of index 3; end of bitmap.
    dib.rows = {2, 1, 2, 2, 0, 0, 4, 3, 0, 1};
    dib.header()->biCompression = BI_RLE8;
    dib.header()->biSizeImage = DWORD(dib.rows.size());
    fixture::Words w;
    ASSERT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), nullptr, &w.a, &w.b), 1u);
    const std::vector<std::uint8_t> got = fixture::CopyBlock(w.a);
    const std::vector<std::uint8_t> rows(got.begin() + 1064, got.begin() + 1072);
    EXPECT_EQ(rows, (std::vector<std::uint8_t>{1, 1, 2, 2, 3, 3, 3, 3}));
}

TEST_F(ConvertBitmapBitsTest, AnAnimationRequestLeavesNoContextBehind) {
    Dib dib = PatternDib(4, 4, 8, CubeColours(8));
    fixture::Words w;
    std::uint32_t flags = IMAGELIB_ANIMATION;
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &flags, &w.a, &w.b), 1u);
}

using ConvertBitmapImageTest = BuilderTest;

TEST_F(ConvertBitmapImageTest, NullArgumentsAndFailedLoadsGiveNoBitmap) {
    Dib dib = PatternDib(4, 4, 8, CubeColours(8));
    ScreenDc dc;
    EXPECT_EQ(ConvertBitmapImage(dc.get(), nullptr, dib.rows.data(), nullptr), 0u);
    EXPECT_EQ(ConvertBitmapImage(dc.get(), dib.info.data(), nullptr, nullptr), 0u);
    dib.header()->biPlanes = 2;
    EXPECT_EQ(ConvertBitmapImage(dc.get(), dib.info.data(), dib.rows.data(), nullptr), 0u);
}

}  // namespace
}  // namespace builders_test
