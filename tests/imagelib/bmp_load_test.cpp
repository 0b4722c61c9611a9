// BMP files made by independent tools, loaded through the library's exports (one call,
// step by step, from a file, a caller's buffer and a module resource) and compared pixel
// by pixel with an independent decoder; damaged files end with a code and leave nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_codes.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "tracked_memory.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"
#include "win32/resources.h"

namespace {

using fixture::Decoder;

constexpr HMODULE kFixtureModule = 0x4D42;

// The two handle words of one load, cleaned up whatever happens.
struct Load {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    Load() = default;
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;
    ~Load() { SerialImageCleanup(&a, &b); }
};

// The blocks of a finished load, as bytes.
struct Result {
    std::vector<std::uint8_t> dib;
    std::vector<std::uint8_t> palette;
};

Result Blocks(const Load& load) {
    Result r;
    for (auto [handle, out] : {std::pair{load.a, &r.dib}, std::pair{load.b, &r.palette}}) {
        const auto* p = static_cast<const std::uint8_t*>(GlobalLock(handle));
        if (p != nullptr) {
            out->assign(p, p + GlobalSize(handle));
            GlobalUnlock(handle);
        }
    }
    return r;
}

int BitCount(const Result& r) {
    return r.dib[14] | r.dib[15] << 8;
}
int PaletteEntries(const Result& r) {
    return r.palette[2] | r.palette[3] << 8;
}

class BmpLoadTest : public ::testing::Test {
  protected:
    // Files made once per test program: by ImageMagick from its built-in rose image, and by
    // the generator script (top-down, run-length with deltas, OS/2, damaged).
    static void SetUpTestSuite() {
        dir_ = new fixture::TempDir;
        ASSERT_TRUE(fixture::Python("make_bmp.py", {dir_->path()}));
        const std::string rose = "rose:";
        const std::vector<std::vector<std::string>> recipes = {
            {rose, "-crop", "37x21+9+7", "+repage", "BMP3:" + file("im24.bmp")},
            {rose, "-crop", "37x21+9+7", "+repage", "-colors", "200", "-type", "palette",
             "BMP3:" + file("im8.bmp")},
            {rose, "-crop", "37x21+9+7", "+repage", "-colors", "16", "-type", "palette",
             "BMP3:" + file("im4.bmp")},
            {rose, "-crop", "37x21+9+7", "+repage", "-monochrome", "BMP3:" + file("im1.bmp")},
            {rose, "-colors", "100", "-type", "palette", "-compress", "RLE",
             "BMP3:" + file("im_rle8.bmp")},
            {rose, "BMP3:" + file("im_rose24.bmp")},
            {rose, "-crop", "35x17+1+1", "+repage", "BMP2:" + file("im_os2_24.bmp")},
            {rose, "-crop", "35x17+1+1", "+repage", "-colors", "16", "-type", "palette",
             "BMP2:" + file("im_os2_4.bmp")},
        };
        for (const auto& recipe : recipes) {
            ASSERT_TRUE(fixture::Convert(recipe)) << recipe.back();
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        tracked_ = imagelib::ImageLiveBlockCount();
        globals_ = Win32LiveGlobalBlocks();
    }
    void TearDown() override {
        EXPECT_EQ(imagelib::ImageLiveBlockCount(), tracked_) << "tracked blocks left behind";
        EXPECT_EQ(Win32LiveGlobalBlocks(), globals_) << "global blocks left behind";
        Win32UnregisterModuleResources(kFixtureModule);
        Win32SetScreenFormat(32, FALSE);
    }

    static std::string file(const std::string& name) { return dir_->file(name); }

    // A one-shot load of a fixture; its result (empty when the load failed).
    static Result LoadFile(const std::string& name, std::uint32_t flags = 0) {
        Load load;
        const std::wstring path = fixture::Wide(file(name));
        const int r = ImageLoadFile(path.c_str(), nullptr, 0, &load.a, &load.b, &flags);
        EXPECT_EQ(r, IMAGELIB_FINISHED) << name;
        return r == IMAGELIB_FINISHED ? Blocks(load) : Result{};
    }

    static void ExpectLikeReference(const std::string& name, const std::string& reference,
                                    Decoder decoder, int bits) {
        SCOPED_TRACE(name);
        fixture::RgbImage expected;
        ASSERT_TRUE(fixture::ReferenceDecode(file(reference), decoder, &expected));
        const Result r = LoadFile(name);
        ASSERT_FALSE(r.dib.empty());
        EXPECT_EQ(BitCount(r), bits);
        EXPECT_EQ(PaletteEntries(r), bits <= 8 ? 1 << bits : 0);
        EXPECT_EQ(fixture::CompareRgb(expected, fixture::RgbFromPackedDib(r.dib.data())), "");
    }

  private:
    static fixture::TempDir* dir_;
    std::uint32_t tracked_ = 0;
    std::uint32_t globals_ = 0;
};

fixture::TempDir* BmpLoadTest::dir_ = nullptr;

TEST_F(BmpLoadTest, LoadsImageMagicksFilesOfEveryDepthLikePil) {
    ExpectLikeReference("im24.bmp", "im24.bmp", Decoder::Pil, 24);
    ExpectLikeReference("im8.bmp", "im8.bmp", Decoder::Pil, 8);
    ExpectLikeReference("im4.bmp", "im4.bmp", Decoder::Pil, 4);
    ExpectLikeReference("im1.bmp", "im1.bmp", Decoder::Pil, 1);
    ExpectLikeReference("im_rle8.bmp", "im_rle8.bmp", Decoder::Pil, 8);
    ExpectLikeReference("im_os2_24.bmp", "im_os2_24.bmp", Decoder::Pil, 24);
    ExpectLikeReference("im_os2_4.bmp", "im_os2_4.bmp", Decoder::Pil, 4);
}

TEST_F(BmpLoadTest, LoadsTopDownAndOs2FilesLikePil) {
    ExpectLikeReference("topdown24.bmp", "topdown24.bmp", Decoder::Pil, 24);
    ExpectLikeReference("topdown8.bmp", "topdown8.bmp", Decoder::Pil, 8);
    ExpectLikeReference("topdown1.bmp", "topdown1.bmp", Decoder::Pil, 1);
    ExpectLikeReference("os2core8.bmp", "os2core8.bmp", Decoder::Pil, 8);
    ExpectLikeReference("os2core1.bmp", "os2core1.bmp", Decoder::Pil, 1);
    // The first bitmap of an OS/2 bitmap array is the same file without the array.
    ExpectLikeReference("array4.bmp", "array4_plain.bmp", Decoder::Pil, 4);
}

TEST_F(BmpLoadTest, LoadsRunLengthFilesWithDeltasAndOddRunsLikeImageMagick) {
    // PIL's run-length decoder gets deltas and odd RLE4 runs wrong: ImageMagick decodes.
    ExpectLikeReference("rle8.bmp", "rle8.bmp", Decoder::ImageMagick, 8);
    ExpectLikeReference("rle4.bmp", "rle4.bmp", Decoder::ImageMagick, 4);
    ExpectLikeReference("rle8_topdown.bmp", "rle8_topdown.bmp", Decoder::ImageMagick, 8);
}

TEST_F(BmpLoadTest, LoadsTheInformationHeadersOfOs2LikeAnIndependentDecoder) {
    // PIL knows only the 64-byte one of these; ImageMagick misreads that one.
    for (const char* name : {"header16_4.bmp", "header42_4.bmp", "header46_4.bmp"}) {
        ExpectLikeReference(name, name, Decoder::ImageMagick, 4);
    }
    ExpectLikeReference("header64_4.bmp", "header64_4.bmp", Decoder::Pil, 4);
}

TEST_F(BmpLoadTest, BufferAndResourceGiveTheSameImageAsTheFile) {
    for (const char* name : {"im8.bmp", "im_rle8.bmp", "rle4.bmp", "topdown24.bmp"}) {
        SCOPED_TRACE(name);
        const Result fromFile = LoadFile(name);
        ASSERT_FALSE(fromFile.dib.empty());
        const std::vector<std::uint8_t> bytes = fixture::ReadFile(file(name));

        Load buffer;
        const std::wstring missing = fixture::Wide(file("no-such-file.bmp"));
        ASSERT_EQ(ImageLoadFile(missing.c_str(), bytes.data(), std::uint32_t(bytes.size()),
                                &buffer.a, &buffer.b, nullptr),
                  IMAGELIB_FINISHED);
        const Result fromBuffer = Blocks(buffer);
        EXPECT_EQ(fromBuffer.dib, fromFile.dib);
        EXPECT_EQ(fromBuffer.palette, fromFile.palette);

        ASSERT_TRUE(Win32RegisterResource(kFixtureModule, RT_RCDATA(), L"Picture", bytes.data(),
                                          DWORD(bytes.size())));
        Load resource;
        ASSERT_EQ(ImageLoadResource(kFixtureModule, L"PICTURE", RT_RCDATA(), &resource.a,
                                    &resource.b, nullptr),
                  IMAGELIB_FINISHED);
        const Result fromResource = Blocks(resource);
        EXPECT_EQ(fromResource.dib, fromFile.dib);
        EXPECT_EQ(fromResource.palette, fromFile.palette);
    }
}

// A stepwise load: 68 until 69, the percent never falling and ending at 100; the result
// equals the one-shot load's.
void ExpectStepwise(const std::string& path, std::uint32_t flags, const Result& oneShot,
                    int minCalls) {
    Load load;
    const std::wstring wide = fixture::Wide(path);
    ASSERT_EQ(SerialImageFileFirst(wide.c_str(), nullptr, 0, &load.a, &load.b, &flags),
              IMAGELIB_CALL_AGAIN);
    int previous = SerialImagePercentComplete(&load.a, &load.b);
    int calls = 0;
    int r = IMAGELIB_CALL_AGAIN;
    while (r == IMAGELIB_CALL_AGAIN && calls < 100000) {
        r = SerialImageNext(&load.a, &load.b, &flags, nullptr);
        ++calls;
        const int percent = SerialImagePercentComplete(&load.a, &load.b);
        EXPECT_GE(percent, previous) << "after call " << calls;
        EXPECT_LE(percent, 100);
        previous = percent;
    }
    ASSERT_EQ(r, IMAGELIB_FINISHED);
    EXPECT_EQ(previous, 100);
    EXPECT_GE(calls, minCalls) << "the rows come in steps";
    const Result result = Blocks(load);
    EXPECT_EQ(result.dib, oneShot.dib);
    EXPECT_EQ(result.palette, oneShot.palette);
    EXPECT_EQ(SerialImageNext(&load.a, &load.b, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_EQ(SerialImageCleanup(&load.a, &load.b), 0);
    EXPECT_EQ(SerialImageCleanup(&load.a, &load.b), 1);
}

TEST_F(BmpLoadTest, StepwiseLoadsGiveTheOneShotImageWithRisingPercent) {
    // 46 rows, 10 a step: five decoding calls and the finalise step at least.
    for (const char* name : {"im_rose24.bmp", "im_rle8.bmp"}) {
        SCOPED_TRACE(name);
        ExpectStepwise(file(name), 0, LoadFile(name), 6);
    }
    // Reduced to a palette display's colours (without dithering, which varies from load to
    // load): the reducer reports the second half of the progress, for a 4-bit image too.
    Win32SetScreenFormat(8, TRUE);
    const std::uint32_t reduce = IMAGELIB_REDUCE | IMAGELIB_NEAREST_COLOUR;
    for (const char* name : {"im_rose24.bmp", "im_rle8.bmp", "im4.bmp"}) {
        SCOPED_TRACE(name);
        ExpectStepwise(file(name), reduce, LoadFile(name, reduce), 6);
    }
}

TEST_F(BmpLoadTest, ALoadAbandonedWhileDecodingFreesEverything) {
    for (const char* name : {"im_rle8.bmp", "im_rose24.bmp"}) {
        Load load;
        const std::wstring path = fixture::Wide(file(name));
        ASSERT_EQ(SerialImageFileFirst(path.c_str(), nullptr, 0, &load.a, &load.b, nullptr),
                  IMAGELIB_CALL_AGAIN);
        ASSERT_EQ(SerialImageNext(&load.a, &load.b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
        EXPECT_EQ(SerialImageCleanup(&load.a, &load.b), 0) << name;
    }
}

TEST_F(BmpLoadTest, HeaderFaultsEndTheFirstStepWithTheirCodes) {
    struct Case {
        std::size_t at;  // byte to change
        std::vector<std::uint8_t> with;
        int expected;
    };
    const std::vector<Case> cases = {
        {0, {'B', 'X'}, IMAGELIB_NOT_FOUND},          // no format recognised at all
        {0, {'B', 'A'}, imagelib::kBmpNoFileHeader},  // an array without a bitmap
        {18, {0, 0, 0, 0}, imagelib::kBmpBadSize},
        {18, {0xF6, 0xFF, 0xFF, 0xFF}, imagelib::kBmpBadSize},  // width -10
        {22, {0, 0, 0, 0x40}, IMAGELIB_OUT_OF_MEMORY},          // a billion rows
        {26, {2, 0}, imagelib::kBmpBadPlaneCount},
        {28, {32, 0}, imagelib::kBmpBadBitCount},
        {14, {108, 0, 0, 0}, imagelib::kBmpBadHeaderSize},
    };
    const std::vector<std::uint8_t> good = fixture::ReadFile(file("im8.bmp"));
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        std::copy(c.with.begin(), c.with.end(), bytes.begin() + std::ptrdiff_t(c.at));
        Load load;
        EXPECT_EQ(SerialImageFileFirst(nullptr, bytes.data(), std::uint32_t(bytes.size()), &load.a,
                                       &load.b, nullptr),
                  c.expected)
            << "byte " << c.at;
        EXPECT_EQ(load.a | load.b, 0u) << "the failed load is freed";
    }
}

TEST_F(BmpLoadTest, AnUnknownCompressionEndsTheDecodingWith303) {
    std::vector<std::uint8_t> bytes = fixture::ReadFile(file("im8.bmp"));
    bytes[30] = 3;  // bit fields, which an 8-bit file cannot have
    Load load;
    EXPECT_EQ(ImageLoadFile(nullptr, bytes.data(), std::uint32_t(bytes.size()), &load.a, &load.b,
                            nullptr),
              imagelib::kBmpBadCompression);
    EXPECT_EQ(load.a | load.b, 0u);
}

TEST_F(BmpLoadTest, DamagedAndTruncatedFilesEndWithACodeAndLeaveNothing) {
    for (const char* name : {"rle8_long_runs.bmp", "rle4_long_runs.bmp", "rle8_delta_out.bmp",
                             "rle4_delta_out.bmp", "rle8_many_lines.bmp", "rle4_many_lines.bmp",
                             "rle8_no_end.bmp", "rle4_no_end.bmp", "rle8_empty.bmp"}) {
        Load load;
        const std::wstring path = fixture::Wide(file(name));
        EXPECT_EQ(ImageLoadFile(path.c_str(), nullptr, 0, &load.a, &load.b, nullptr),
                  IMAGELIB_FINISHED)
            << name;
    }
    for (const char* name : {"im8.bmp", "im_rle8.bmp", "rle4.bmp", "im_os2_4.bmp", "array4.bmp"}) {
        const std::vector<std::uint8_t> whole = fixture::ReadFile(file(name));
        for (std::size_t keep = 1; keep < whole.size(); keep += 1 + keep / 8) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(keep) + " bytes");
            Load load;
            const int r = ImageLoadFile(nullptr, whole.data(), std::uint32_t(keep), &load.a,
                                        &load.b, nullptr);
            // Cut in the header: a header code; after it, the rows that are there.
            EXPECT_NE(r, IMAGELIB_CALL_AGAIN);
            if (r != IMAGELIB_FINISHED) {
                EXPECT_EQ(load.a | load.b, 0u);
            }
        }
    }
}

TEST_F(BmpLoadTest, AMissingFileGives3AndItsCleanUpFreesTheContext) {
    Load load;
    const std::wstring path = fixture::Wide(file("missing.bmp"));
    EXPECT_EQ(ImageLoadFile(path.c_str(), nullptr, 0, &load.a, &load.b, nullptr),
              IMAGELIB_NOT_FOUND);
    EXPECT_EQ(SerialImageCleanup(&load.a, &load.b), 0);
    EXPECT_EQ(SerialImageCleanup(&load.a, &load.b), 1);
}

}  // namespace
