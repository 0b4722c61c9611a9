// The header step's limits: photographs of tens of megapixels load, at full size and
// scaled; an image is refused (1, no message) when it could not be held unscaled, or when
// libjpeg's own buffers would pass what the file's size and the result's justify.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "imagelib.h"

namespace {

using fixture::Loaded;
using fixture::RgbImage;
using jpegtest::File;

constexpr std::uint32_t kEighth = IMAGELIB_JPEG_SCALE_EIGHTH;

// make_jpeg.py --large's rows: row number -> red, green, blue bytes.
std::map<int, std::vector<std::uint8_t>> ReadRows(const std::string& path) {
    std::map<int, std::vector<std::uint8_t>> rows;
    std::ifstream in(path);
    int y = 0;
    std::string hex;
    while (in >> y >> hex) {
        std::vector<std::uint8_t>& row = rows[y];
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            row.push_back(std::uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return rows;
}

// Row y (the top row 0) of a 24-bit result as red, green, blue.
std::vector<std::uint8_t> ResultRow(const Loaded& l, int width, int height, int y) {
    const std::size_t stride = (3 * std::size_t(width) + 3) / 4 * 4;
    const std::uint8_t* p = l.rows() + stride * std::size_t(height - 1 - y);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
    return row;
}

TEST(JpegHeaderTest, A35MegapixelPhotographLoadsInOneCallAndStepwise) {
    fixture::TempDir dir;
    ASSERT_TRUE(fixture::Python("make_jpeg.py", {"--large", dir.path()}));
    const std::string path = dir.file("large.jpg");
    const std::map<int, std::vector<std::uint8_t>> expected = ReadRows(dir.file("large_rows.txt"));
    ASSERT_EQ(expected.size(), 12u);
    const fixture::LiveBlocks live;
    for (bool stepwise : {false, true}) {
        const Loaded l = stepwise ? fixture::LoadStepwise(path) : fixture::LoadFile(path);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << stepwise;
        ASSERT_EQ(l.bits(), 24);
        ASSERT_EQ(l.dib.size(), 1064 + 21000u * 5000);
        for (const auto& [y, row] : expected)
            EXPECT_TRUE(ResultRow(l, 7000, 5000, y) == row) << "row " << y << " " << stepwise;
    }
    RgbImage eighth;
    ASSERT_TRUE(jpegtest::Djpeg(path, {"-scale", "1/8"}, &eighth));
    EXPECT_EQ(fixture::CompareRgb(eighth, fixture::LoadFile(path, kEighth).rgb()), "");
    EXPECT_EQ(live.Leaked(), "");
}

TEST(JpegHeaderTest, ImagesWhoseDecodingWouldCostFarMoreThanTheirFilesAreRefused) {
    const fixture::LiveBlocks live;
    jpegtest::ClearMessages();
    // 16384 x 16384 progressive in 600 bytes: at 1/8 its result is small, but libjpeg would
    // hold 512 MiB of coefficients for it.
    EXPECT_EQ(fixture::LoadFile(File("huge_progressive.jpg"), kEighth).code,
              IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(fixture::LoadStepwise(File("huge_progressive.jpg"), kEighth).code,
              IMAGELIB_OUT_OF_MEMORY);
    // 65500 x 65500 baseline: its rows would not fit one block unscaled.
    EXPECT_EQ(fixture::LoadFile(File("huge_baseline.jpg"), kEighth).code, IMAGELIB_OUT_OF_MEMORY);
    EXPECT_TRUE(jpegtest::Messages().empty());
    // The same recipe at 2048 x 2048 (8 MiB of coefficients) loads, mid-grey as djpeg has it.
    RgbImage expected;
    ASSERT_TRUE(jpegtest::Djpeg(File("big_progressive.jpg"), {"-scale", "1/8", "-colors", "256"},
                                &expected));
    const Loaded l = fixture::LoadFile(File("big_progressive.jpg"), kEighth);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "");
    jpegtest::ClearMessages();
    EXPECT_EQ(live.Leaked(), "");
}

}  // namespace
