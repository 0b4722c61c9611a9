// A load's work is bounded by its data: files whose many small strips all point at one
// long stream (LZW, PackBits, PackBits of no-op headers) load with each strip decoded only
// until its rows are complete, as the strip decoders' count of bytes read shows, and
// their pixels are those of the stream's first bytes; RGB that declares more samples per
// pixel than the driver takes from a pixel is refused before anything is decoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/tiff/hand_tiff.h"
#include "formats/tiff/tiff_strip.h"
#include "imagelib.h"

namespace {

using fixture::Loaded;
using handtiff::HandEntry;
using handtiff::ImageTags;

// The first bytes of every stream below: distinct, and small enough that a CMYK pixel made
// of them is not black.
std::vector<std::uint8_t> Head() {
    std::vector<std::uint8_t> head(64);
    for (std::size_t i = 0; i < head.size(); ++i)
        head[i] = static_cast<std::uint8_t>((i * 37 + 11) & 63);
    return head;
}

// TIFF LZW codes, most significant bit first, each as wide as the decoder reads it.
class LzwWriter {
  public:
    void Clear() {
        Put(256);
        next_ = 258;
        afterClear_ = true;
    }
    // A code of the current table: after a clear the code is read as a byte and makes no
    // entry; any other makes one until the table is full.
    void Code(std::uint32_t c) {
        Put(c);
        if (!afterClear_ && next_ < 4095)
            ++next_;
        afterClear_ = false;
    }
    // The code being made: the previous string and its own first byte, one longer each time.
    void Grow() { Code(next_); }
    std::uint32_t next() const { return next_; }

    // The bytes, with the end code unless the data are to end without it.
    std::vector<std::uint8_t> Finish(bool endCode = true) {
        if (endCode)
            Put(257);
        if (bits_ > 0)
            bytes_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bits_)));
        return bytes_;
    }
    std::size_t size() const { return bytes_.size(); }

  private:
    void Put(std::uint32_t c) {
        const int width = std::min(32 - __builtin_clz(next_ + 1), 12);
        acc_ = acc_ << width | c;
        bits_ += width;
        while (bits_ >= 8) {
            bits_ -= 8;
            bytes_.push_back(static_cast<std::uint8_t>(acc_ >> bits_));
        }
    }

    std::vector<std::uint8_t> bytes_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
    std::uint32_t next_ = 258;
    bool afterClear_ = false;
};

// Head() as literal codes, then strings one byte longer each time, cleared whenever the
// table is full, up to size bytes of codes: each code after the head decodes to hundreds
// of bytes on average.
std::vector<std::uint8_t> LongLzw(std::size_t size) {
    LzwWriter w;
    w.Clear();
    for (std::uint8_t b : Head())
        w.Code(b);
    while (w.size() < size) {
        if (w.next() >= 4094) {
            w.Clear();
            w.Code(Head()[0]);
        }
        w.Grow();
    }
    return w.Finish();
}

// Head() as one literal run, then runs of 128 repeats up to size bytes; with noOps, size
// bytes of no-op headers come first instead.
std::vector<std::uint8_t> LongPackBits(std::size_t size, bool noOps) {
    std::vector<std::uint8_t> out;
    if (noOps)
        out.assign(size, 0x80);
    const std::vector<std::uint8_t> head = Head();
    out.push_back(static_cast<std::uint8_t>(head.size() - 1));
    out.insert(out.end(), head.begin(), head.end());
    while (out.size() < size) {
        out.push_back(0x81);
        out.push_back(static_cast<std::uint8_t>(out.size()));
    }
    return out;
}

// How the strips' bytes are laid out.
struct Layout {
    const char* name;
    std::uint32_t photometric;
    std::uint32_t samples;
    bool planar;
};

constexpr Layout kLayouts[] = {{"grey", 1, 1, false},
                               {"RGB", 2, 3, false},
                               {"RGB with a fourth sample", 2, 4, false},
                               {"CMYK", 5, 4, false},
                               {"planar RGB", 2, 3, true}};

