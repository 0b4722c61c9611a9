// The header step's limits: photographs of tens of megapixels load, at full size and
// scaled, progressive ones too, whose coefficients (and a two-pass quantiser's image) are
// work of the image's own size; an image is refused (1, no message) only when it could not
// be held unscaled.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
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

// Row y (the top row 0) of an 8- or 24-bit result as red, green, blue.
std::vector<std::uint8_t> ResultRow(const Loaded& l, int y) {
    const std::uint8_t* dib = l.dib.data();
    const int width = dib[4] | dib[5] << 8 | dib[6] << 16;
    const int height = dib[8] | dib[9] << 8 | dib[10] << 16;
    const int bits = l.bits();
    const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    const std::uint8_t* p = l.rows() + stride * std::size_t(height - 1 - y);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* bgr = bits == 24 ? p + 3 * x : dib + 40 + 4 * p[x];
        row.insert(row.end(), {bgr[2], bgr[1], bgr[0]});
    }
    return row;
}

// The screen of a display class for one scope; the true-colour screen after it.
struct Screen {
    explicit Screen(int displayClass) { jpegtest::SetDisplayClass(displayClass); }
    ~Screen() { jpegtest::SetDisplayClass(16); }
};

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
            EXPECT_TRUE(ResultRow(l, y) == row) << "row " << y << " " << stepwise;
    }
    RgbImage eighth;
    ASSERT_TRUE(jpegtest::Djpeg(path, {"-scale", "1/8"}, &eighth));
    EXPECT_EQ(fixture::CompareRgb(eighth, fixture::LoadFile(path, kEighth).rgb()), "");
    EXPECT_EQ(live.Leaked(), "");
}

TEST(JpegHeaderTest, LargeProgressivePhotographsLoadWhateverTheirFilesSize) {
    // 12000 x 8000 in 10 MB (4:4:4: 576 MB of coefficients) and in 7 MB (4:2:0: 288 MB of
    // coefficients and, quantised in two passes for a palette screen, a 288 MB image).
    fixture::TempDir dir;
    ASSERT_TRUE(fixture::Python("make_jpeg.py", {"--large-progressive", dir.path()}));
    const std::vector<int> ys = {0, 1, 7, 8, 15, 16, 999, 4000, 4095, 4096, 7991, 7999};
    struct Case {
        const char* name;
        int displayClass;
        std::vector<std::string> djpeg;
        int bits;
    };
    const Case cases[] = {{"progressive444.jpg", 16, {}, 24},
                          {"progressive420.jpg", 8, {"-colors", "240"}, 8}};
    const fixture::LiveBlocks live;
    jpegtest::ClearMessages();
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        std::map<int, std::vector<std::uint8_t>> expected;
        ASSERT_TRUE(jpegtest::DjpegRows(path, c.djpeg, ys, &expected));
        const Screen screen(c.displayClass);
        for (bool stepwise : {false, true}) {
            const Loaded l = stepwise ? fixture::LoadStepwise(path) : fixture::LoadFile(path);
            ASSERT_EQ(l.code, IMAGELIB_FINISHED) << c.name << " " << c.displayClass;
            ASSERT_EQ(l.bits(), c.bits);
            for (const auto& [y, row] : expected)
                EXPECT_TRUE(ResultRow(l, y) == row)
                    << c.name << " " << c.displayClass << " row " << y << " " << stepwise;
        }
    }
    // A thumbnail needs the stored image's coefficients all the same.
    const std::string path = dir.file("progressive444.jpg");
    RgbImage eighth;
    ASSERT_TRUE(jpegtest::Djpeg(path, {"-scale", "1/8"}, &eighth));
    EXPECT_EQ(fixture::CompareRgb(eighth, fixture::LoadFile(path, kEighth).rgb()), "");
    EXPECT_TRUE(jpegtest::Messages().empty());
    EXPECT_EQ(live.Leaked(), "");
}

TEST(JpegHeaderTest, OnlyImagesWhoseRowsCannotBeHeldAreRefused) {
    const fixture::LiveBlocks live;
    jpegtest::ClearMessages();
    // 65500 x 65500 baseline: its rows would not fit one block unscaled, so not even its
    // eighth is decoded.
    EXPECT_EQ(fixture::LoadFile(File("huge_baseline.jpg"), kEighth).code, IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(fixture::LoadStepwise(File("huge_baseline.jpg"), kEighth).code,
              IMAGELIB_OUT_OF_MEMORY);
    EXPECT_TRUE(jpegtest::Messages().empty());
    // 16384 x 16384 and 2048 x 2048 progressive, in a few hundred bytes each: their
    // coefficients (512 MiB and 8 MiB) are the image's own work, and they load, mid-grey as
    // djpeg has them.
    for (const char* name : {"huge_progressive.jpg", "big_progressive.jpg"}) {
        RgbImage expected;
        ASSERT_TRUE(jpegtest::Djpeg(File(name), {"-scale", "1/8"}, &expected));
        const Loaded l = fixture::LoadFile(File(name), kEighth);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
    }
    jpegtest::ClearMessages();
    EXPECT_EQ(live.Leaked(), "");
}

}  // namespace
