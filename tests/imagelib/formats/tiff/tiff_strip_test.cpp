// The strip decoders a window at a time, against the same strips decoded whole: strips of
// PIL and tiffcp files and of recipe LZW streams of long strings, each far larger than
// the window, whole and cut short.
#include "formats/tiff/tiff_strip.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/mem_stream.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/tiff/tiff_directory.h"
#include "formats/tiff/tiff_state.h"
#include "generated_files_test.h"

namespace {

using namespace imagelib;

// Everything handed over, in order.
struct Collect final : TiffStripSink {
    void Take(const std::uint8_t* bytes, std::int64_t n) override {
        out.insert(out.end(), bytes, bytes + n);
    }
    void TakeZeros(std::int64_t n) override { out.resize(out.size() + std::size_t(n), 0); }
    std::vector<std::uint8_t> out;
};

class TiffStripTest : public fixture::GeneratedFilesTest<fixture::kMakeTiff> {
  protected:
    void SetUp() override {
        lzw_ = static_cast<TiffLzwTables*>(ImageAlloc(sizeof(TiffLzwTables)));
        window_ = static_cast<std::uint8_t*>(ImageAlloc(kTiffWindowBytes));
        ASSERT_TRUE(lzw_ != nullptr && window_ != nullptr);
        TiffLzwStart(lzw_);
    }
    void TearDown() override {
        ImageFree(lzw_);
        ImageFree(window_);
        GeneratedFilesTest::TearDown();
    }

    TiffLzwTables* lzw_ = nullptr;
    std::uint8_t* window_ = nullptr;
};

// The first strip of a one-strip file: its bytes, compression and decoded size.
struct FirstStrip {
    std::vector<std::uint8_t> file;
    TiffStripData in{nullptr, 0};
    std::uint32_t compression = 0;
    std::int64_t expected = 0;
};

FirstStrip ReadFirstStrip(const std::string& path) {
    FirstStrip f;
    f.file = fixture::ReadFile(path);
    ImageMemStream* s =
        ImageMemStreamOpen(nullptr, f.file.data(), std::uint32_t(f.file.size()), L"rb");
    TiffFile* raw = nullptr;
    if (s == nullptr || TiffOpenDirectory(s, 0, &raw) != kTiffDirOk) {
        ImageMemStreamFree(s);
        return f;
    }
    const TiffFilePtr file(raw);
    const TiffDirectory* d = file->directory;
    const std::int64_t samples = TiffTagValue(d, kTagSamplesPerPixel, 1);
    const std::int64_t planar = TiffTagValue(d, kTagPlanarConfiguration, 1);
    f.expected = std::int64_t{TiffTagValue(d, kTagImageWidth, 0)} *
                 TiffTagValue(d, kTagImageLength, 0) * (planar == 2 ? 1 : samples);
    f.compression = std::uint32_t(TiffTagValue(d, kTagCompression, 1));
    const std::int64_t offset = TiffTagValue(d, kTagStripOffsets, 0);
    const std::int64_t count = TiffTagValue(d, kTagStripByteCounts, 0);
    f.in = TiffStripData{f.file.data() + offset, count};
    ImageMemStreamFree(s);
    return f;
}

TEST_F(TiffStripTest, PiecesGiveTheBytesOfTheWholeStrip) {
    for (const char* name :
         {"lzw_repeats.tif", "pil_big_rgba_lzw_one_strip.tif", "pil_big_rgba_lzw2_one_strip.tif",
          "pil_big_rgba_sep_lzw2_one_strip.tif", "pil_big_cmyk_lzw_one_strip.tif",
          "pil_big_rgba_packbits_one_strip.tif", "pil_big_cmyk_packbits_one_strip.tif",
          "pil_big_rgba.tif"}) {
        SCOPED_TRACE(name);
        const FirstStrip f = ReadFirstStrip(dir_->file(name));
        ASSERT_GT(f.expected, kTiffWindowBytes) << "the window moves on";
        // Whole, then cut at a few places: both ways end alike, and give the same bytes
        // when they succeed.
        for (const std::int64_t size : {f.in.size, f.in.size / 2, f.in.size / 9, std::int64_t{5}}) {
            SCOPED_TRACE(size);
            const TiffStripData in{f.in.bytes, size};
            TiffNoOpRuns noOps(f.file.data(), std::int64_t(f.file.size()));
            const TiffStripDecoders dec{lzw_, &noOps};
            std::vector<std::uint8_t> whole(std::size_t(f.expected), 0);
            const int wholeCode =
                TiffDecodeStrip(in, f.compression, 1, 1, 1, whole.data(), f.expected, dec);
            Collect pieces;
            const int piecesCode =
                TiffDecodeStripPieces(in, f.compression, f.expected, dec, window_, pieces);
            EXPECT_EQ(piecesCode, wholeCode);
            if (size == f.in.size) {
                EXPECT_EQ(wholeCode, kOk);
            }
            if (wholeCode == kOk) {
                EXPECT_TRUE(pieces.out == whole);
            }
        }
    }
}

}  // namespace
