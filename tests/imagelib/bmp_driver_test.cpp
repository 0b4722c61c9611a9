// The BMP driver on its own: header and palette reading, and the decoders writing into
// rows of exactly the image's size, so that the sanitizers see any write outside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp_codes.h"
#include "fixture_support.h"
#include "format_driver.h"
#include "load_flags.h"
#include "mem_stream.h"
#include "serial_context.h"
#include "tracked_memory.h"

namespace imagelib {
namespace {

// Little-endian bytes of a hand-built file.
struct Bytes {
    std::vector<std::uint8_t> v;
    Bytes& u8(std::uint32_t x) {
        v.push_back(std::uint8_t(x));
        return *this;
    }
    Bytes& u16(std::uint32_t x) { return u8(x).u8(x >> 8); }
    Bytes& u32(std::uint32_t x) { return u16(x).u16(x >> 16); }
    Bytes& zeros(std::size_t n) {
        v.resize(v.size() + n);
        return *this;
    }
};

struct InfoFields {
    std::uint32_t headerSize = 40;
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
};

// "BM", an information header cut to its size, then tail (palette and rows); the bits
// offset points just behind the header plus paletteBytes.
std::vector<std::uint8_t> InfoBmp(const InfoFields& f, std::uint32_t paletteBytes,
                                  const std::vector<std::uint8_t>& tail) {
    Bytes header;
    header.u32(f.headerSize).u32(std::uint32_t(f.width)).u32(std::uint32_t(f.height));
    header.u16(f.planes).u16(f.bits).u32(f.compression).u32(0).u32(0).u32(0);
    header.u32(f.coloursUsed).u32(0).zeros(24);
    header.v.resize(f.headerSize);
    Bytes file;
    file.u8('B').u8('M').u32(0).u32(0).u32(14 + f.headerSize + paletteBytes);
    file.v.insert(file.v.end(), header.v.begin(), header.v.end());
    file.v.insert(file.v.end(), tail.begin(), tail.end());
    return file.v;
}

// A load context around the driver alone, with result rows of exactly the image's size.
class DriverLoad {
  public:
    explicit DriverLoad(const std::vector<std::uint8_t>& file) {
        ctx_ = static_cast<SerialImageContext*>(ImageAlloc(sizeof(SerialImageContext)));
        ctx_->stream = ImageMemStreamOpen(nullptr, file.data(), std::uint32_t(file.size()), L"rb");
        ctx_->info.displayClass = 16;
        ctx_->rowsPerStep = 10;
        ctx_->state = kStateDecode;
    }
    ~DriverLoad() {
        BmpDecodeStep(ctx_, 1);
        ImageMemStreamFree(ctx_->stream);
        ImageFree(ctx_);
    }
    DriverLoad(const DriverLoad&) = delete;
    DriverLoad& operator=(const DriverLoad&) = delete;

    SerialImageContext* ctx() { return ctx_; }
    ImageInfo& info() { return ctx_->info; }

    // The header and the palette, then rows for the image; 0 or the header's code.
    int begin() {
        const int r = BmpReadHeader(nullptr, ctx_->stream, &ctx_->info, ctx_->flags);
        if (r != kOk) {
            return r;
        }
        EXPECT_EQ(BmpReadPalette(ctx_->stream, &ctx_->info, ctx_->palette), kOk);
        rows_.assign(RowStride(info().width, info().bitsPerPixel) * std::uint64_t(info().height),
                     0);
        ctx_->bits = rows_.data();
        return kOk;
    }

    // Decoding calls until one returns other than 68; its result. Percent never falls.
    int decode() {
        int previous = 0;
        for (int calls = 0; calls < 100000; ++calls) {
            const int r = BmpDecodeStep(ctx_, 0);
            EXPECT_GE(info().percent, previous);
            previous = info().percent;
            ++calls_;
            if (r != kStepAgain) {
                return r;
            }
        }
        ADD_FAILURE() << "decoding does not end";
        return -1;
    }

    int calls() const { return calls_; }
    const std::vector<std::uint8_t>& rows() const { return rows_; }