// A width x rows image of one-row strips (three planes of them when planar) whose offsets
// and byte counts all name the same stream.
std::vector<std::uint8_t> SharedStrips(const Layout& l, std::uint32_t width, std::uint32_t rows,
                                       std::uint32_t compression,
                                       const std::vector<std::uint8_t>& stream,
                                       std::uint16_t samplesType = 3) {
    std::vector<HandEntry> tags = ImageTags(width, rows, l.photometric, l.samples, compression);
    tags[6] = {277, samplesType, 1, l.samples};
    tags.push_back({278, 3, 1, 1});
    if (l.planar)
        tags.push_back({284, 3, 1, 2});
    return handtiff::SharedStripsTiff(tags, stream, l.planar ? 3 * rows : rows);
}

// Every row as the layout makes it of the stream's first bytes d.
fixture::RgbImage RowsOf(const Layout& l, std::uint32_t width, std::uint32_t rows,
                         const std::vector<std::uint8_t>& d) {
    fixture::RgbImage img;
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(rows);
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &d[x * (l.planar ? 1 : l.samples)];
            if (l.samples == 1 || l.planar) {
                img.rgb.insert(img.rgb.end(), {p[0], p[0], p[0]});
            } else if (l.photometric == 5) {
                for (int c = 0; c < 3; ++c)
                    img.rgb.push_back(static_cast<std::uint8_t>(std::max(0, 255 - p[c] - p[3])));
            } else {
                img.rgb.insert(img.rgb.end(), {p[0], p[1], p[2]});
            }
        }
    }
    return img;
}

// A load, and the strip bytes it read.
struct Work {
    Loaded loaded;
    std::uint64_t bytesRead;
};

Work LoadCounted(const std::vector<std::uint8_t>& file) {
    const std::uint64_t before = imagelib::TiffStripBytesRead();
    Loaded r = fixture::LoadBytes(file);
    return Work{std::move(r), imagelib::TiffStripBytesRead() - before};
}

struct Stream {
    const char* name;
    std::uint32_t compression;
    std::vector<std::uint8_t> bytes;
};

std::vector<Stream> LongStreams() {
    return {{"LZW", 5, LongLzw(35000)},
            {"PackBits", 32773, LongPackBits(35000, false)},
            {"PackBits of no-op headers", 32773, LongPackBits(35000, true)}};
}

class TiffWorkTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(live_.Leaked(), ""); }
    fixture::LiveBlocks live_;
};

TEST_F(TiffWorkTest, StripsSharingOneStreamStopWhenTheirRowsAreComplete) {
    for (const Stream& s : LongStreams()) {
        for (const Layout& l : kLayouts) {
            for (const std::uint32_t width : {1u, 3u}) {
                SCOPED_TRACE(std::string(s.name) + ", " + l.name + ", width " +
                             std::to_string(width));
                const std::uint32_t rows = 2000;
                const std::vector<std::uint8_t> file =
                    SharedStrips(l, width, rows, s.compression, s.bytes);
                const Work w = LoadCounted(file);
                ASSERT_EQ(w.loaded.code, IMAGELIB_FINISHED);
                EXPECT_EQ(fixture::CompareRgb(RowsOf(l, width, rows, Head()), w.loaded.rgb()), "");
                if (width > 1 && l.photometric != 5) {
                    // libtiff (through PIL) reads the strips the same way; PIL makes RGB of
                    // CMYK by a formula of its own.
                    const fixture::TempDir dir;
                    ASSERT_TRUE(fixture::WriteFile(dir.file("shared.tif"), file));
                    fixture::RgbImage reference;
                    ASSERT_TRUE(fixture::ReferenceDecode(dir.file("shared.tif"),
                                                         fixture::Decoder::Pil, &reference));
                    EXPECT_EQ(fixture::CompareRgb(reference, w.loaded.rgb()), "");
                }
                // A strip reads the codes or runs of its row and one code more; the no-op
                // headers are walked in full only until more of them have been passed than
                // the file holds, then at most a block of them per strip.
                const std::uint64_t strips = l.planar ? 3 * rows : rows;
                EXPECT_LE(w.bytesRead,
                          2 * file.size() + strips * (imagelib::kTiffNoOpBlock + 8 * width + 16));
                EXPECT_LT(w.bytesRead, strips * s.bytes.size() / 100);
            }
        }
    }
}

