// The JPEG writer through its export: files that djpeg, PIL and this library decode close
// to the rows written, at every quality; the caller's rows left as they were; both row
// layouts at odd widths; files that cannot be created or written; bad sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "imagelib.h"
#include "win32/message_box.h"
#include "win32/types.h"

namespace {

using fixture::RgbImage;

class JpegWriterTest : public ::testing::Test {
  protected:
    void SetUp() override { jpegtest::ClearMessages(); }
    void TearDown() override {
        EXPECT_EQ(live_.Leaked(), "");
        jpegtest::ClearMessages();
    }
    fixture::LiveBlocks live_;
};

BITMAPINFOHEADER Header(std::int32_t width, std::int32_t height) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    return h;
}

int Write(const std::string& path, int quality, const std::vector<std::uint8_t>& rows,
          const RgbImage& image, bool padded) {
    const BITMAPINFOHEADER h = Header(image.width, image.height);
    return ImageWriteJpegFile(fixture::Wide(path).c_str(), quality, rows.data(), &h,
                              padded ? 1 : 0);
}

TEST_F(JpegWriterTest, QualityBoundsTheErrorOfTheRoundTrip) {
    const RgbImage image = jpegtest::Picture(61, 37);
    const std::vector<std::uint8_t> rows = jpegtest::DibRows(image, false);
    double last = 0;
    for (const auto& [quality, least] : {std::pair{10, 24.0}, {75, 31.0}, {100, 38.0}}) {
        const std::string path = jpegtest::OutFile("q" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(Write(path, quality, rows, image, false), IMAGELIB_OK);
        RgbImage back;
        ASSERT_TRUE(jpegtest::Djpeg(path, {}, &back));
        const double psnr = jpegtest::Psnr(image, back);
        EXPECT_GE(psnr, least) << "quality " << quality;
        EXPECT_GT(psnr, last) << "quality " << quality;
        last = psnr;
    }
    EXPECT_TRUE(jpegtest::Messages().empty());
}

TEST_F(JpegWriterTest, QualityZeroAndBelowKeepTheDefaultTables) {
    const RgbImage image = jpegtest::Picture(30, 20);
    const std::vector<std::uint8_t> rows = jpegtest::DibRows(image, false);
    std::vector<std::vector<std::uint8_t>> files;
    for (int quality : {0, -5, 75}) {
        const std::string path = jpegtest::OutFile("default.jpg");
        ASSERT_EQ(Write(path, quality, rows, image, false), IMAGELIB_OK);
        files.push_back(fixture::ReadFile(path));
    }
    EXPECT_EQ(files[0], files[1]);
    EXPECT_EQ(files[0], files[2]);
    const std::string path = jpegtest::OutFile("q74.jpg");
    ASSERT_EQ(Write(path, 74, rows, image, false), IMAGELIB_OK);
    EXPECT_NE(fixture::ReadFile(path), files[0]);
}

TEST_F(JpegWriterTest, TheCallersRowsAreNotChanged) {
    const RgbImage image = jpegtest::Picture(13, 7);
    for (bool padded : {false, true}) {
        const std::vector<std::uint8_t> rows = jpegtest::DibRows(image, padded);
        const std::vector<std::uint8_t> before = rows;
        ASSERT_EQ(Write(jpegtest::OutFile("same.jpg"), 90, rows, image, padded), IMAGELIB_OK);
        EXPECT_EQ(rows, before);
    }
}

TEST_F(JpegWriterTest, OddWidthsInBothRowLayoutsGiveCjpegsFile) {
    // cjpeg compresses the same pixels with the same defaults: the files are the same.
    for (int width : {1, 5, 7, 18}) {
        const RgbImage image = jpegtest::Picture(width, 9);
        const std::string ppm = jpegtest::OutFile("odd.ppm");
        ASSERT_TRUE(jpegtest::WritePpm(ppm, image));
        const std::string reference = jpegtest::OutFile("odd_cjpeg.jpg");
        ASSERT_TRUE(jpegtest::Cjpeg({"-quality", "90", "-outfile", reference, ppm}));
        for (bool padded : {false, true}) {
            const std::string path = jpegtest::OutFile("odd.jpg");
            ASSERT_EQ(Write(path, 90, jpegtest::DibRows(image, padded), image, padded),
                      IMAGELIB_OK);
            EXPECT_EQ(fixture::ReadFile(path), fixture::ReadFile(reference))
                << width << (padded ? " padded" : "");
        }
    }
}

TEST_F(JpegWriterTest, TheFilesDecodeInOtherDecodersAndInThisLibrary) {
    const RgbImage image = jpegtest::Picture(47, 33);
    const std::string path = jpegtest::OutFile("everywhere.jpg");
    ASSERT_EQ(Write(path, 85, jpegtest::DibRows(image, false), image, false), IMAGELIB_OK);
    for (fixture::Decoder d : {fixture::Decoder::Pil, fixture::Decoder::ImageMagick}) {
        RgbImage back;
        ASSERT_TRUE(fixture::ReferenceDecode(path, d, &back));
        EXPECT_GE(jpegtest::Psnr(image, back), 30.0);
    }
    RgbImage djpeg;
    ASSERT_TRUE(jpegtest::Djpeg(path, {}, &djpeg));
    const fixture::Loaded ours = fixture::LoadFile(path);
    ASSERT_EQ(ours.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(djpeg, ours.rgb()), "");
}

TEST_F(JpegWriterTest, AFileThatCannotBeCreatedGivesThree) {
    const RgbImage image = jpegtest::Picture(8, 8);
    EXPECT_EQ(Write("/no/such/folder/x.jpg", 75, jpegtest::DibRows(image, false), image, false),
              IMAGELIB_NOT_FOUND);
    EXPECT_TRUE(jpegtest::Messages().empty());
}

TEST_F(JpegWriterTest, AWriteErrorGivesEightAndOneMessage) {
    const RgbImage image = jpegtest::Picture(64, 64);
    EXPECT_EQ(Write("/dev/full", 75, jpegtest::DibRows(image, false), image, false),
              IMAGELIB_WRITE_ERROR);
    ASSERT_EQ(jpegtest::Messages().size(), 1u);
    EXPECT_EQ(jpegtest::Messages()[0].rfind("JPEG Library Error: ", 0), 0u);
}

TEST_F(JpegWriterTest, SizesOutsideOneTo65500AndMissingArgumentsGiveOne) {
    const std::vector<std::uint8_t> rows(64, 0);
    const std::string path = jpegtest::OutFile("bad.jpg");
    for (const auto& [w, h] : {std::pair{0, 4}, {4, 0}, {-4, 4}, {4, -4}, {65501, 1}, {1, 65501}}) {
        const BITMAPINFOHEADER header = Header(w, h);
        EXPECT_EQ(ImageWriteJpegFile(fixture::Wide(path).c_str(), 75, rows.data(), &header, 0),
                  IMAGELIB_OUT_OF_MEMORY)
            << w << "x" << h;
    }
    const BITMAPINFOHEADER header = Header(4, 4);
    EXPECT_EQ(ImageWriteJpegFile(nullptr, 75, rows.data(), &header, 0), IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(ImageWriteJpegFile(fixture::Wide(path).c_str(), 75, nullptr, &header, 0),
              IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(ImageWriteJpegFile(fixture::Wide(path).c_str(), 75, rows.data(), nullptr, 0),
              IMAGELIB_OUT_OF_MEMORY);
    EXPECT_TRUE(fixture::ReadFile(path).empty()) << "no file is created";
}

}  // namespace
