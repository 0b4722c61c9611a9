// TIFF files written by PIL and libtiff's tiffcp, and by the recipe script for what the
// tools will not write, loaded through the exports and compared pixel by pixel with the
// source as the driver is to show it (and with PIL where PIL reads the file the same way);
// refused and damaged files end with their codes and leave nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/tiff/hand_tiff.h"
#include "generated_files_test.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace {

using fixture::Loaded;
using handtiff::HandEntry;
using handtiff::HandTiff;
using handtiff::ImageTags;

struct ManifestLine {
    std::string name;
    bool ok;
    int value;  // bits per pixel when ok, else the code
};

// The expected pixels of a fixture: the PPM the recipe wrote beside it.
fixture::RgbImage ReadPpm(const std::string& path) {
    const std::vector<std::uint8_t> bytes = fixture::ReadFile(path);
    std::istringstream head(
        std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 32)));
    std::string magic;
    int maxValue = 0;
    fixture::RgbImage img;
    head >> magic >> img.width >> img.height >> maxValue;
    const std::size_t start = static_cast<std::size_t>(head.tellg()) + 1;
    img.rgb.assign(bytes.begin() + start, bytes.end());
    return img;
}

class TiffLoadTest : public fixture::GeneratedFilesTest<fixture::kMakeTiff> {
  protected:
    static void SetUpTestSuite() {
        GeneratedFilesTest::SetUpTestSuite();
        std::ifstream in(file("manifest.txt"));
        std::string name, kind;
        int value = 0;
        while (in >> name >> kind >> value)
            manifest_->push_back({name, kind == "ok", value});
        ASSERT_GT(manifest_->size(), 100u);
    }
    static void TearDownTestSuite() {
        GeneratedFilesTest::TearDownTestSuite();
        manifest_->clear();
    }
    void TearDown() override {
        GeneratedFilesTest::TearDown();
        Win32SetScreenFormat(32, FALSE);
    }
    static std::vector<ManifestLine> Lines(bool ok) {
        std::vector<ManifestLine> out;
        for (const ManifestLine& l : *manifest_)
            if (l.ok == ok)
                out.push_back(l);
        return out;
    }

    static std::vector<ManifestLine>* manifest_;
};
std::vector<ManifestLine>* TiffLoadTest::manifest_ = new std::vector<ManifestLine>;

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

TEST_F(TiffLoadTest, EveryAcceptedFileLoadsAsItsSourceShowsIt) {
    std::set<std::string> kinds;
    for (const ManifestLine& l : Lines(true)) {
        SCOPED_TRACE(l.name);
        const Loaded r = fixture::LoadFile(file(l.name));
        ASSERT_EQ(r.code, IMAGELIB_FINISHED);
        EXPECT_EQ(r.bits(), l.value);
        EXPECT_EQ(r.paletteCount(), l.value <= 8 ? 1 << l.value : 0);
        EXPECT_EQ(fixture::CompareRgb(ReadPpm(file(l.name + ".ppm")), r.rgb()), "");
        // The files the tools made are read the same way by an independent decoder.
        if (StartsWith(l.name, "pil_") || StartsWith(l.name, "hand_")) {
            fixture::RgbImage reference;
            ASSERT_TRUE(fixture::ReferenceDecode(file(l.name), fixture::Decoder::Pil, &reference));
            EXPECT_EQ(fixture::CompareRgb(reference, r.rgb()), "");
            kinds.insert(l.name.substr(0, l.name.find('_', 4)));
        }
    }
    EXPECT_GE(kinds.size(), 6u) << "RGB, RGBA, CMYK, grey, palette and bilevel from the tools";
}

TEST_F(TiffLoadTest, GreyAndPalettesAreBuiltAsTheTagsSay) {
    // WhiteIsZero 1-bit: 255, 0; BlackIsZero 4-bit: 0, 17, ... 255.
    const Loaded white = fixture::LoadFile(file("hand_grey1_white.tif"));
    ASSERT_EQ(white.code, IMAGELIB_FINISHED);
    EXPECT_EQ(std::vector<std::uint8_t>(white.palette.begin() + 4, white.palette.begin() + 12),
              (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0, 0, 0}));
    const Loaded black = fixture::LoadFile(file("hand_grey4_black.tif"));
    ASSERT_EQ(black.code, IMAGELIB_FINISHED);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(black.palette[4 + i * 4], i * 17) << i;
    // A map of 8-bit values keeps them; a map counted per colour is read whole.
    for (const char* name : {"colormap_8bit.tif", "colormap_per_colour.tif"}) {
        const Loaded r = fixture::LoadFile(file(name));
        ASSERT_EQ(r.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(fixture::CompareRgb(ReadPpm(file(std::string(name) + ".ppm")), r.rgb()), "");
    }
}

