// BMP files made by independent tools and by hand, loaded through the exports (one call,
// step by step, from a file, a caller's buffer and a module resource) and compared pixel
// by pixel with an independent decoder; damaged files end with a code and leave nothing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fixture_support.h"
#include "formats/bmp/bmp_codes.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/resources.h"

namespace {

using fixture::BmpFields;
using fixture::Decoder;
using fixture::Loaded;

constexpr HMODULE kFixtureModule = 0x4D42;

class BmpLoadTest : public ::testing::Test {
  protected:
    // Files made once per test program: by ImageMagick from its built-in rose image, and by
    // the generator script (top-down, run-length with deltas, OS/2, damaged).
    static void SetUpTestSuite() {
        dir_ = new fixture::TempDir;
        ASSERT_TRUE(fixture::Python("make_bmp.py", {dir_->path()}));
        const std::vector<std::string> crop = {"rose:", "-crop", "37x21+9+7", "+repage"};
        const std::vector<std::string> crop2 = {"rose:", "-crop", "35x17+1+1", "+repage"};
        const std::pair<std::vector<std::string>, std::vector<std::string>> recipes[] = {
            {crop, {"BMP3:" + file("im24.bmp")}},
            {crop, {"-type", "palette", "-colors", "200", "BMP3:" + file("im8.bmp")}},
            {crop, {"-type", "palette", "-colors", "16", "BMP3:" + file("im4.bmp")}},
            {crop, {"-monochrome", "BMP3:" + file("im1.bmp")}},
            {{"rose:"},
             {"-type", "palette", "-colors", "100", "-compress", "RLE",
              "BMP3:" + file("im_rle8.bmp")}},
            {{"rose:"}, {"BMP3:" + file("im_rose24.bmp")}},
            {crop2, {"BMP2:" + file("im_os2_24.bmp")}},
            {crop2, {"-type", "palette", "-colors", "16", "BMP2:" + file("im_os2_4.bmp")}}};
        for (const auto& [base, more] : recipes)
            ASSERT_TRUE(fixture::Convert(base, more)) << more.back();
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override {
        EXPECT_EQ(live_.Leaked(), "");
        Win32UnregisterModuleResources(kFixtureModule);
        Win32SetScreenFormat(32, FALSE);
    }
    static std::string file(const std::string& name) { return dir_->file(name); }

    static fixture::TempDir* dir_;
    fixture::LiveBlocks live_;
};

fixture::TempDir* BmpLoadTest::dir_ = nullptr;

TEST_F(BmpLoadTest, EveryKindOfBmpLoadsLikeAnIndependentDecoder) {
    using Cases = std::vector<std::pair<const char*, int>>;  // file name, bits per pixel
    const Cases pil = {{"im24.bmp", 24},    {"im8.bmp", 8},        {"im4.bmp", 4},
                       {"im1.bmp", 1},      {"im_rle8.bmp", 8},    {"im_os2_24.bmp", 24},
                       {"im_os2_4.bmp", 4}, {"topdown24.bmp", 24}, {"topdown8.bmp", 8},
                       {"topdown1.bmp", 1}, {"os2core8.bmp", 8},   {"os2core1.bmp", 1},
                       {"array4.bmp", 4},   {"header64_4.bmp", 4}};
    // PIL gets run-length deltas and odd RLE4 runs wrong, and knows only the 64-byte one of
    // the OS/2 information headers, which ImageMagick misreads.
    const Cases magick = {{"rle8.bmp", 8},       {"rle4.bmp", 4},       {"rle8_topdown.bmp", 8},
                          {"header16_4.bmp", 4}, {"header42_4.bmp", 4}, {"header46_4.bmp", 4}};
    for (auto [decoder, cases] : {std::pair{Decoder::Pil, &pil}, {Decoder::ImageMagick, &magick}}) {
        for (auto [name, bits] : *cases) {
            SCOPED_TRACE(name);
            // The first bitmap of an OS/2 bitmap array is the same file without the array.
            const std::string reference =
                name == std::string("array4.bmp") ? "array4_plain.bmp" : name;
            fixture::RgbImage expected;
            ASSERT_TRUE(fixture::ReferenceDecode(file(reference), decoder, &expected));
            const Loaded r = fixture::LoadFile(file(name));
            ASSERT_EQ(r.code, IMAGELIB_FINISHED);
            EXPECT_EQ(r.bits(), bits);
            EXPECT_EQ(r.paletteCount(), bits <= 8 ? 1 << bits : 0);
            EXPECT_EQ(fixture::CompareRgb(expected, r.rgb()), "");
        }
    }
}

// Loads a registered resource step by step through its integer id.
Loaded ResourceStepwise(std::uint32_t flags) {
    fixture::Words w;
    Loaded out;
    out.code = SerialImageResourceFirst(kFixtureModule, MAKEINTRESOURCEW(7), RT_BITMAP, &w.a, &w.b,
                                        &flags);
    while (out.code == IMAGELIB_CALL_AGAIN)
        out.code = SerialImageNext(&w.a, &w.b, &flags, nullptr);
    out.dib = fixture::CopyBlock(w.a);
    out.palette = fixture::CopyBlock(w.b);
    return out;
}

TEST_F(BmpLoadTest, BufferResourceAndStepwiseLoadsGiveTheOneShotImage) {
    // Reduced to a palette display's colours without dithering, which varies from load to
    // load; the reducer reports the second half of the progress, for a 4-bit image too.
    Win32SetScreenFormat(8, TRUE);
    for (std::uint32_t flags : {0u, std::uint32_t{IMAGELIB_REDUCE | IMAGELIB_NEAREST_COLOUR}}) {
        for (const char* name :
             {"im8.bmp", "im4.bmp", "im_rle8.bmp", "rle4.bmp", "topdown24.bmp", "im_rose24.bmp"}) {
            SCOPED_TRACE(std::string(name) + " flags " + std::to_string(flags));
            const Loaded once = fixture::LoadFile(file(name), flags);
            ASSERT_EQ(once.code, IMAGELIB_FINISHED);
            const std::vector<std::uint8_t> bytes = fixture::ReadFile(file(name));
            const Loaded buffer = fixture::LoadBytes(bytes, flags);
            EXPECT_TRUE(buffer.dib == once.dib && buffer.palette == once.palette);

            const Loaded stepwise = fixture::LoadStepwise(file(name), flags);
            EXPECT_TRUE(stepwise.dib == once.dib && stepwise.palette == once.palette);
            const int height = once.dib[8] | once.dib[9] << 8;
            EXPECT_GE(stepwise.percents.size(), std::size_t(height / 10 + 1)) << "steps of rows";

            ASSERT_TRUE(Win32RegisterResource(kFixtureModule, RT_RCDATA, L"Picture", bytes.data(),
                                              DWORD(bytes.size())));
            ASSERT_TRUE(Win32RegisterResource(kFixtureModule, RT_BITMAP, MAKEINTRESOURCEW(7),
                                              bytes.data(), DWORD(bytes.size())));
            fixture::Words w;
            std::uint32_t f = flags;
            ASSERT_EQ(ImageLoadResource(kFixtureModule, L"PICTURE", RT_RCDATA, &w.a, &w.b, &f),
                      IMAGELIB_FINISHED);
            EXPECT_EQ(fixture::CopyBlock(w.a), once.dib);
            const Loaded resource = ResourceStepwise(flags);
            EXPECT_TRUE(resource.dib == once.dib && resource.palette == once.palette);
        }
    }
}

TEST_F(BmpLoadTest, HeaderFaultsEndTheLoadWithTheirCodes) {
    struct Case {
        BmpFields fields;
        int expected;
    };
    std::vector<Case> cases = {
        {BmpFields{0, 2, 7, 40, 0, 0, 3}, imagelib::kBmpBadSize},  // the size is checked first
        {BmpFields{4, 0}, imagelib::kBmpBadSize},
        {BmpFields{-4, 2}, imagelib::kBmpBadSize},
        {BmpFields{4, 2, 8, 40, 0, 0, 2}, imagelib::kBmpBadPlaneCount},
        {BmpFields{100000, 100000, 24}, IMAGELIB_OUT_OF_MEMORY},  // sizes in 64 bits
        {BmpFields{INT_MAX, 1, 24}, IMAGELIB_OUT_OF_MEMORY},
        {BmpFields{1, INT_MIN}, IMAGELIB_OUT_OF_MEMORY},  // top-down with no positive height
        {BmpFields{4, 0x40000000}, IMAGELIB_OUT_OF_MEMORY},
        {BmpFields{4, -3}, IMAGELIB_FINISHED},  // top-down
    };
    for (std::uint16_t bits : {0, 2, 7, 16, 32})
        cases.push_back({BmpFields{4, 2, bits}, imagelib::kBmpBadBitCount});
    for (std::uint32_t size : {0u, 8u, 13u, 18u, 41u, 62u, 68u, 108u, 124u})
        cases.push_back({BmpFields{4, 2, 8, size}, imagelib::kBmpBadHeaderSize});
    for (std::uint32_t size : {16u, 20u, 42u, 44u, 46u, 48u, 64u})
        cases.push_back({BmpFields{4, 2, 8, size}, IMAGELIB_FINISHED});
    for (std::uint32_t compression : {3u, 4u, 0xFFFFFFFFu})
        cases.push_back({BmpFields{4, 2, 8, 40, 0, compression}, imagelib::kBmpBadCompression});
    for (const Case& c : cases) {
        const BmpFields& f = c.fields;
        const Loaded r =
            fixture::LoadBytes(fixture::MakeBmp(f, std::vector<std::uint8_t>(1024), {1, 2, 3, 4}));
        EXPECT_EQ(r.code, c.expected)
            << f.width << "x" << f.height << " bits " << f.bits << " header " << f.headerSize
            << " planes " << f.planes << " compression " << f.compression;
    }
    // No bitmap behind "BA"; the largest core header, 65535 x 65535 pixels.
    std::vector<std::uint8_t> array = {'B', 'A'};
    array.resize(14);
    array.insert(array.end(), {'B', 'A'});
    array.resize(70);
    EXPECT_EQ(fixture::LoadBytes(array).code, imagelib::kBmpNoFileHeader);
    const std::vector<std::uint8_t> core = {'B',  'M',  0,    0,    0, 0,  0,  0, 0,
                                            0,    26,   0,    0,    0, 12, 0,  0, 0,
                                            0xFF, 0xFF, 0xFF, 0xFF, 1, 0,  24, 0};
    EXPECT_EQ(fixture::LoadBytes(core).code, IMAGELIB_OUT_OF_MEMORY);
}

TEST_F(BmpLoadTest, ThePaletteHoldsColoursUsedEntriesAtMost256) {
    std::vector<std::uint8_t> quads;
    for (int i = 0; i < 256; ++i)
        quads.insert(quads.end(),
                     {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2 + 1), 0x5A});
    for (auto [used, expected] : {std::pair{0, 256}, {300, 256}, {2, 2}, {17, 17}}) {
        const Loaded r = fixture::LoadBytes(fixture::MakeBmp({4, 2, 8, 40, std::uint32_t(used)},
                                                             quads, std::vector<std::uint8_t>(8)));
        ASSERT_EQ(r.code, IMAGELIB_FINISHED);
        for (int i = 0; i < 256; ++i) {
            const std::uint8_t* q = &r.dib[40 + i * 4];
            const bool read = i < expected;
            EXPECT_TRUE(q[0] == (read ? i : 0) && q[1] == (read ? 255 - i : 0) &&
                        q[2] == (read ? i / 2 + 1 : 0))
                << used << " colours used, entry " << i;
        }
    }
}

TEST_F(BmpLoadTest, DamagedRunLengthStreamsStayInsideTheirRowsAndEnd) {
    for (const char* name : {"rle8_long_runs.bmp", "rle4_long_runs.bmp", "rle8_delta_out.bmp",
                             "rle4_delta_out.bmp", "rle8_many_lines.bmp", "rle4_many_lines.bmp",
                             "rle8_no_end.bmp", "rle4_no_end.bmp", "rle8_empty.bmp"}) {
        SCOPED_TRACE(name);
        const Loaded r = fixture::LoadStepwise(file(name));
        ASSERT_EQ(r.code, IMAGELIB_FINISHED);
        // 4 x 3 pixels: 12 bytes of rows; the block's room behind them stays untouched.
        ASSERT_GT(r.dib.size(), 1064u + 12u);
        EXPECT_EQ(std::vector<std::uint8_t>(r.rows() + 12, r.dib.data() + r.dib.size()),
                  std::vector<std::uint8_t>(r.dib.size() - 1064 - 12, 0));
    }
    // Runs are clipped at the row's end; what came before the data ended is kept.
    auto rows = [](const char* name) {
        const Loaded r = fixture::LoadFile(file(name));
        return std::vector<std::uint8_t>(r.rows(), r.rows() + 12);
    };
    EXPECT_EQ(rows("rle8_long_runs.bmp"),
              (std::vector<std::uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rows("rle8_no_end.bmp"),
              (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0}));
}

// The code a cut file must end with: the magic must be there to be recognised at all, the
// file and information headers whole; after them, missing palette entries and rows read
// as zero and the load finishes.
int CodeOfCut(std::size_t keep, std::size_t headersEnd, std::size_t arrayHeader = 0) {
    if (keep < 2)
        return IMAGELIB_NOT_FOUND;
    if (arrayHeader != 0 && keep < arrayHeader + 2)  // no "BM" behind the array's header
        return imagelib::kBmpNoFileHeader;
    return keep < headersEnd ? imagelib::kBmpShortHeader : IMAGELIB_FINISHED;
}

TEST_F(BmpLoadTest, TruncatedUncompressedFilesKeepThePaletteAndRowsThatAreThere) {
    for (const char* name : {"im24.bmp", "im1.bmp", "im_os2_4.bmp", "array4.bmp", "os2core8.bmp"}) {
        const std::vector<std::uint8_t> whole = fixture::ReadFile(file(name));
        ASSERT_GT(whole.size(), 64u) << name;
        // Where the fields are, read from the bytes independently of the library.
        const std::size_t header = whole[0] == 'B' && whole[1] == 'A' ? 14 : 0;
        auto u32 = [&whole](std::size_t at) {
            return std::uint32_t(whole[at] | whole[at + 1] << 8 | whole[at + 2] << 16 |
                                 std::uint32_t(whole[at + 3]) << 24);
        };
        const std::uint32_t bitsOffset = u32(header + 10);
        const std::uint32_t headerSize = u32(header + 14);
        const bool core = headerSize == 12;
        const int width =
            core ? whole[header + 18] | whole[header + 19] << 8 : int(u32(header + 18));
        const int height =
            core ? whole[header + 20] | whole[header + 21] << 8 : int(u32(header + 22));
        const int bits = whole[header + (core ? 24 : 28)];
        const std::size_t headersEnd = header + 14 + headerSize;
        const std::size_t stride = std::size_t((width * bits + 31) / 32 * 4);
        ASSERT_TRUE(core || headerSize <= 16 || u32(header + 30) == 0) << name << " is compressed";
        const std::uint32_t used = !core && headerSize > 32 ? u32(header + 46) : 0;
        const std::size_t colours = bits == 24  ? 0
                                    : used != 0 ? std::min<std::size_t>(used, 256)
                                                : std::size_t(1) << bits;
        const std::size_t entry = core ? 3 : 4;
        for (std::size_t keep = 1; keep <= whole.size();
             keep = keep == whole.size() ? keep + 1
                                         : std::min(whole.size(), keep + 1 + keep / 16)) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(keep));
            const std::vector<std::uint8_t> cut(whole.begin(),
                                                whole.begin() + std::ptrdiff_t(keep));
            const Loaded r = fixture::LoadBytes(cut);
            ASSERT_EQ(r.code, CodeOfCut(keep, headersEnd, header));
            if (r.code != IMAGELIB_FINISHED)
                continue;
            auto byteAt = [&cut](std::size_t at) { return at < cut.size() ? cut[at] : 0; };
            for (std::size_t i = 0; i < colours; ++i) {
                const std::size_t at = headersEnd + i * entry;
                ASSERT_TRUE(r.dib[40 + i * 4] == byteAt(at) &&
                            r.dib[41 + i * 4] == byteAt(at + 1) &&
                            r.dib[42 + i * 4] == byteAt(at + 2))
                    << "colour " << i;
            }
            for (std::size_t i = 0; i < stride * std::size_t(height); ++i)
                ASSERT_EQ(r.rows()[i], byteAt(bitsOffset + i)) << "row byte " << i;
        }
    }
}

