// GIF images in single mode: hand-made streams and files from independent tools, loaded
// in one call and step by step, compared with their source indices and colours; flags for
// transparency and the image-and-mask layout; damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/gif/gif_fixtures.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace {

using fixture::Loaded;
using giffix::Expected;
using giffix::File;

const char* const kIndexedFixtures[] = {
    "code2_table1",     "code2_table2",   "code4_table4",      "code8_table8",
    "code8_table1",     "code4_table8",   "code9_table3",      "beyond_table",
    "long_strings",     "deferred_clear", "cleared_when_full", "no_clear_full_table",
    "beyond_next_free", "kwkwk",          "repeated_clear",    "no_clear_start",
    "early_end",        "no_end_code",    "too_many_pixels",   "no_tables",
    "local_table_only", "placed",         "outside",           "stray_bytes",
    "transparent",      "tricky_gce",     "interlaced_h1",     "interlaced_h2",
    "interlaced_h3",    "interlaced_h4",  "interlaced_h5",     "interlaced_h6",
    "interlaced_h7",    "interlaced_h8",  "interlaced_h9",     "interlaced_h10",
    "interlaced_h11",   "interlaced_h12", "interlaced_h13",    "interlaced_h14",
    "interlaced_h15",   "interlaced_h16", "interlaced_h17"};

class GifLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { giffix::Dir(); }
    void TearDown() override {
        EXPECT_EQ(live_.Leaked(), "");
        Win32SetScreenFormat(32, FALSE);
    }
    fixture::LiveBlocks live_;
};

// The colour table: the file's entries, grey 128 behind them.
void ExpectColours(const Loaded& l, const Expected& e, const std::string& name) {
    const int n = int(e.palette.size() / 3);
    for (int i = 0; i < 256; ++i) {
        const std::vector<std::uint8_t> want =
            i < n ? std::vector<std::uint8_t>(e.palette.begin() + 3 * i,
                                              e.palette.begin() + 3 * i + 3)
                  : std::vector<std::uint8_t>{128, 128, 128};
        ASSERT_EQ(giffix::ColourAt(l.dib.data(), i), want) << name << " entry " << i;
    }
    EXPECT_EQ(l.paletteCount(), 256) << name;
}

