// PNG files made by PIL, ImageMagick and the fixture generator (every colour type and
// depth, Adam7, zlib streams built block by block, tRNS variants) loaded through the
// exports, one-shot and stepwise, and compared with the pixels the generator computed from
// its source samples; damaged files end with their exact codes and leave nothing behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fixture_support.h"
#include "formats/png/png_codes.h"
#include "formats/png/png_fixtures.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace {

using fixture::Loaded;

constexpr std::uint32_t kImageAndMask = IMAGELIB_IMAGE_AND_MASK;
constexpr std::uint32_t kKeepAlpha = IMAGELIB_KEEP_ALPHA;

struct ManifestEntry {
    std::string name;
    std::uint32_t flags;
    int bits, width, height;
    std::string kind;  // "rgb" or "bgra"
};

class PngLoadTest : public png_test::PngFixtureTest {
  protected:
    void TearDown() override {
        GeneratedFilesTest::TearDown();
        Win32SetScreenFormat(32, FALSE);
    }
    static std::vector<std::string> Lines(const std::string& name) {
        std::ifstream in(file(name));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty())
                lines.push_back(line);
        }
        return lines;
    }
};

// The 32-bit rows of a PackedDib, top row first.
std::vector<std::uint8_t> TopDownRows32(const Loaded& l, int width, int height) {
    std::vector<std::uint8_t> out;
    const std::size_t stride = std::size_t(width) * 4;
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = l.rows() + y * stride;
        out.insert(out.end(), row, row + stride);
    }
    return out;
}

std::string FirstDifference(const std::vector<std::uint8_t>& expected,
                            const std::vector<std::uint8_t>& actual) {
    if (expected.size() != actual.size())
        return "sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i])
            return "byte " + std::to_string(i) + ": expected " + std::to_string(expected[i]) +
                   ", got " + std::to_string(actual[i]);
    }
    return "";
}

TEST_F(PngLoadTest, EveryFileLoadsAsComputedFromItsSource) {
    const std::vector<std::string> lines = Lines("manifest.txt");
    ASSERT_GT(lines.size(), 140u);
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        ManifestEntry e;
        fields >> e.name >> std::hex >> e.flags >> std::dec >> e.bits >> e.width >> e.height >>
            e.kind;
        SCOPED_TRACE(line);
        std::ostringstream flagsHex;
        flagsHex << std::hex << e.flags;
        const std::vector<std::uint8_t> expected =
            fixture::ReadFile(file(e.name + "." + flagsHex.str() + "." + e.kind));
        const Loaded l = fixture::LoadFile(file(e.name + ".png"), e.flags);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(l.bits(), e.bits);
        const fixture::RgbImage rgb = l.rgb();
        if (e.kind == "rgb") {
            fixture::RgbImage want;
            want.width = e.width;
            want.height = e.height;
            want.rgb = expected;
            EXPECT_EQ(fixture::CompareRgb(want, rgb), "");
        } else {
            EXPECT_EQ(FirstDifference(expected, TopDownRows32(l, e.width, e.height)), "");
        }
        // Stepwise gives the same result block, byte for byte.
        const Loaded s = fixture::LoadStepwise(file(e.name + ".png"), e.flags);
        ASSERT_EQ(s.code, IMAGELIB_FINISHED);
        EXPECT_TRUE(s.dib == l.dib);
        EXPECT_EQ(s.flags | IMAGELIB_ONE_SHOT, l.flags);
    }
}

TEST_F(PngLoadTest, DamagedFilesEndWithTheirCodeAndLeaveNothing) {
    const std::vector<std::string> lines = Lines("damaged.txt");
    ASSERT_GT(lines.size(), 30u);
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        std::string name;
        int code = 0;
        fields >> name >> code;
        SCOPED_TRACE(line);
        const Loaded l = fixture::LoadFile(file(name + ".png"));
        EXPECT_EQ(l.code, code);
        const Loaded s = fixture::LoadStepwise(file(name + ".png"));
        EXPECT_EQ(s.code, code);
        EXPECT_TRUE(s.dib == l.dib);
        EXPECT_EQ(live_.Leaked(), "");
    }
}