TEST_F(BmpLoadTest, TruncatedRunLengthFilesKeepThePixelsDecodedBeforeTheEnd) {
    for (const char* name : {"im8.bmp", "im_rle8.bmp", "rle4.bmp", "rle8.bmp"}) {
        const std::vector<std::uint8_t> whole = fixture::ReadFile(file(name));
        const Loaded full = fixture::LoadBytes(whole);
        ASSERT_EQ(full.code, IMAGELIB_FINISHED) << name;
        const std::size_t rowsBytes = full.dib.size() - 1064;
        const std::size_t headersEnd = 14 + (whole[14] | whole[15] << 8);
        std::size_t lastZeros = rowsBytes + 1;
        for (std::size_t keep = 1; keep <= whole.size();
             keep = keep == whole.size() ? keep + 1
                                         : std::min(whole.size(), keep + 1 + keep / 32)) {
            SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(keep));
            const Loaded r = fixture::LoadBytes(
                std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(keep)));
            ASSERT_EQ(r.code, CodeOfCut(keep, headersEnd));
            if (r.code != IMAGELIB_FINISHED)
                continue;
            // Every pixel is the whole file's or, not reached yet, zero; more data never
            // loses a pixel.
            std::size_t zeros = 0;
            for (std::size_t i = 0; i < rowsBytes; ++i) {
                const std::uint8_t got = r.rows()[i];
                ASSERT_TRUE(got == full.rows()[i] || got == 0 ||
                            (whole[30] == 2 && (got & 0xF0) == (full.rows()[i] & 0xF0) &&
                             (got & 0x0F) == 0))
                    << "byte " << i;
                zeros += got == 0 && full.rows()[i] != 0;
            }
            EXPECT_LE(zeros, lastZeros);
            lastZeros = zeros;
        }
        EXPECT_EQ(lastZeros, 0u);
    }
    // A file that ends inside its rows keeps the bytes it holds; the rest are zero.
    const Loaded r = fixture::LoadBytes(
        fixture::MakeBmp({4, 4, 8, 40, 2}, std::vector<std::uint8_t>(8), {1, 1, 1, 1, 2, 2}));
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(std::vector<std::uint8_t>(r.rows(), r.rows() + 16),
              (std::vector<std::uint8_t>{1, 1, 1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace

namespace {

// A 3-pixel-wide, 8-bit BMP of more rows than images could once have; pixel (x, file row y)
// is (3 * y + x) % 251. Top-down files store the same rows with a negative height.
std::vector<std::uint8_t> TallBmp(int height, bool topDown) {
    std::vector<std::uint8_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), 7, 0});
    std::vector<std::uint8_t> rows(std::size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < 3; ++x)
            rows[std::size_t(y) * 4 + x] = std::uint8_t((3 * y + x) % 251);
    }
    return fixture::MakeBmp({3, topDown ? -height : height, 8, 40, 256}, palette, rows);
}