TEST_F(TiffLoadTest, EachRefusedFileEndsWithItsCode) {
    std::set<int> codes;
    for (const ManifestLine& l : Lines(false)) {
        SCOPED_TRACE(l.name);
        EXPECT_EQ(fixture::LoadFile(file(l.name)).code, l.value);
        EXPECT_EQ(fixture::LoadStepwise(file(l.name)).code, l.value);
        codes.insert(l.value);
    }
    // Every code of the driver is reached.
    for (int code : {800, 801, 804, 805, 806, 807, 808, 809, 810, 811, 812, 813, 814, 815,
                     816, 817, 818, 819, 821, 822, 823, 824, 825, 826, 827, 828, 7,   1})
        EXPECT_EQ(codes.count(code), 1u) << code;
}

TEST_F(TiffLoadTest, StepwiseGivesTheOneShotImageInFourPhases) {
    Win32SetScreenFormat(8, TRUE);
    const std::vector<std::string> names = {"pil_rgb_lzw_L_r7.tif", "hand_pal4_packbits_B_r1.tif",
                                            "pil_grey8_lzw2_B.tif", "hand_grey1_white_none_B.tif",
                                            "strips450_lzw.tif",    "pil_rgba_sep_lzw2.tif"};
    for (std::uint32_t flags : {0u, std::uint32_t{IMAGELIB_REDUCE | IMAGELIB_NEAREST_COLOUR}}) {
        for (const std::string& name : names) {
            SCOPED_TRACE(name + " flags " + std::to_string(flags));
            const Loaded once = fixture::LoadFile(file(name), flags);
            ASSERT_EQ(once.code, IMAGELIB_FINISHED);
            const Loaded bytes = fixture::LoadBytes(fixture::ReadFile(file(name)), flags);
            EXPECT_TRUE(bytes.dib == once.dib && bytes.palette == once.palette);
            const Loaded stepwise = fixture::LoadStepwise(file(name), flags);
            ASSERT_EQ(stepwise.code, IMAGELIB_FINISHED);
            EXPECT_TRUE(stepwise.dib == once.dib && stepwise.palette == once.palette);
            ASSERT_GE(stepwise.percents.size(), 3u);
            // One phase per step: a third each, or a sixth each when the reducer follows.
            const bool reduced = flags != 0;
            const std::vector<int> first(stepwise.percents.begin(), stepwise.percents.begin() + 3);
            EXPECT_EQ(first,
                      reduced ? (std::vector<int>{16, 33, 50}) : (std::vector<int>{33, 66, 100}));
        }
    }
}

TEST_F(TiffLoadTest, MemoryBeyondTheResultStaysWithinTheInput) {
    // Clear, end of information: an LZW strip that decodes to nothing, the rest zeros.
    const std::vector<std::uint8_t> emptyLzw = {0x80, 0x40, 0x40};
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        int code;
        std::uint64_t resultBytes;  // the packed DIB the engine makes before decoding
    };
    std::vector<Case> cases;
    {
        // 194 entries, each declaring 4 Gi bytes of values that would run to the file's end.
        std::vector<HandEntry> tags = {
            {256, 3, 1, 16}, {257, 3, 1, 16}, {273, 4, 1, 8}, {317, 3, 1, 2}};
        for (std::uint16_t i = 0; i < 194; ++i)
            tags.push_back({static_cast<std::uint16_t>(1000 + i), 1, 0xFFFFFFFF, 8});
        cases.push_back({"entries declaring 4 Gi values", HandTiff(tags, {}, 2 << 20), 819, 0});
    }
    const std::uint32_t side = 3000;
    const std::uint64_t image24 = 1064 + std::uint64_t{(side * 3 + 3) / 4 * 4} * side;
    {
        std::vector<HandEntry> tags = ImageTags(side, side, 2, 3, 5);
        tags.push_back({284, 3, 1, 2});
        // The three planes' strips all point at the same few bytes.
        tags[5] = {273, 4, 3, 8 + 4};
        std::vector<std::uint8_t> data = emptyLzw;
        data.push_back(0);
        for (std::uint32_t v : {8u, 8u, 8u})
            for (int i = 0; i < 4; ++i)
                data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        cases.push_back({"planar RGB", HandTiff(tags, data), IMAGELIB_FINISHED, image24});
    }
    cases.push_back({"RGB with a fourth sample", HandTiff(ImageTags(side, side, 2, 4, 5), emptyLzw),
                     IMAGELIB_FINISHED, image24});
    cases.push_back(
        {"CMYK in PackBits", HandTiff(ImageTags(side, side, 5, 4, 32773), {0x81, 9}), 7, image24});
    {
        // One strip per row, each beyond the data: the offsets are read from the file
        // again, in place.
        std::vector<HandEntry> tags = ImageTags(side, side, 1, 1, 1);
        tags[5] = {273, 4, side, 8};
        tags.push_back({278, 3, 1, 1});
        cases.push_back({"a strip per row", HandTiff(tags, std::vector<std::uint8_t>(4 * side, 1)),
                         7, 1064 + std::uint64_t{side} * side});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint64_t globalBefore = Win32GlobalBytesOut();
        const std::uint64_t trackedBefore = imagelib::ImageLiveBytes();
        Win32ResetGlobalBytesPeak();
        imagelib::ImageResetPeakBytes();
        const Loaded r = fixture::LoadBytes(c.bytes);
        EXPECT_EQ(r.code, c.code);
        const std::uint64_t budget = 16 * c.bytes.size() + (32 << 20);
        EXPECT_LE(imagelib::ImagePeakBytes() - trackedBefore, budget);
        EXPECT_LE(Win32GlobalBytesPeak() - globalBefore, c.resultBytes + 1032 + budget);
        if (r.code == IMAGELIB_FINISHED) {
            const std::vector<std::uint8_t> rows(r.dib.begin() + 1064, r.dib.end());
            EXPECT_EQ(std::count(rows.begin(), rows.end(), 0), std::ptrdiff_t(rows.size()));
        }
    }
}