    // The decoded image as a PackedDib of the file's depth.
    std::vector<std::uint8_t> packedDib() const {
        std::vector<std::uint8_t> dib(kPackedDibRowsOffset, 0);
        Bytes header;
        header.u32(40).u32(std::uint32_t(ctx_->info.width)).u32(std::uint32_t(ctx_->info.height));
        header.u16(1).u16(std::uint16_t(ctx_->info.bitsPerPixel));
        std::copy(header.v.begin(), header.v.end(), dib.begin());
        for (int i = 0; i < 256; ++i) {
            dib[40 + i * 4] = ctx_->palette[i].blue;
            dib[40 + i * 4 + 1] = ctx_->palette[i].green;
            dib[40 + i * 4 + 2] = ctx_->palette[i].red;
        }
        dib.insert(dib.end(), rows_.begin(), rows_.end());
        return dib;
    }

  private:
    SerialImageContext* ctx_;
    std::vector<std::uint8_t> rows_;
    int calls_ = 0;
};

int HeaderResult(const std::vector<std::uint8_t>& file) {
    DriverLoad load(file);
    return load.begin();
}

TEST(BmpHeaderTest, RefusesDataWithoutAFileHeader) {
    EXPECT_EQ(HeaderResult({'G', 'I', 'F', '8', '9', 'a', 0, 0}), kBmpNoFileHeader);
    Bytes array;  // a bitmap array whose first element is not a bitmap
    array.u8('B').u8('A').zeros(12).u8('B').u8('A').zeros(40);
    EXPECT_EQ(HeaderResult(array.v), kBmpNoFileHeader);
    EXPECT_EQ(HeaderResult({'B'}), kBmpNoFileHeader);
}

TEST(BmpHeaderTest, ChecksTheSizeBeforeThePlanesAndTheBitCount) {
    InfoFields f;
    f.width = 0;
    f.planes = 3;
    f.bits = 7;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadSize);
    f.width = 4;
    f.height = 0;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadSize);
    f.height = 2;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadPlaneCount);
    f.planes = 1;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadBitCount);
    for (std::uint16_t bits : {0, 2, 16, 32}) {
        f.bits = bits;
        EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadBitCount) << bits;
    }
}

TEST(BmpHeaderTest, RefusesANegativeWidth) {
    InfoFields f;
    f.width = -4;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 1024, {})), kBmpBadSize);
}

TEST(BmpHeaderTest, RefusesImagesTooLargeForAnyBlockBeforeSizingOne) {
    InfoFields f;
    f.bits = 24;
    f.width = 100000;
    f.height = 100000;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kOutOfMemory);
    f.width = INT_MAX;
    f.height = 1;
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kOutOfMemory);
    f.width = 1;
    f.height = INT_MIN;  // top-down, but its size has no positive counterpart
    EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kOutOfMemory);

    Bytes core;  // the largest core header: 65535 x 65535 pixels
    core.u8('B').u8('M').u32(0).u32(0).u32(26).u32(12).u16(65535).u16(65535).u16(1).u16(24);
    EXPECT_EQ(HeaderResult(core.v), kOutOfMemory);
}

TEST(BmpHeaderTest, AcceptsTheInformationHeaderSizesOfWindowsAndOs2) {
    for (std::uint32_t size : {16u, 20u, 40u, 42u, 44u, 46u, 48u, 64u}) {
        InfoFields f;
        f.headerSize = size;
        DriverLoad load(InfoBmp(f, 1024, {}));
        EXPECT_EQ(load.begin(), kOk) << size;
        EXPECT_EQ(load.info().width, 4);
        EXPECT_EQ(load.info().height, 2);
        EXPECT_EQ(load.info().bitsPerPixel, 8);
    }
    for (std::uint32_t size : {0u, 8u, 13u, 18u, 41u, 62u, 68u, 108u, 124u}) {
        InfoFields f;
        f.headerSize = size;
        EXPECT_EQ(HeaderResult(InfoBmp(f, 0, {})), kBmpBadHeaderSize) << size;
    }
}

TEST(BmpHeaderTest, TakesANegativeHeightAsATopDownImageOfThatManyRows) {
    InfoFields f;
    f.height = -3;
    DriverLoad load(InfoBmp(f, 1024, {}));
    ASSERT_EQ(load.begin(), kOk);
    EXPECT_EQ(load.info().height, 3);
}