TEST_F(TiffWorkTest, OneStripReadsOnlyAsFarAsItsRowsNeed) {
    // 15,000 one-pixel grey strips on 35 KB of LZW codes: one pixel each, a few bytes each.
    const std::vector<std::uint8_t> lzw = LongLzw(35000);
    const Work w = LoadCounted(SharedStrips(kLayouts[0], 1, 15000, 5, lzw));
    ASSERT_EQ(w.loaded.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(RowsOf(kLayouts[0], 1, 15000, Head()), w.loaded.rgb()), "");
    EXPECT_LE(w.bytesRead, 15000u * 12);
    // A strip whose data end right after its row, before the end code, still fails; one
    // whose data go on past its row loads without them being read.
    LzwWriter cut;
    cut.Clear();
    cut.Code(9);
    EXPECT_EQ(fixture::LoadBytes(SharedStrips(kLayouts[0], 1, 1, 5, cut.Finish(false))).code, 7);
    cut.Code(10);
    const Loaded on = fixture::LoadBytes(SharedStrips(kLayouts[0], 1, 1, 5, cut.Finish(false)));
    ASSERT_EQ(on.code, IMAGELIB_FINISHED);
    EXPECT_EQ(on.rgb().rgb, (std::vector<std::uint8_t>{9, 9, 9}));
}

TEST_F(TiffWorkTest, RgbOfMoreSamplesThanADriverPixelIsRefusedUndecoded) {
    // 100 one-row strips declaring 2^31 - 1 samples per pixel, all on one stream of LZW
    // codes; and the largest count a SHORT can declare.
    const std::vector<std::uint8_t> lzw = LongLzw(23000);
    for (const std::uint32_t samples : {0x7FFFFFFFu, 65535u, 5u}) {
        SCOPED_TRACE(samples);
        const Layout l{"RGB", 2, samples, false};
        const Work w = LoadCounted(SharedStrips(l, 1, 100, 5, lzw, samples > 65535 ? 4 : 3));
        EXPECT_EQ(w.loaded.code, IMAGELIB_TIFF_RGB_SAMPLES);
        EXPECT_EQ(w.bytesRead, 0u);
    }
}

TEST(TiffNoOpRuns, PassEndsWhereAByteByByteWalkEnds) {
    // Runs of no-op bytes of every length from 0 to 200, at every alignment, passed from
    // each of their bytes: first a byte at a time, then (once more has been passed than the
    // data hold) through the table; strip ends inside the runs too.
    std::vector<std::uint8_t> data;
    for (std::size_t len = 0; len <= 200; ++len) {
        data.insert(data.end(), len, 0x80);
        data.push_back(7);
    }
    data.insert(data.end(), 150, 0x80);  // a run to the end of the data
    const std::uint8_t* const base = data.data();
    const auto size = static_cast<std::int64_t>(data.size());
    imagelib::TiffNoOpRuns runs(base, size);
    for (int pass = 0; pass < 3; ++pass) {
        for (std::int64_t at = 0; at < size; ++at) {
            if (data[std::size_t(at)] != 0x80)
                continue;
            for (const std::int64_t stripEnd : {size, std::min(size, at + 1 + at % 97)}) {
                std::int64_t walk = at;
                while (walk < stripEnd && data[std::size_t(walk)] == 0x80)
                    ++walk;
                std::int64_t jumped = 0;
                const std::uint8_t* end = runs.Pass(base + at, base + stripEnd, &jumped);
                ASSERT_EQ(end - base, walk) << "pass " << pass << " from " << at;
                EXPECT_LE(jumped, walk - at);
                if (pass == 2) {
                    EXPECT_GT(jumped, walk - at - imagelib::kTiffNoOpBlock)
                        << "at most a block is walked";
                }
            }
        }
    }
}

}  // namespace
