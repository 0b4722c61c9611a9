// The decoding steps of multi-scan images: the scans are read up to a work limit that
// follows the image's size, and the image is then decoded from the scans read so far, every
// row kept, with one message; the percent of libjpeg's passes, through the engine's helper.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "imagelib.h"

namespace {

using fixture::Loaded;
using fixture::RgbImage;
using jpegtest::File;

const std::string kTooManyScans =
    "JPEG Library Error: Too many scans for the image size: decoded from the first ";

class JpegScanLimitTest : public ::testing::Test {
  protected:
    void SetUp() override { jpegtest::ClearMessages(); }
    void TearDown() override {
        EXPECT_EQ(live_.Leaked(), "");
        jpegtest::ClearMessages();
    }

    // Loads one-shot or stepwise; the scans decoded, from the one message the load showed
    // (0 when it showed another or none).
    static int ScansDecoded(const std::string& name, bool stepwise, Loaded* out) {
        jpegtest::ClearMessages();
        *out = stepwise ? fixture::LoadStepwise(File(name)) : fixture::LoadFile(File(name));
        const std::vector<std::string> messages = jpegtest::Messages();
        int scans = 0;
        if (messages.size() != 1 || messages[0].rfind(kTooManyScans, 0) != 0 ||
            std::sscanf(messages[0].c_str() + kTooManyScans.size(), "%d", &scans) != 1)
            ADD_FAILURE() << name << ": " << ::testing::PrintToString(messages);
        return scans;
    }

    fixture::LiveBlocks live_;
};

TEST_F(JpegScanLimitTest, APictureIsDecodedFromTheScansBeforeTheLimitInEveryRow) {
    // A picture's first scan, 100 scans that change no coefficient, then the picture's other
    // scans: what comes out is the picture of its first scan alone.
    RgbImage expected;
    ASSERT_TRUE(jpegtest::Djpeg(File("first_scans_picture.jpg"), {}, &expected));
    RgbImage whole;
    ASSERT_TRUE(jpegtest::Djpeg(File("many_scans_picture.jpg"), {}, &whole));
    ASSERT_NE(fixture::CompareRgb(expected, whole), "") << "the later scans add detail";
    for (bool stepwise : {false, true}) {
        Loaded l;
        const int scans = ScansDecoded("many_scans_picture.jpg", stepwise, &l);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << stepwise;
        EXPECT_GT(scans, 1);
        EXPECT_LT(scans, 101);
    }
}

TEST_F(JpegScanLimitTest, RefinementsOfAWholeImageStopFarBeforeTheFileEnds) {
    // 1024 scans each refining every coefficient of every block of a 1024 x 1024 image.
    RgbImage expected;
    ASSERT_TRUE(jpegtest::Djpeg(File("many_refinements.jpg"), {}, &expected));
    for (bool stepwise : {false, true}) {
        Loaded l;
        const int scans = ScansDecoded("many_refinements.jpg", stepwise, &l);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "");
        EXPECT_GT(scans, 3) << "as many as real files have";
        EXPECT_LT(scans, 1024 / 16);
    }
}

TEST_F(JpegScanLimitTest, CheapScansStopAtFiveHundred) {
    // 600 scans of one coefficient of a chroma component an eighth of the image's size.
    RgbImage expected;
    ASSERT_TRUE(jpegtest::Djpeg(File("many_chroma_scans.jpg"), {}, &expected));
    Loaded l;
    EXPECT_EQ(ScansDecoded("many_chroma_scans.jpg", false, &l), 500);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "");
}

TEST_F(JpegScanLimitTest, RealProgressiveFilesAreReadWhole) {
    for (const char* name : {"progressive.jpg", "pil_progressive.jpg", "grey_progressive.jpg",
                             "photo_progressive.jpg"}) {
        EXPECT_EQ(fixture::LoadFile(File(name)).code, IMAGELIB_FINISHED);
        EXPECT_TRUE(jpegtest::Messages().empty()) << name;
    }
}

TEST(JpegDecodePercentTest, DecodingReportsHalfThePercentWhenAReductionFollows) {
    // The output pass of a progressive image reports its rows; reduced afterwards, the same
    // rows report half as much, and the reducer the rest.
    const Loaded plain = fixture::LoadStepwise(File("progressive.jpg"));
    const Loaded reduced = fixture::LoadStepwise(File("progressive.jpg"), IMAGELIB_REDUCE);
    ASSERT_EQ(plain.code, IMAGELIB_FINISHED);
    ASSERT_EQ(reduced.code, IMAGELIB_FINISHED);
    ASSERT_EQ(reduced.bits(), 8);
    const std::size_t decodeSteps = plain.percents.size() - 1;
    ASSERT_GT(reduced.percents.size(), decodeSteps + 1);
    EXPECT_GT(plain.percents[decodeSteps - 1], 90);
    for (std::size_t i = 0; i < decodeSteps; ++i)
        EXPECT_EQ(reduced.percents[i], plain.percents[i] / 2) << i;
    EXPECT_GT(reduced.percents[decodeSteps], 50);
}

}  // namespace