TEST_F(TiffLoadTest, PercentRisesWhenTheCallerAsksForACleanMask) {
    // A 4-bit image on a 16-colour screen is reduced only because the mask cleaning turns
    // it into 24-bit rows first: the decoding reports the first half.
    Win32SetScreenFormat(4, FALSE);
    const std::uint32_t flags = IMAGELIB_CLEAN_MASK | IMAGELIB_REDUCE;
    for (const char* name : {"hand_pal4.tif", "pil_rgb_lzw_L_r7.tif"}) {
        SCOPED_TRACE(name);
        const Loaded stepwise = fixture::LoadStepwise(file(name), flags);
        ASSERT_EQ(stepwise.code, IMAGELIB_FINISHED);
        ASSERT_GE(stepwise.percents.size(), 4u);
        EXPECT_EQ(std::vector<int>(stepwise.percents.begin(), stepwise.percents.begin() + 3),
                  (std::vector<int>{16, 33, 50}));
        // Without the random dither both ways give one image.
        const Loaded once = fixture::LoadFile(file(name), flags | IMAGELIB_NEAREST_COLOUR);
        const Loaded steps = fixture::LoadStepwise(file(name), flags | IMAGELIB_NEAREST_COLOUR);
        ASSERT_EQ(once.code, IMAGELIB_FINISHED);
        EXPECT_TRUE(once.dib == steps.dib && once.palette == steps.palette);
    }
}

TEST_F(TiffLoadTest, DamagedFilesEndWithACodeAndLeaveNothing) {
    const std::set<int> allowed = {IMAGELIB_FINISHED,
                                   1,
                                   2,
                                   3,
                                   7,
                                   800,
                                   801,
                                   804,
                                   805,
                                   806,
                                   807,
                                   808,
                                   809,
                                   810,
                                   811,
                                   812,
                                   813,
                                   814,
                                   815,
                                   816,
                                   817,
                                   818,
                                   819,
                                   821,
                                   822,
                                   823,
                                   824,
                                   825,
                                   826,
                                   827,
                                   828};
    int failures = 0;
    for (const char* name : {"pil_rgb_lzw_L_r7.tif", "pil_cmyk_packbits_B_r1.tif",
                             "hand_pal8_lzw2_B.tif", "pil_rgba_sep_lzw_B_r4.tif",
                             "strips450_lzw.tif", "private_tags.tif", "lzw_wide_codes.tif"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> good = fixture::ReadFile(file(name));
        ASSERT_FALSE(good.empty());
        std::vector<std::vector<std::uint8_t>> damaged;
        for (std::size_t cut : {std::size_t{9}, good.size() / 5, good.size() / 2, good.size() - 7})
            damaged.emplace_back(good.begin(), good.begin() + cut);
        std::uint32_t seed = 12345;
        for (int n = 0; n < 24; ++n) {
            std::vector<std::uint8_t> bytes = good;
            for (int k = 0; k < 1 + n % 4; ++k) {
                seed = seed * 1103515245 + 12345;
                bytes[(seed >> 8) % bytes.size()] ^=
                    static_cast<std::uint8_t>(1 + (seed >> 3) % 255);
            }
            damaged.push_back(bytes);
        }
        for (const std::vector<std::uint8_t>& bytes : damaged) {
            const fixture::LiveBlocks before;
            const Loaded r = fixture::LoadBytes(bytes);
            EXPECT_EQ(allowed.count(r.code), 1u) << r.code;
            failures += r.code != IMAGELIB_FINISHED;
            EXPECT_EQ(before.Leaked(), "");
        }
    }
    EXPECT_GT(failures, 10);
}

}  // namespace