TEST_F(GifLoadTest, HandMadeStreamsGiveTheirSourceIndicesInOneCallAndStepwise) {
    for (const char* name : kIndexedFixtures) {
        Expected e;
        ASSERT_TRUE(giffix::ReadExpected(name, &e)) << name;
        const Loaded once = fixture::LoadFile(File(std::string(name) + ".gif"));
        ASSERT_EQ(once.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(once.bits(), 8) << name;
        const std::vector<std::uint8_t> got = giffix::IndicesOf(once.dib.data());
        EXPECT_EQ(got, e.indices) << name;
        ExpectColours(once, e, name);
        const Loaded steps = fixture::LoadStepwise(File(std::string(name) + ".gif"));
        ASSERT_EQ(steps.code, IMAGELIB_FINISHED) << name;
        EXPECT_TRUE(steps.dib == once.dib) << name << ": stepwise and one-shot differ";
        EXPECT_TRUE(steps.palette == once.palette) << name;
    }
}

TEST_F(GifLoadTest, StepwisePercentRisesWithTheRowsAndEndsAt100) {
    // 200 rows, 10 per step; interlaced rows count in the order they come.
    for (const char* name : {"long_strings", "interlaced_h17"}) {
        const Loaded l = fixture::LoadStepwise(File(std::string(name) + ".gif"));
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        ASSERT_FALSE(l.percents.empty());
        EXPECT_TRUE(std::is_sorted(l.percents.begin(), l.percents.end())) << name;
        EXPECT_EQ(l.percents.back(), 100);
    }
    const Loaded l = fixture::LoadStepwise(File("long_strings.gif"));
    EXPECT_GE(l.percents.size(), 20u);  // about 10 rows (5 percent) per call
    EXPECT_EQ(l.percents[0], 5);
    EXPECT_EQ(l.percents[1], 10);
    // A reduction asked for on a display that needs none changes nothing.
    const Loaded deep = fixture::LoadStepwise(File("long_strings.gif"), IMAGELIB_REDUCE);
    ASSERT_EQ(deep.code, IMAGELIB_FINISHED);
    EXPECT_EQ(deep.percents[0], 5);
    EXPECT_EQ(deep.percents[1], 10);
    // With a reduction to follow the decoding reports the first half only.
    Win32SetScreenFormat(8, TRUE);
    const Loaded reduced = fixture::LoadStepwise(File("long_strings.gif"), IMAGELIB_REDUCE);
    ASSERT_EQ(reduced.code, IMAGELIB_FINISHED);
    EXPECT_TRUE(std::is_sorted(reduced.percents.begin(), reduced.percents.end()));
    EXPECT_EQ(reduced.percents[0], 2);
    EXPECT_LE(reduced.percents[19], 50);
    EXPECT_EQ(reduced.percents.back(), 100);
}

TEST_F(GifLoadTest, ImageMagickFilesMatchPil) {
    fixture::TempDir dir;
    const std::vector<std::string> rose = {"rose:"};
    const std::pair<std::string, std::vector<std::string>> recipes[] = {
        {"im200.gif", {"-colors", "200"}},
        {"im16_interlaced.gif", {"-colors", "16", "-interlace", "GIF"}},
        {"im2.gif", {"-monochrome"}},
        {"im_gray.gif", {"-colorspace", "gray", "-colors", "64"}},
    };
    for (const auto& [name, args] : recipes) {
        std::vector<std::string> more = args;
        more.push_back(dir.file(name));
        ASSERT_TRUE(fixture::Convert(rose, more)) << name;
        fixture::RgbImage reference;
        ASSERT_TRUE(fixture::ReferenceDecode(dir.file(name), fixture::Decoder::Pil, &reference));
        const Loaded l = fixture::LoadFile(dir.file(name));
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(fixture::CompareRgb(reference, l.rgb()), "") << name;
        EXPECT_TRUE(fixture::LoadStepwise(dir.file(name)).dib == l.dib) << name;
    }
}

TEST_F(GifLoadTest, GiflibToolOutputMatchesItsSource) {
    // giftool turns an ImageMagick file into an interlaced one; PIL decodes the source.
    fixture::TempDir dir;
    ASSERT_TRUE(fixture::Convert({"rose:"}, {"-colors", "100", dir.file("src.gif")}));
    const std::string cmd =
        "/usr/bin/giftool -i 1 < '" + dir.file("src.gif") + "' > '" + dir.file("giftool.gif") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    fixture::RgbImage reference;
    ASSERT_TRUE(fixture::ReferenceDecode(dir.file("src.gif"), fixture::Decoder::Pil, &reference));
    const Loaded l = fixture::LoadFile(dir.file("giftool.gif"));
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(reference, l.rgb()), "");
    EXPECT_TRUE(fixture::LoadStepwise(dir.file("giftool.gif")).dib == l.dib);
}

TEST_F(GifLoadTest, PilInterlacedStillMatchesItsSource) {
    fixture::RgbImage source;
    ASSERT_TRUE(
        fixture::ReferenceDecode(File("pil_interlaced.f0.ppm"), fixture::Decoder::Pil, &source));
    const Loaded l = fixture::LoadFile(File("pil_interlaced.gif"));
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CompareRgb(source, l.rgb()), "");
}

TEST_F(GifLoadTest, TransparencyIsReportedOnlyWhenAsked) {
    for (std::uint32_t asked : {0u, unsigned(IMAGELIB_REPORT_TRANSPARENT)}) {
        fixture::Words w;
        std::uint32_t flags = asked;
        std::int32_t index = -7;
        const std::wstring path = fixture::Wide(File("transparent.gif"));
        ASSERT_EQ(ImageLoadFileTransIndex(path.c_str(), nullptr, 0, &w.a, &w.b, &flags, &index),
                  IMAGELIB_FINISHED);
        EXPECT_EQ(index, asked ? 2 : -7);
        EXPECT_EQ(flags & IMAGELIB_REPORT_TRANSPARENT, asked);
    }
    // A file without transparency clears the request.
    const Loaded plain = fixture::LoadFile(File("code2_table2.gif"), IMAGELIB_REPORT_TRANSPARENT);
    EXPECT_EQ(plain.flags & IMAGELIB_REPORT_TRANSPARENT, 0u);
    // A graphic control whose bytes look like introducers is read, not walked.
    fixture::Words w;
    std::uint32_t flags = IMAGELIB_REPORT_TRANSPARENT;
    std::int32_t index = -1;
    const std::wstring tricky = fixture::Wide(File("tricky_gce.gif"));
    ASSERT_EQ(ImageLoadFileTransIndex(tricky.c_str(), nullptr, 0, &w.a, &w.b, &flags, &index),
              IMAGELIB_FINISHED);
    EXPECT_EQ(index, 0x3B);
}