TEST(BmpHeaderTest, RefusesAnUnknownCompressionAtTheFirstDecodingCall) {
    for (std::uint32_t compression : {3u, 4u, 0xFFFFFFFFu}) {
        InfoFields f;
        f.compression = compression;
        DriverLoad load(InfoBmp(f, 1024, std::vector<std::uint8_t>(8, 1)));
        ASSERT_EQ(load.begin(), kOk);
        EXPECT_EQ(BmpDecodeStep(load.ctx(), 0), kBmpBadCompression) << compression;
    }
}

std::vector<std::uint8_t> NumberedQuads(int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) {
        b.u8(i).u8(255 - i).u8(i / 2 + 1).u8(0x5A);  // blue, green, red, reserved
    }
    return b.v;
}

TEST(BmpPaletteTest, ReadsColoursUsedEntriesAtMost256FromBehindTheHeader) {
    struct Case {
        std::uint32_t coloursUsed;
        int expected;
    };
    for (const Case c : {Case{0, 256}, Case{300, 256}, Case{2, 2}, Case{17, 17}}) {
        InfoFields f;
        f.coloursUsed = c.coloursUsed;
        DriverLoad load(InfoBmp(f, 4 * 256, NumberedQuads(256)));
        ASSERT_EQ(load.begin(), kOk);
        const PaletteEntry3* p = load.ctx()->palette;
        for (int i = 0; i < 256; ++i) {
            const bool read = i < c.expected;
            EXPECT_EQ(p[i].red, read ? i / 2 + 1 : 0) << c.coloursUsed << " " << i;
            EXPECT_EQ(p[i].green, read ? 255 - i : 0);
            EXPECT_EQ(p[i].blue, read ? i : 0);
        }
    }
}

TEST(BmpPaletteTest, ReadsACoreHeadersTriplesFromOffset26NotFromTheBitsOffset) {
    Bytes core;
    core.u8('B').u8('M').u32(0).u32(0).u32(200).u32(12).u16(3).u16(1).u16(1).u16(4);
    for (int i = 0; i < 16; ++i) {
        core.u8(i).u8(i + 100).u8(i + 200);
    }
    DriverLoad load(core.v);
    ASSERT_EQ(load.begin(), kOk);
    EXPECT_EQ(load.info().bitsPerPixel, 4);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(load.ctx()->palette[i].red, i + 200);
        EXPECT_EQ(load.ctx()->palette[i].green, i + 100);
        EXPECT_EQ(load.ctx()->palette[i].blue, i);
    }
    EXPECT_EQ(load.ctx()->palette[16].red, 0);
}

TEST(BmpDecodeTest, UncompressedRowsComeInStepsAndATopDownFileIsTurned) {
    InfoFields f;
    f.height = -25;
    std::vector<std::uint8_t> tail(1024, 0);
    for (int row = 0; row < 25; ++row) {
        tail.insert(tail.end(), 4, std::uint8_t(row));  // stored top row first
    }
    DriverLoad load(InfoBmp(f, 1024, tail));
    ASSERT_EQ(load.begin(), kOk);
    EXPECT_EQ(load.decode(), kStepDone);
    EXPECT_EQ(load.calls(), 3);
    EXPECT_EQ(load.info().percent, 100);
    for (int row = 0; row < 25; ++row) {  // bottom-up: the last stored row first
        EXPECT_EQ(load.rows()[row * 4], 24 - row);
    }
}

TEST(BmpDecodeTest, ATruncatedUncompressedFileKeepsItsRowsAndZerosTheRest) {
    InfoFields f;
    f.height = 4;
    std::vector<std::uint8_t> tail(1024, 0);
    tail.insert(tail.end(), {1, 1, 1, 1, 2, 2});
    DriverLoad load(InfoBmp(f, 1024, tail));
    ASSERT_EQ(load.begin(), kOk);
    EXPECT_EQ(load.decode(), kStepDone);
    const std::vector<std::uint8_t> expected{1, 1, 1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(load.rows(), expected);
}

TEST(BmpDecodeTest, HalvesThePercentWhenTheReducerReportsTheSecondHalf) {
    InfoFields f;
    DriverLoad load(InfoBmp(f, 1024, std::vector<std::uint8_t>(8, 3)));
    load.ctx()->flags = kFlagReduce;
    ASSERT_EQ(load.begin(), kOk);
    EXPECT_EQ(load.decode(), kStepDone);
    EXPECT_EQ(load.info().percent, 50);
}

// Run-length fixtures decoded by the driver alone against ImageMagick's pixels.
class BmpRleFixtureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fixture::TempDir;
        ASSERT_TRUE(fixture::Python("make_bmp.py", {dir_->path()}));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string file(const std::string& name) { return dir_->file(name); }

  private:
    static fixture::TempDir* dir_;
};