TEST_F(PngLoadTest, FlagsReportWhatTheLoadKept) {
    // tRNS and 0x2000: the layout, 0x2000 kept, width doubled, transparent index reported.
    std::uint32_t flags = kImageAndMask | IMAGELIB_REPORT_TRANSPARENT;
    fixture::Words w;
    std::int32_t transparent = -1;
    ASSERT_EQ(ImageLoadFileTransIndex(fixture::Wide(file("trns_palette.png")).c_str(), nullptr, 0,
                                      &w.a, &w.b, &flags, &transparent),
              IMAGELIB_FINISHED);
    EXPECT_TRUE(flags & kImageAndMask);
    EXPECT_EQ(transparent, 1);
    // With 0x20000 too: 32-bit, 0x20000 kept, 0x2000 lost.
    Loaded l = fixture::LoadFile(file("trns_palette.png"), kImageAndMask | kKeepAlpha);
    EXPECT_EQ(l.bits(), 32);
    EXPECT_EQ(l.flags & (kImageAndMask | kKeepAlpha), kKeepAlpha);
    EXPECT_EQ(l.paletteCount(), 0);
    // 0x20000 alone on a palette image: 8-bit without its transparency, 0x20000 lost.
    l = fixture::LoadFile(file("trns_palette.png"), kKeepAlpha);
    EXPECT_EQ(l.bits(), 8);
    EXPECT_EQ(l.flags & kKeepAlpha, 0u);
    // 0x2000 without a tRNS chunk: lost, width not doubled.
    l = fixture::LoadFile(file("own_c3_d8_i0.png"), kImageAndMask);
    EXPECT_EQ(l.flags & kImageAndMask, 0u);
    EXPECT_EQ(l.rgb().width, 13);
    // A tRNS of opaque entries only: as without tRNS, with or without 0x20000.
    for (const std::uint32_t asked : {kImageAndMask, kImageAndMask | kKeepAlpha}) {
        l = fixture::LoadFile(file("trns_opaque.png"), asked);
        EXPECT_EQ(l.bits(), 8);
        EXPECT_EQ(l.flags & (kImageAndMask | kKeepAlpha), 0u);
        EXPECT_EQ(l.rgb().width, 6);
    }
    // Several entries of alpha 0: the last of them is the transparent index reported.
    flags = kImageAndMask | IMAGELIB_REPORT_TRANSPARENT;
    fixture::Words z;
    ASSERT_EQ(ImageLoadFileTransIndex(fixture::Wide(file("trns_zeros_d8.png")).c_str(), nullptr, 0,
                                      &z.a, &z.b, &flags, &transparent),
              IMAGELIB_FINISHED);
    EXPECT_EQ(transparent, 5);
    // An RGBA image without 0x20000 is 24-bit and reports no alpha.
    l = fixture::LoadFile(file("own_c6_d8_i0.png"), kImageAndMask);
    EXPECT_EQ(l.bits(), 24);
    EXPECT_EQ(l.flags & (kImageAndMask | kKeepAlpha), 0u);
}

TEST_F(PngLoadTest, AlphaIsPremultipliedAndTruncated) {
    // One RGBA pixel (255, 0, 0, 128) and one (200, 100, 50, 255), written by PIL.
    const std::string path = file("two_pixels.png");
    ASSERT_TRUE(fixture::Convert(
        {"-size", "2x1", "xc:rgba(255,0,0,0.50196)", "-fill", "rgba(200,100,50,1)", "-draw",
         "point 1,0", "-define", "png:color-type=6", "-define", "png:bit-depth=8"},
        {path}));
    const Loaded l = fixture::LoadFile(path, kKeepAlpha);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    ASSERT_EQ(l.bits(), 32);
    const std::vector<std::uint8_t> want = {0, 0, 128, 128, 50, 100, 200, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(l.rows(), l.rows() + 8), want);
}

TEST_F(PngLoadTest, DiagnosticsGoToStandardOutput) {
    const std::pair<const char*, const char*> cases[] = {
        {"ihdr_depth3", "PNG ERROR: Problems reading PNG header info.\n"},
        {"zlib_method7", "PNG ERROR: PngProcessData(), MSG_BAD_PNG_DATA(0).\n"},
        {"zlib_block_type3",
         "PNG ERROR: PngProcessData(), MSG_BAD_PNG_DATA(1), bad compression code "
         "encountered.\n"},
        {"zlib_cut", "PNG ERROR: PngExtractHuffSym(), MSG_BAD_PNG_DATA\n"},
        {"zlib_distance_too_far", "PNG ERROR: PngExtractHuffSym(), MSG_BAD_PNG_DATA\n"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        ::testing::internal::CaptureStdout();
        fixture::LoadFile(file(std::string(name) + ".png"));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), text);
    }
}