// A graphic control before the image: packed byte 1 marks index as transparent, 0 not.
std::vector<std::uint8_t> Control(int packed, int index) {
    return {0x21, 0xF9, 4, std::uint8_t(packed), 0, 0, std::uint8_t(index), 0};
}

// A graphic control marked transparent whose sub-block stops before the index.
const std::vector<std::uint8_t> kShortControl = {0x21, 0xF9, 3, 1, 0, 0, 0};

TEST_F(GifLoadTest, TheLastTransparentControlBeforeTheImageDecides) {
    const std::vector<std::uint8_t> plain = fixture::ReadFile(File("code2_table2.gif"));
    struct Case {
        std::vector<std::vector<std::uint8_t>> controls;
        int index;             // reported, -7 for none
        bool animationMasked;  // the animation's frame takes the last control alone
    };
    const Case cases[] = {
        {{Control(1, 7), Control(1, 11), Control(0, 3)}, 11, false},
        {{Control(1, 2), Control(0, 0)}, 2, false},
        {{Control(0, 0), Control(1, 2)}, 2, true},
        {{Control(1, 7), Control(1, 1)}, 1, true},
        {{Control(0, 2), Control(0, 1)}, -7, false},
        // Too short to hold an index: a still image takes nothing from it.
        {{kShortControl}, -7, true},
        {{Control(1, 5), kShortControl}, 5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        std::vector<std::uint8_t> bytes = plain;
        // After the head: signature, screen and a table of 4 entries.
        for (auto it = c.controls.rbegin(); it != c.controls.rend(); ++it)
            bytes.insert(bytes.begin() + 25, it->begin(), it->end());
        fixture::Words w;
        std::uint32_t flags = IMAGELIB_REPORT_TRANSPARENT;
        std::int32_t index = -7;
        ASSERT_EQ(ImageLoadFileTransIndex(nullptr, bytes.data(), std::uint32_t(bytes.size()), &w.a,
                                          &w.b, &flags, &index),
                  IMAGELIB_FINISHED);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(flags & IMAGELIB_REPORT_TRANSPARENT,
                  c.index >= 0 ? unsigned(IMAGELIB_REPORT_TRANSPARENT) : 0u);
        const Loaded masked = fixture::LoadBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
        ASSERT_EQ(masked.code, IMAGELIB_FINISHED);
        EXPECT_EQ(masked.dib[4] | masked.dib[5] << 8, c.index >= 0 ? 46 : 23);
        // An animation's frame follows the last control before it, transparent or not.
        const giffix::Animation a = giffix::LoadAnimationBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
        ASSERT_EQ(a.code, IMAGELIB_FINISHED);
        ASSERT_EQ(a.frames.size(), 1u);
        EXPECT_EQ(a.frames[0].dib[4] | a.frames[0].dib[5] << 8, c.animationMasked ? 46 : 23);
    }
}

// Expected image-and-mask rows from the source indices and the keys; opaque pixels of a
// black entry that was made the white key show the black key.
std::vector<std::uint8_t> MaskLayout(const Expected& e, int t, int imageKey, int maskKey,
                                     int blackMadeWhite = -1) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < e.height; ++y) {
        std::vector<std::uint8_t> image, mask;
        for (int x = 0; x < e.width; ++x) {
            const int p = e.indices[std::size_t(y) * e.width + x];
            image.push_back(std::uint8_t(p == t || p == blackMadeWhite ? imageKey : p));
            mask.push_back(std::uint8_t(p == t ? maskKey : imageKey));
        }
        out.insert(out.end(), image.begin(), image.end());
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

TEST_F(GifLoadTest, ImageAndMaskKeysFollowTheTable) {
    struct Case {
        const char* name;
        int t, imageKey, maskKey;
        std::vector<std::pair<int, std::vector<std::uint8_t>>> colours;  // entries set
        int blackMadeWhite = -1;
    };
    const Case cases[] = {
        {"keys_black_white", 2, 0, 1, {{0, {0, 0, 0}}, {1, {255, 255, 255}}, {4, {128, 128, 128}}}},
        {"keys_two_entries", 1, 0, 2, {{1, {255, 255, 254}}, {2, {255, 255, 255}}}},
        {"keys_no_black", 3, 4, 5, {{4, {0, 0, 0}}, {5, {255, 255, 255}}, {6, {128, 128, 128}}}},
        {"keys_shared", 3, 0, 1, {{3, {255, 255, 254}}, {2, {7, 7, 7}}}},
        {"keys_spare_black", 1, 0, 2, {{2, {255, 255, 255}}, {1, {40, 40, 40}}}, 2},
    };
    for (const Case& c : cases) {
        Expected e;
        ASSERT_TRUE(giffix::ReadExpected(c.name, &e));
        const Loaded l = fixture::LoadFile(File(std::string(c.name) + ".gif"),
                                           IMAGELIB_IMAGE_AND_MASK | IMAGELIB_REPORT_TRANSPARENT);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << c.name;
        EXPECT_EQ(l.flags & IMAGELIB_IMAGE_AND_MASK, unsigned(IMAGELIB_IMAGE_AND_MASK));
        EXPECT_EQ(l.flags & IMAGELIB_CLEAN_MASK, 0u) << c.name;
        ASSERT_EQ(l.bits(), 8);
        EXPECT_EQ(giffix::IndicesOf(l.dib.data()),
                  MaskLayout(e, c.t, c.imageKey, c.maskKey, c.blackMadeWhite))
            << c.name;
        // Whatever the keys, every opaque pixel keeps its source colour.
        const fixture::RgbImage rgb = l.rgb();
        for (int y = 0; y < e.height; ++y) {
            for (int x = 0; x < e.width; ++x) {
                const int p = e.indices[std::size_t(y) * e.width + x];
                if (p == c.t)
                    continue;
                EXPECT_EQ(std::vector<std::uint8_t>(rgb.at(x, y), rgb.at(x, y) + 3),
                          std::vector<std::uint8_t>(&e.palette[3 * p], &e.palette[3 * p] + 3))
                    << c.name << " at " << x << ", " << y;
            }
        }
        for (const auto& [i, rgb] : c.colours)
            EXPECT_EQ(giffix::ColourAt(l.dib.data(), i), rgb) << c.name << " entry " << i;
        EXPECT_TRUE(
            fixture::LoadStepwise(File(std::string(c.name) + ".gif"), IMAGELIB_IMAGE_AND_MASK)
                .dib == l.dib)
            << c.name;
    }
}

TEST_F(GifLoadTest, AFullTableWithoutBlackOrWhiteMakesTheTransparentEntryBlackAndCleansTheMask) {
    const Loaded l = fixture::LoadFile(File("keys_full_table.gif"), IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_NE(l.flags & IMAGELIB_CLEAN_MASK, 0u);
    // The cleaned result is 24-bit: the image half keeps its colours (transparent pixels
    // black), the mask half is black where opaque and white where transparent.
    ASSERT_EQ(l.bits(), 24);
    Expected e;
    ASSERT_TRUE(giffix::ReadExpected("keys_full_table", &e));
    const fixture::RgbImage rgb = l.rgb();
    ASSERT_EQ(rgb.width, 2 * e.width);
    for (int y = 0; y < e.height; ++y) {
        for (int x = 0; x < e.width; ++x) {
            const int p = e.indices[std::size_t(y) * e.width + x];
            const std::uint8_t* image = rgb.at(x, y);
            const std::uint8_t* mask = rgb.at(e.width + x, y);
            if (p == 5) {
                EXPECT_EQ(image[0] + image[1] + image[2], 0);
                EXPECT_EQ(mask[0] + mask[1] + mask[2], 765);
            } else {
                EXPECT_EQ(image[0], e.palette[3 * p]);
                EXPECT_EQ(mask[0] + mask[1] + mask[2], 0);
            }
        }
    }
}

TEST_F(GifLoadTest, WithoutTransparencyTheMaskRequestIsDropped) {
    const Loaded l = fixture::LoadFile(File("code4_table4.gif"), IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    EXPECT_EQ(l.flags & IMAGELIB_IMAGE_AND_MASK, 0u);
    EXPECT_EQ(l.rgb().width, 23);
}

TEST_F(GifLoadTest, APlacedFrameWithAMaskKeepsBothHalvesOnItsScreen) {
    // The placed frame's file has no transparency: build one that has, through the same
    // recipe's output plus a graphic control in front of the image.
    std::vector<std::uint8_t> bytes = fixture::ReadFile(File("placed.gif"));
    const std::size_t imageAt = 13 + 12;  // screen descriptor and a 4-entry table
    ASSERT_EQ(bytes[imageAt], 0x2C);
    const std::vector<std::uint8_t> gce = {0x21, 0xF9, 4, 1, 0, 0, 1, 0};
    bytes.insert(bytes.begin() + imageAt, gce.begin(), gce.end());
    const Loaded l = fixture::LoadBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    const fixture::RgbImage rgb = l.rgb();
    EXPECT_EQ(rgb.width, 40);
    EXPECT_EQ(rgb.height, 16);
}

TEST_F(GifLoadTest, DamagedFilesEndWithTheirCodeAndLeaveNothing) {
    const std::pair<const char*, int> cases[] = {
        {"damaged_signature", IMAGELIB_NOT_GIF},
        {"damaged_lower", IMAGELIB_NOT_FOUND},  // "gi" is no format's magic
        {"damaged_five", IMAGELIB_READ_ERROR},
        {"damaged_screen", IMAGELIB_READ_ERROR},
        {"damaged_table", IMAGELIB_READ_ERROR},
        {"damaged_only_trailer", IMAGELIB_GIF_NO_IMAGE},
        {"damaged_descriptor", IMAGELIB_READ_ERROR},
        {"damaged_no_code_size", IMAGELIB_READ_ERROR},
        {"damaged_code_size_1", IMAGELIB_GIF_BAD_CODE_SIZE},
        {"damaged_code_size_10", IMAGELIB_GIF_BAD_CODE_SIZE},
        {"damaged_code_size_9", IMAGELIB_FINISHED},
        {"damaged_truncated_data", IMAGELIB_FINISHED},
        {"damaged_ext_cut", IMAGELIB_READ_ERROR},
    };
    for (const auto& [name, code] : cases) {
        const std::string path = File(std::string(name) + ".gif");
        EXPECT_EQ(fixture::LoadFile(path).code, code) << name;
        EXPECT_EQ(fixture::LoadStepwise(path).code, code) << name;
        EXPECT_EQ(live_.Leaked(), "") << name;
    }
    for (int k = 0; k < 20; ++k) {
        const std::string path = File("damaged_random" + std::to_string(k) + ".gif");
        const Loaded once = fixture::LoadFile(path, IMAGELIB_IMAGE_AND_MASK);
        const Loaded steps = fixture::LoadStepwise(path, IMAGELIB_IMAGE_AND_MASK);
        EXPECT_EQ(once.code, steps.code) << path;
        EXPECT_TRUE(once.dib == steps.dib) << path;
        EXPECT_EQ(live_.Leaked(), "") << path;
    }
}

TEST_F(GifLoadTest, ASignatureOneByteOffIsNotAGif) {
    std::vector<std::uint8_t> bytes = fixture::ReadFile(File("code2_table2.gif"));
    for (std::size_t i = 2; i < 6; ++i) {
        std::vector<std::uint8_t> changed = bytes;
        changed[i] ^= 0x20;
        EXPECT_EQ(fixture::LoadBytes(changed).code, IMAGELIB_NOT_GIF) << i;
    }
}

TEST_F(GifLoadTest, OutOfMemoryAtEveryAllocationFailsCleanly) {
    const std::string path = File("keys_two_entries.gif");
    for (std::uint32_t n = 1; n < 12; ++n) {
        Win32FailGlobalAllocAfter(n);
        const Loaded l = fixture::LoadFile(path, IMAGELIB_IMAGE_AND_MASK);
        Win32FailGlobalAllocAfter(0);
        // The source's own copy may fail too: then it is not found (3).
        EXPECT_TRUE(l.code == IMAGELIB_FINISHED || l.code == IMAGELIB_OUT_OF_MEMORY ||
                    l.code == IMAGELIB_NOT_FOUND)
            << n;
        EXPECT_EQ(live_.Leaked(), "") << n;
    }
}

TEST_F(GifLoadTest, ScreensAndMaskWidthsBeyondThePixelLimitFailWith1) {
    // 65535 x 65535 logical screen with a small frame placed on it.
    std::vector<std::uint8_t> bytes = fixture::ReadFile(File("placed.gif"));
    bytes[6] = bytes[7] = bytes[8] = bytes[9] = 0xFF;
    EXPECT_EQ(fixture::LoadBytes(bytes).code, IMAGELIB_OUT_OF_MEMORY);
}

}  // namespace
