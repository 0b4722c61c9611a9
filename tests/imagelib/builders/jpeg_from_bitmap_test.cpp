// CreateJPEGFromBitmap: the written file decoded by djpeg is the bitmap's picture within
// a PSNR bound; quality, palette screens and bitmaps it cannot read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/builders_fixtures.h"
#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "imagelib.h"

namespace builders_test {
namespace {

HBITMAP PictureBitmap(const fixture::RgbImage& picture) {
    return MakeBitmapFrom(picture.width, picture.height, [&](LONG x, LONG y) {
        const std::uint8_t* p = picture.at(x, picture.height - 1 - y);
        return Colour{p[0], p[1], p[2]};
    });
}

class JpegFromBitmapTest : public BuilderTest {
  protected:
    // The file written from picture at quality, decoded by djpeg.
    fixture::RgbImage WriteAndDecode(const fixture::RgbImage& picture, int quality,
                                     HPALETTE palette = 0) {
        Bitmap bitmap(PictureBitmap(picture));
        const std::string path = dir_.file("out.jpg");
        EXPECT_EQ(CreateJPEGFromBitmap(bitmap.get(), palette, fixture::Wide(path).c_str(), quality),
                  0u);
        fixture::RgbImage decoded;
        EXPECT_TRUE(jpegtest::Djpeg(path, {}, &decoded));
        return decoded;
    }
    fixture::TempDir dir_;
};

TEST_F(JpegFromBitmapTest, DjpegDecodesThePictureCloseToTheBitmap) {
    // 64 and 120 wide are read in one call, 37 and 90 row by row.
    for (const auto& size : {std::pair<int, int>{64, 48}, {37, 23}, {90, 61}, {120, 7}}) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
        const fixture::RgbImage picture = jpegtest::Picture(size.first, size.second);
        const fixture::RgbImage decoded = WriteAndDecode(picture, 90);
        ASSERT_EQ(decoded.width, picture.width);
        ASSERT_EQ(decoded.height, picture.height);
        EXPECT_GT(jpegtest::Psnr(picture, decoded), 32.0);
    }
}

TEST_F(JpegFromBitmapTest, AHigherQualityGivesACloserPicture) {
    const fixture::RgbImage picture = jpegtest::Picture(80, 60);
    const double low = jpegtest::Psnr(picture, WriteAndDecode(picture, 10));
    const double high = jpegtest::Psnr(picture, WriteAndDecode(picture, 98));
    EXPECT_GT(high, low + 3.0);
    EXPECT_GT(low, 20.0);
}

TEST_F(JpegFromBitmapTest, QualityZeroOrLessIsTheDefaultQuality) {
    const fixture::RgbImage picture = jpegtest::Picture(40, 30);
    Bitmap bitmap(PictureBitmap(picture));
    std::vector<std::vector<std::uint8_t>> files;
    for (int quality : {75, 0, -20}) {
        const std::string path = dir_.file("q" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(CreateJPEGFromBitmap(bitmap.get(), 0, fixture::Wide(path).c_str(), quality), 0u);
        files.push_back(fixture::ReadFile(path));
    }
    ASSERT_FALSE(files[0].empty());
    EXPECT_EQ(files[1], files[0]);
    EXPECT_EQ(files[2], files[0]);
}

TEST_F(JpegFromBitmapTest, OnAPaletteScreenTheColoursComeFromTheGivenPalette) {
    Win32SetScreenFormat(8, TRUE);
    // Display colours survive the palette screen exactly.
    const std::vector<Colour> display = DisplayColours();
    fixture::RgbImage picture;
    picture.width = 48;
    picture.height = 32;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = display[(x / 16 + 3 * (y / 16)) * 37 % 224];
            picture.rgb.insert(picture.rgb.end(), {c.r, c.g, c.b});
        }
    std::vector<std::uint8_t> block(4 + 4 * display.size());
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(display.size());
    for (std::size_t i = 0; i < display.size(); ++i)
        lp->palPalEntry[i] = PALETTEENTRY{display[i].r, display[i].g, display[i].b, 0};
    const HPALETTE hpal = CreatePalette(lp);
    EXPECT_GT(jpegtest::Psnr(picture, WriteAndDecode(picture, 95, hpal)), 28.0);
    // Through the stock palette most of these indices are other colours.
    EXPECT_LT(jpegtest::Psnr(picture, WriteAndDecode(picture, 95, 0)), 20.0);
    EXPECT_TRUE(DeleteObject(hpal));
}

TEST_F(JpegFromBitmapTest, BitmapsItCannotReadFailWithoutAFile) {
    const std::string path = dir_.file("none.jpg");
    const std::wstring wide = fixture::Wide(path);
    const HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
    Bitmap bitmap(PictureBitmap(jpegtest::Picture(8, 8)));
    EXPECT_EQ(CreateJPEGFromBitmap(0, 0, wide.c_str(), 75), 1u);
    EXPECT_EQ(CreateJPEGFromBitmap(0x7ABCDEF0, 0, wide.c_str(), 75), 1u);
    EXPECT_EQ(CreateJPEGFromBitmap(stock, 0, wide.c_str(), 75), 1u);
    // A palette handle that is no palette.
    EXPECT_EQ(CreateJPEGFromBitmap(bitmap.get(), bitmap.get(), wide.c_str(), 75), 1u);
    EXPECT_TRUE(fixture::ReadFile(path).empty());
    // A writer that cannot write: no path.
    EXPECT_EQ(CreateJPEGFromBitmap(bitmap.get(), 0, nullptr, 75), 1u);
}

}  // namespace
}  // namespace builders_test