TEST_F(PngLoadTest, InterleavedStepwiseLoadsKeepTheirOwnDecoders) {
    const std::string first = file("own_c2_d16_i1.png");
    const std::string second = file("trns_palette.png");
    const Loaded oneFirst = fixture::LoadFile(first);
    const Loaded oneSecond = fixture::LoadFile(second, kImageAndMask);
    fixture::Words a, b;
    std::uint32_t flagsA = 0, flagsB = kImageAndMask;
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(first).c_str(), nullptr, 0, &a.a, &a.b, &flagsA),
              IMAGELIB_CALL_AGAIN);
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(second).c_str(), nullptr, 0, &b.a, &b.b, &flagsB),
              IMAGELIB_CALL_AGAIN);
    int ra = IMAGELIB_CALL_AGAIN, rb = IMAGELIB_CALL_AGAIN;
    for (int i = 0; i < 100 && (ra == IMAGELIB_CALL_AGAIN || rb == IMAGELIB_CALL_AGAIN); ++i) {
        if (ra == IMAGELIB_CALL_AGAIN)
            ra = SerialImageNext(&a.a, &a.b, &flagsA, nullptr);
        if (rb == IMAGELIB_CALL_AGAIN)
            rb = SerialImageNext(&b.a, &b.b, &flagsB, nullptr);
    }
    ASSERT_EQ(ra, IMAGELIB_FINISHED);
    ASSERT_EQ(rb, IMAGELIB_FINISHED);
    EXPECT_TRUE(fixture::CopyBlock(a.a) == oneFirst.dib);
    EXPECT_TRUE(fixture::CopyBlock(b.a) == oneSecond.dib);
}

TEST_F(PngLoadTest, AbandonedLoadsFreeTheDecoder) {
    for (const char* name : {"own_c6_d16_i1", "zs_far", "no_idat"}) {
        SCOPED_TRACE(name);
        fixture::Words w;
        std::uint32_t flags = 0;
        ASSERT_EQ(SerialImageFileFirst(fixture::Wide(file(std::string(name) + ".png")).c_str(),
                                       nullptr, 0, &w.a, &w.b, &flags),
                  IMAGELIB_CALL_AGAIN);
        EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
        EXPECT_EQ(live_.Leaked(), "");
    }
}

TEST_F(PngLoadTest, ReducedToThePaletteDisplay) {
    Win32SetScreenFormat(8, TRUE);
    const Loaded l = fixture::LoadFile(file("own_c2_d8_i1.png"), IMAGELIB_REDUCE);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(l.bits(), 8);
    EXPECT_EQ(l.paletteCount(), 256);
}

TEST_F(PngLoadTest, MaskLayoutsReducedToEitherScreenStayMasks) {
    const std::vector<std::string> names = Lines("masks.txt");
    ASSERT_GT(names.size(), 20u);
    const std::uint32_t mask = kImageAndMask | IMAGELIB_REDUCE;
    for (const std::string& name : names) {
        const std::string path = file(name + ".png");
        // The layout unreduced, which the manifest holds to the source pixels.
        const Loaded plain = fixture::LoadFile(path, kImageAndMask);
        ASSERT_EQ(plain.code, IMAGELIB_FINISHED);
        const fixture::RgbImage unreduced = plain.rgb();
        const std::vector<bool> clear = fixture::MaskedPixels(unreduced);
        for (int screen : {4, 8}) {
            SCOPED_TRACE(name + ", screen of " + std::to_string(screen) + " bits");
            Win32SetScreenFormat(screen, screen == 8);
            for (std::uint32_t flags : {mask, mask | IMAGELIB_REDUCE4_NO_ENTRY0}) {
                const Loaded one = fixture::LoadFile(path, flags);
                ASSERT_EQ(one.code, IMAGELIB_FINISHED);
                EXPECT_EQ(fixture::CheckMask(one.rgb(), clear), "") << std::hex << flags;
                const Loaded stepwise = fixture::LoadStepwise(path, flags);
                EXPECT_EQ(fixture::CheckMask(stepwise.rgb(), clear), "") << std::hex << flags;
            }
            const std::uint32_t nearest = mask | IMAGELIB_NEAREST_COLOUR;
            const Loaded one = fixture::LoadFile(path, nearest);
            ASSERT_EQ(one.code, IMAGELIB_FINISHED);
            EXPECT_EQ(fixture::CompareRgb(fixture::NearestOnScreen(unreduced, screen), one.rgb()),
                      "");
            EXPECT_TRUE(fixture::LoadStepwise(path, nearest).dib == one.dib);
        }
    }
}

