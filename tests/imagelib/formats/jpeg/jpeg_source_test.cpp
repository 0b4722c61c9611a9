// The memory-stream source: what libjpeg holds depends on the file's bytes alone, so a
// file decodes to the same pixels on every load, wherever the copy of it lies, one-shot
// and stepwise alike; files of several 64 KiB pieces against djpeg.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "imagelib.h"

namespace {

using fixture::Loaded;

constexpr std::size_t kPiece = 65536;

TEST(JpegSourceTest, FilesOfManyPiecesDecodeAsDjpegDoes) {
    for (const char* name : {"photo.jpg", "photo_progressive.jpg"}) {
        const std::string path = jpegtest::File(name);
        ASSERT_GT(fixture::ReadFile(path).size(), 2 * kPiece) << name;
        fixture::RgbImage expected;
        ASSERT_TRUE(jpegtest::Djpeg(path, {}, &expected));
        const Loaded l = fixture::LoadFile(path);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
    }
}

TEST(JpegSourceTest, DamagedDataDecodesAlikeWhereverTheCopyOfTheFileLies) {
    for (const char* name : {"fill_bytes_photo.jpg"}) {
        const std::string path = jpegtest::File(name);
        const std::vector<std::uint8_t> bytes = fixture::ReadFile(path);
        ASSERT_GT(bytes.size(), 2 * kPiece) << name;
        const Loaded first = fixture::LoadFile(path);
        ASSERT_EQ(first.code, IMAGELIB_FINISHED) << name;
        // Blocks of many sizes, kept until the end, move where each load's copy lands.
        std::vector<std::vector<std::uint8_t>> shifts;
        int differing = 0;
        for (int i = 0; i < 60; ++i) {
            shifts.emplace_back(1 + std::size_t(i) * 7919 % 70000, std::uint8_t(i));
            const Loaded again = i % 2 ? fixture::LoadBytes(bytes) : fixture::LoadFile(path);
            ASSERT_EQ(again.code, IMAGELIB_FINISHED) << name;
            differing += again.dib != first.dib;
        }
        EXPECT_EQ(differing, 0) << name;
        EXPECT_TRUE(fixture::LoadStepwise(path).dib == first.dib) << name << ": stepwise";
    }
    jpegtest::ClearMessages();
}

}  // namespace