fixture::TempDir* BmpRleFixtureTest::dir_ = nullptr;

TEST_F(BmpRleFixtureTest, DecodesRunsDeltasAndOddRunsLikeAnIndependentDecoder) {
    for (const char* name : {"rle8.bmp", "rle4.bmp", "rle8_topdown.bmp"}) {
        SCOPED_TRACE(name);
        fixture::RgbImage expected;
        ASSERT_TRUE(fixture::ReferenceDecode(file(name), fixture::Decoder::ImageMagick, &expected));
        for (int rowsPerStep : {1, 10, 8192}) {
            DriverLoad load(fixture::ReadFile(file(name)));
            load.ctx()->rowsPerStep = rowsPerStep;
            ASSERT_EQ(load.begin(), kOk);
            EXPECT_EQ(load.decode(), kStepDone);
            EXPECT_EQ(load.info().percent, 100);
            if (rowsPerStep == 1) {
                EXPECT_GE(load.calls(), load.info().height - 1);
            }
            const std::vector<std::uint8_t> dib = load.packedDib();
            EXPECT_EQ(fixture::CompareRgb(expected, fixture::RgbFromPackedDib(dib.data())), "");
        }
    }
}

TEST_F(BmpRleFixtureTest, DamagedStreamsStayInsideTheRowsAndEnd) {
    const std::uint32_t liveBefore = ImageLiveBlockCount();
    for (const char* name : {"rle8_long_runs.bmp", "rle4_long_runs.bmp", "rle8_delta_out.bmp",
                             "rle4_delta_out.bmp", "rle8_many_lines.bmp", "rle4_many_lines.bmp",
                             "rle8_no_end.bmp", "rle4_no_end.bmp", "rle8_empty.bmp"}) {
        SCOPED_TRACE(name);
        for (int rowsPerStep : {1, 8192}) {
            DriverLoad load(fixture::ReadFile(file(name)));
            load.ctx()->rowsPerStep = rowsPerStep;
            ASSERT_EQ(load.begin(), kOk);
            EXPECT_EQ(load.decode(), kStepDone);
        }
    }
    EXPECT_EQ(ImageLiveBlockCount(), liveBefore);
}

TEST_F(BmpRleFixtureTest, ClipsRunsAtTheRowEndAndKeepsWhatCameBeforeTheDataEnded) {
    DriverLoad longRuns(fixture::ReadFile(file("rle8_long_runs.bmp")));
    ASSERT_EQ(longRuns.begin(), kOk);
    EXPECT_EQ(longRuns.decode(), kStepDone);
    std::vector<std::uint8_t> expected(12, 0);  // 4 x 3; the runs never leave row 0
    std::fill(expected.begin(), expected.begin() + 4, 7);
    EXPECT_EQ(longRuns.rows(), expected);

    DriverLoad noEnd(fixture::ReadFile(file("rle8_no_end.bmp")));
    ASSERT_EQ(noEnd.begin(), kOk);
    EXPECT_EQ(noEnd.decode(), kStepDone);
    expected.assign(12, 0);
    std::fill(expected.begin(), expected.begin() + 4, 1);
    expected[4] = 1;  // the absolute run's two bytes that are there
    expected[5] = 2;
    EXPECT_EQ(noEnd.rows(), expected);
}

TEST_F(BmpRleFixtureTest, AbortEndsADecodingHalfWayWithoutLeavingItsReader) {
    const std::uint32_t liveBefore = ImageLiveBlockCount();
    {
        DriverLoad load(fixture::ReadFile(file("rle8.bmp")));
        load.ctx()->rowsPerStep = 1;
        ASSERT_EQ(load.begin(), kOk);
        EXPECT_EQ(BmpDecodeStep(load.ctx(), 0), kStepAgain);
        EXPECT_EQ(BmpDecodeStep(load.ctx(), 1), kStepDone);
        EXPECT_EQ(BmpDecodeStep(load.ctx(), 1), kStepDone);
    }
    EXPECT_EQ(ImageLiveBlockCount(), liveBefore);
}

}  // namespace
}  // namespace imagelib