TEST(BmpTallImage, AMillionRowsLoadInOneCallAndStepwiseAlikeInEitherRowOrder) {
    constexpr int kHeight = 1100000;
    fixture::TempDir dir;
    fixture::LiveBlocks live;
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const std::string path = dir.file("tall.bmp");
        ASSERT_TRUE(fixture::WriteFile(path, TallBmp(kHeight, topDown)));
        const Loaded oneShot = fixture::LoadFile(path);
        ASSERT_EQ(oneShot.code, IMAGELIB_FINISHED);
        ASSERT_EQ(oneShot.dib.size() >= 1064u + 4u * kHeight, true);
        EXPECT_EQ(oneShot.dib[8] | oneShot.dib[9] << 8 | oneShot.dib[10] << 16, kHeight);
        // Stored rows run bottom-up: file row y of a top-down file is stored row H - 1 - y.
        for (int stored = 0; stored < kHeight; ++stored) {
            const int y = topDown ? kHeight - 1 - stored : stored;
            for (int x = 0; x < 3; ++x)
                ASSERT_EQ(oneShot.rows()[std::size_t(stored) * 4 + x], (3 * y + x) % 251)
                    << "stored row " << stored;
        }
        const Loaded stepwise = fixture::LoadStepwise(path);
        ASSERT_EQ(stepwise.code, IMAGELIB_FINISHED);
        EXPECT_EQ(stepwise.dib, oneShot.dib);
        // Ten rows a step, then the finalise step.
        EXPECT_EQ(stepwise.percents.size(), std::size_t(kHeight / 10 + 1));
    }
    // A top-down file cut inside a row keeps the rows it holds at the top, and the part of
    // the cut row, the rest blank.
    std::vector<std::uint8_t> cut = TallBmp(1000, true);
    const std::size_t rowsAt = cut.size() - 4000;
    cut.resize(rowsAt + 4 * 600 + 2);
    const Loaded r = fixture::LoadBytes(cut);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    for (int stored = 0; stored < 1000; ++stored) {
        const int y = 999 - stored;
        for (int x = 0; x < 3; ++x) {
            const int want = y < 600 || (y == 600 && x < 2) ? (3 * y + x) % 251 : 0;
            ASSERT_EQ(r.rows()[std::size_t(stored) * 4 + x], want) << "file row " << y;
        }
    }
    EXPECT_EQ(live.Leaked(), "");
}

}  // namespace