TEST_F(PngLoadTest, WritingPngIsNotSupported) {
    int dummy = 0;
    EXPECT_EQ(ImageWritePngFile(nullptr, nullptr, nullptr, nullptr, nullptr),
              IMAGELIB_NOT_SUPPORTED);
    EXPECT_EQ(ImageWritePngFile(&dummy, &dummy, &dummy, &dummy, &dummy), IMAGELIB_NOT_SUPPORTED);
}

// A picture of 35 million pixels, more than images were once held to, written by PIL in
// the set-up (once for the suite: it takes a second to make).
constexpr char kPictureOption[] = "--picture";
using PngLargePictureTest = fixture::GeneratedFilesTest<fixture::kMakePng, kPictureOption>;

// What PIL decoded of the picture: its size, and some rows, top row 0, as RGB.
struct SampledRows {
    int width = 0, height = 0;
    std::vector<int> rows;
    std::vector<std::uint8_t> rgb;
};

SampledRows ReadSampledRows(const fixture::TempDir& dir) {
    SampledRows s;
    std::ifstream in(dir.file("picture_rows.txt"));
    in >> s.width >> s.height;
    for (int y; in >> y;)
        s.rows.push_back(y);
    s.rgb = fixture::ReadFile(dir.file("picture_rows.rgb"));
    return s;
}

// "" when the sampled rows of a 24-bit PackedDib are PIL's, else the first that is not.
std::string CompareSampledRows(const std::uint8_t* dib, const SampledRows& s) {
    const std::size_t stride = (std::size_t(s.width) * 3 + 3) / 4 * 4;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        const std::uint8_t* row = dib + 1064 + stride * std::size_t(s.height - 1 - s.rows[i]);
        const std::uint8_t* want = s.rgb.data() + i * std::size_t(s.width) * 3;
        for (int x = 0; x < s.width; ++x) {
            const std::uint8_t* p = row + x * 3;
            const std::uint8_t* q = want + x * 3;
            if (p[0] != q[2] || p[1] != q[1] || p[2] != q[0])
                return "row " + std::to_string(s.rows[i]) + ", pixel " + std::to_string(x);
        }
    }
    return "";
}

TEST_F(PngLargePictureTest, LoadsInOneCallAndStepwiseAlike) {
    const SampledRows sampled = ReadSampledRows(*dir_);
    ASSERT_EQ(sampled.width, 7000);
    ASSERT_EQ(sampled.rgb.size(), sampled.rows.size() * 7000 * 3);
    const std::string path = dir_->file("picture.png");
    const std::uint64_t fileBytes = fixture::ReadFile(path).size();
    const std::uint64_t dibBytes = 1064 + std::uint64_t(7000) * 3 * 5000;
    std::size_t wholeImage[2] = {};
    for (const bool stepwise : {false, true}) {
        SCOPED_TRACE(stepwise ? "stepwise" : "one call");
        const std::uint64_t before = Win32GlobalBytesOut();
        Win32ResetGlobalBytesPeak();
        fixture::Words w;
        std::uint32_t flags = 0;
        int r;
        if (stepwise) {
            r = SerialImageFileFirst(fixture::Wide(path).c_str(), nullptr, 0, &w.a, &w.b, &flags);
            for (int calls = 0; r == IMAGELIB_CALL_AGAIN && calls < 100; ++calls)
                r = SerialImageNext(&w.a, &w.b, &flags, nullptr);
        } else {
            r = ImageLoadFile(fixture::Wide(path).c_str(), nullptr, 0, &w.a, &w.b, &flags);
        }
        ASSERT_EQ(r, IMAGELIB_FINISHED);
        // Besides its result the load holds the file and little more: neither a second
        // image nor a copy of the compressed data.
        EXPECT_LE(Win32GlobalBytesPeak() - before, dibBytes + 1032 + fileBytes + (1 << 20));
        ASSERT_EQ(GlobalSize(w.a), dibBytes);
        const auto* dib = static_cast<const std::uint8_t*>(GlobalLock(w.a));
        ASSERT_NE(dib, nullptr);
        std::int32_t size[2];
        std::memcpy(size, dib + 4, 8);
        EXPECT_EQ(size[0], 7000);
        EXPECT_EQ(size[1], 5000);
        EXPECT_EQ(dib[14], 24);
        EXPECT_EQ(CompareSampledRows(dib, sampled), "");
        wholeImage[stepwise] = std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char*>(dib), dibBytes));
        GlobalUnlock(w.a);
    }
    EXPECT_EQ(wholeImage[0], wholeImage[1]);
}

}  // namespace
