// JPEG files made by cjpeg and PIL, loaded through the exports at every scale and for
// every display class, compared with djpeg's output of the same file byte for byte;
// colour spaces that are refused; damaged files that end with a code and one message.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/serial_engine.h"
#include "fixture_support.h"
#include "formats/jpeg/jpeg_fixtures.h"
#include "formats/jpeg/jpeg_state.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/message_box.h"

namespace {

using fixture::Loaded;
using fixture::RgbImage;
using jpegtest::Djpeg;
using jpegtest::File;

constexpr std::uint32_t kAutoScale = IMAGELIB_JPEG_AUTO_SCALE;
constexpr std::uint32_t kHalf = IMAGELIB_JPEG_SCALE_HALF;
constexpr std::uint32_t kQuarter = IMAGELIB_JPEG_SCALE_QUARTER;
constexpr std::uint32_t kEighth = IMAGELIB_JPEG_SCALE_EIGHTH;
constexpr std::uint32_t kUserPalette = IMAGELIB_JPEG_USER_PALETTE;
constexpr std::uint8_t kFixed15[15][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0}, {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0}, {0, 0, 255},   {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

const char* const kColourFiles[] = {"baseline.jpg",    "pil_baseline.jpg",    "baseline444.jpg",
                                    "progressive.jpg", "pil_progressive.jpg", "rgb.jpg",
                                    "restart.jpg",     "tiny_1x1.jpg",        "odd_17x9.jpg",
                                    "wide_4001x3.jpg", "rows_50.jpg"};
const char* const kGreyFiles[] = {"grey.jpg",         "grey_progressive.jpg",
                                  "grey_restart.jpg", "grey_odd_17x9.jpg",
                                  "pil_grey.jpg",     "pil_grey_progressive.jpg"};

struct Scale {
    std::uint32_t flag;
    const char* djpeg;
};
const Scale kScales[] = {{0, "1/1"}, {kHalf, "1/2"}, {kQuarter, "1/4"}, {kEighth, "1/8"}};

class JpegLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { jpegtest::ClearMessages(); }
    void TearDown() override {
        EXPECT_EQ(live_.Leaked(), "");
        SetImagePalette(0, nullptr);
        jpegtest::SetDisplayClass(16);
        jpegtest::ClearMessages();
    }
    fixture::LiveBlocks live_;
};

// The indexes of an 8-bit result, the top row first.
std::vector<std::uint8_t> Indexes(const Loaded& l) {
    const RgbImage size = l.rgb();
    const std::size_t stride = (std::size_t(size.width) + 3) / 4 * 4;
    std::vector<std::uint8_t> out;
    for (int y = size.height - 1; y >= 0; --y)
        out.insert(out.end(), l.rows() + stride * y, l.rows() + stride * y + size.width);
    return out;
}

// The colour-table entries of a result as red, green, blue.
std::vector<std::uint8_t> TableRgb(const Loaded& l, int count) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* q = &l.dib[40 + 4 * i];
        out.insert(out.end(), {q[2], q[1], q[0]});
    }
    return out;
}

TEST_F(JpegLoadTest, ColourAtEveryScaleIsDjpegsOutputInBlueGreenRedRows) {
    for (const char* name : kColourFiles) {
        for (const Scale& s : kScales) {
            RgbImage expected;
            ASSERT_TRUE(Djpeg(File(name), {"-scale", s.djpeg}, &expected)) << name;
            const Loaded l = fixture::LoadFile(File(name), s.flag);
            ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name << " " << s.djpeg;
            EXPECT_EQ(l.bits(), 24);
            EXPECT_EQ(l.paletteCount(), 0);
            EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name << " " << s.djpeg;
        }
    }
    EXPECT_TRUE(jpegtest::Messages().empty());
}

TEST_F(JpegLoadTest, StepwiseAndFromABufferGiveTheSameRows) {
    for (const char* name : {"progressive.jpg", "restart.jpg", "rows_50.jpg"}) {
        const Loaded once = fixture::LoadFile(File(name), kHalf);
        const Loaded steps = fixture::LoadStepwise(File(name), kHalf);
        const Loaded buffer = fixture::LoadBytes(fixture::ReadFile(File(name)), kHalf);
        ASSERT_EQ(steps.code, IMAGELIB_FINISHED);
        EXPECT_EQ(steps.dib, once.dib) << name;
        EXPECT_EQ(buffer.dib, once.dib) << name;
    }
}

TEST_F(JpegLoadTest, AFiftyRowImageTakesOneRowPerCallAndTenCallsPerStep) {
    const Loaded l = fixture::LoadStepwise(File("rows_50.jpg"));
    ASSERT_EQ(l.code, IMAGELIB_FINISHED);
    // Five steps of ten rows, one that finishes the decoding, the finalise step.
    EXPECT_EQ(l.percents.size(), 7u);
}

TEST_F(JpegLoadTest, GreyscaleOnATrueColourScreenIsTheDecodedSamplesOverTheGreyRamp) {
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    for (const char* name : kGreyFiles) {
        for (const Scale& s : kScales) {
            RgbImage expected;
            ASSERT_TRUE(Djpeg(File(name), {"-grayscale", "-scale", s.djpeg}, &expected));
            std::vector<std::uint8_t> samples;
            for (std::size_t i = 0; i < expected.rgb.size(); i += 3)
                samples.push_back(expected.rgb[i]);
            const Loaded once = fixture::LoadFile(File(name), s.flag);
            const Loaded steps = fixture::LoadStepwise(File(name), s.flag);
            ASSERT_EQ(once.code, IMAGELIB_FINISHED) << name;
            ASSERT_EQ(once.bits(), 8);
            ASSERT_EQ(once.paletteCount(), 256);
            EXPECT_EQ(TableRgb(once, 256), ramp);
            EXPECT_EQ(Indexes(once), samples) << name << " " << s.djpeg;
            EXPECT_EQ(steps.dib, once.dib) << name << " " << s.djpeg;
            EXPECT_EQ(steps.palette, once.palette);
        }
    }
    // The logical palette is the same ramp; caller colours change nothing, as for colour
    // images on this screen.
    const Loaded plain = fixture::LoadFile(File("grey.jpg"));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(std::vector<std::uint8_t>(&plain.palette[4 + 4 * i], &plain.palette[7 + 4 * i]),
                  std::vector<std::uint8_t>(3, std::uint8_t(i)));
    const std::uint32_t caller[] = {10, 20, 30, 200, 100, 0};
    SetImagePalette(2, caller);
    const Loaded withCallerColours = fixture::LoadFile(File("grey.jpg"), kUserPalette);
    EXPECT_EQ(withCallerColours.dib, plain.dib);
    EXPECT_EQ(withCallerColours.palette, plain.palette);
    EXPECT_TRUE(jpegtest::Messages().empty());
}

TEST_F(JpegLoadTest, TheFirstScaleFlagWinsAndTheFlagsWordComesBackEmpty) {
    const std::pair<std::uint32_t, int> cases[] = {
        {kHalf | kQuarter, 32},
        {kHalf | kQuarter | kEighth, 32},
        {kQuarter | kEighth, 16},
        {kEighth | kAutoScale, 8},
        {kAutoScale, 32},  // 64 x 48 is a thumbnail: half
        {kHalf | kAutoScale | 0x2000 | 0x8000 | 0x20000, 32}};
    for (const auto& [flags, width] : cases) {
        const Loaded l = fixture::LoadFile(File("baseline.jpg"), flags);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(l.rgb().width, width) << std::hex << flags;
        EXPECT_EQ(l.flags, 0u) << std::hex << flags;
    }
}

TEST_F(JpegLoadTest, TheThumbnailRuleChoosesFromTheStoredSize) {
    const std::pair<const char*, const char*> cases[] = {
        {"size_200x150.jpg", "1/2"}, {"size_201x150.jpg", "1/4"}, {"size_300x100.jpg", "1/4"},
        {"size_400x300.jpg", "1/4"}, {"size_640x480.jpg", "1/8"}, {"size_800x600.jpg", "1/8"},
        {"size_801x600.jpg", "1/1"}, {"size_1024x768.jpg", "1/1"}};
    for (const auto& [name, scale] : cases) {
        RgbImage expected;
        ASSERT_TRUE(Djpeg(File(name), {"-scale", scale}, &expected));
        const Loaded l = fixture::LoadFile(File(name), kAutoScale);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
    }
}

TEST_F(JpegLoadTest, APaletteDisplayGets240ColoursChosenFromTheImage) {
    jpegtest::SetDisplayClass(8);
    for (const char* name : {"baseline.jpg", "progressive.jpg", "restart.jpg", "odd_17x9.jpg"}) {
        for (const Scale& s : {kScales[0], kScales[1]}) {
            RgbImage expected;
            ASSERT_TRUE(Djpeg(File(name), {"-colors", "240", "-scale", s.djpeg}, &expected));
            const Loaded l = fixture::LoadStepwise(File(name), s.flag);
            ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name;
            ASSERT_EQ(l.bits(), 8);
            EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name << " " << s.djpeg;
            std::set<std::vector<std::uint8_t>> colours;
            const std::vector<std::uint8_t> table = TableRgb(l, 256);
            int used = 0;
            for (std::uint8_t index : Indexes(l))
                used = std::max(used, index + 1);
            EXPECT_LE(used, 240) << name;
            for (int i = 0; i < 256; ++i)
                colours.insert({table[3 * i], table[3 * i + 1], table[3 * i + 2]});
            EXPECT_LE(colours.size(), 241u) << "240 colours and black behind them";
        }
    }
    // Two passes: the percent runs up over the output pass, never falling (LoadStepwise).
    const Loaded l = fixture::LoadStepwise(File("size_400x300.jpg"));
    int between = 0;
    for (int p : l.percents)
        between += p > 0 && p < 100;
    EXPECT_GT(between, 0);
}

TEST_F(JpegLoadTest, GreyscaleOnPaletteAnd16ColourDisplaysIsFewerGreyLevels) {
    for (const auto& [displayClass, colours] : {std::pair{8, "240"}, std::pair{4, "15"}}) {
        jpegtest::SetDisplayClass(displayClass);
        for (const char* name : kGreyFiles) {
            RgbImage expected;
            ASSERT_TRUE(Djpeg(File(name), {"-colors", colours}, &expected));
            const Loaded l = fixture::LoadFile(File(name));
            ASSERT_EQ(l.code, IMAGELIB_FINISHED);
            EXPECT_EQ(l.bits(), 8);
            EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name << " " << colours;
            for (std::uint8_t index : Indexes(l))
                ASSERT_LT(index, std::stoi(colours));
        }
    }
}

TEST_F(JpegLoadTest, A16ColourDisplayGetsTheFixedColoursEvenWithCallerColours) {
    jpegtest::SetDisplayClass(4);
    std::vector<std::uint8_t> fixed(&kFixed15[0][0], &kFixed15[0][0] + 45);
    const std::string map = jpegtest::OutFile("fixed15.ppm");
    ASSERT_TRUE(jpegtest::WriteColourMap(map, fixed));
    const std::uint32_t caller[] = {1, 2, 3, 4, 5, 6};
    SetImagePalette(2, caller);
    for (const char* name : {"baseline.jpg", "progressive.jpg", "restart.jpg"}) {
        RgbImage expected;
        ASSERT_TRUE(Djpeg(File(name), {"-map", map}, &expected));
        for (std::uint32_t flags : {0u, kUserPalette}) {
            const Loaded l = fixture::LoadFile(File(name), flags);
            ASSERT_EQ(l.code, IMAGELIB_FINISHED);
            ASSERT_EQ(l.bits(), 8);
            std::vector<std::uint8_t> table = TableRgb(l, 256);
            EXPECT_EQ(std::vector<std::uint8_t>(table.begin(), table.begin() + 45), fixed);
            EXPECT_EQ(std::vector<std::uint8_t>(table.begin() + 45, table.end()),
                      std::vector<std::uint8_t>(3 * 241, 0));
            for (std::uint8_t index : Indexes(l))
                ASSERT_LT(index, 15);
            EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
        }
    }
}

TEST_F(JpegLoadTest, CallerColoursAreUsedExactlyOnAPaletteDisplay) {
    jpegtest::SetDisplayClass(8);
    // 350 colours: the first 256 distinct ones enter, in order; repeats are skipped.
    std::vector<std::uint32_t> caller;
    std::vector<std::uint8_t> distinct;
    std::set<std::uint32_t> seen;
    for (std::uint32_t i = 0; i < 350; ++i) {
        const std::uint32_t k = i % 5 == 4 ? i - 3 : i;  // every fifth repeats an earlier one
        const std::uint32_t r = k * 53 % 256, g = k * 101 % 256, b = k / 256 * 90 + 30;
        caller.insert(caller.end(), {r, g, b});
        if (distinct.size() < 3 * 256 && seen.insert(r << 16 | g << 8 | b).second)
            distinct.insert(distinct.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
    }
    ASSERT_EQ(distinct.size(), 3u * 256);
    const std::string map = jpegtest::OutFile("caller.ppm");
    ASSERT_TRUE(jpegtest::WriteColourMap(map, distinct));
    SetImagePalette(350, caller.data());
    for (const char* name : {"baseline.jpg", "progressive.jpg"}) {
        RgbImage expected;
        ASSERT_TRUE(Djpeg(File(name), {"-map", map}, &expected));
        const Loaded l = fixture::LoadFile(File(name), kUserPalette);
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        ASSERT_EQ(l.bits(), 8);
        EXPECT_EQ(TableRgb(l, 256), distinct);
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
    }
    // Without the flag, or with the colours turned off, the image chooses its own 240.
    RgbImage own;
    ASSERT_TRUE(Djpeg(File("baseline.jpg"), {"-colors", "240"}, &own));
    EXPECT_EQ(fixture::CompareRgb(own, fixture::LoadFile(File("baseline.jpg")).rgb()), "");
    SetImagePalette(0, caller.data());
    EXPECT_EQ(fixture::CompareRgb(own, fixture::LoadFile(File("baseline.jpg"), kUserPalette).rgb()),
              "");
    // A true-colour display quantises nothing: the flag leaves colour images at 24 bits.
    SetImagePalette(350, caller.data());
    jpegtest::SetDisplayClass(16);
    EXPECT_EQ(fixture::LoadFile(File("baseline.jpg"), kUserPalette).bits(), 24);
}

TEST_F(JpegLoadTest, ReductionAfterTheDecodingKeepsThePercentRising) {
    // 24-bit rows reduced to the palette display's depth: the decoding reports the first
    // half, the reducer the second; LoadStepwise checks the percent never falls. A forced
    // 8-bit result is not among the requests a JPEG load keeps after its header.
    jpegtest::SetDisplayClass(16);
    const Loaded forced = fixture::LoadStepwise(File("progressive.jpg"), IMAGELIB_FORCE_8BIT);
    ASSERT_EQ(forced.code, IMAGELIB_FINISHED);
    EXPECT_EQ(forced.bits(), 24);
    const Loaded reduced = fixture::LoadStepwise(File("size_400x300.jpg"), IMAGELIB_REDUCE);
    ASSERT_EQ(reduced.code, IMAGELIB_FINISHED);
    EXPECT_EQ(reduced.flags, std::uint32_t{IMAGELIB_REDUCE});
}

TEST_F(JpegLoadTest, CmykAndYcckAreNotSupported) {
    for (const char* name : {"cmyk.jpg", "ycck.jpg"}) {
        EXPECT_EQ(fixture::LoadFile(File(name)).code, IMAGELIB_NOT_SUPPORTED) << name;
        EXPECT_EQ(fixture::LoadStepwise(File(name)).code, IMAGELIB_NOT_SUPPORTED) << name;
    }
    EXPECT_TRUE(jpegtest::Messages().empty());
}

TEST_F(JpegLoadTest, AHeaderThatCannotBeReadEndsWithSevenAndOneMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"soi_only.jpg", "JPEG datastream contains no image"},
        {"cut_header.jpg", "JPEG datastream contains no image"},
        {"precision12.jpg", "Unsupported JPEG data precision 12"},
        {"bad_progression.jpg", "Invalid progressive parameters Ss=5 Se=0 Ah=0 Al=1"}};
    for (const auto& [name, message] : cases) {
        for (int displayClass : {16, 8}) {
            jpegtest::SetDisplayClass(displayClass);
            jpegtest::ClearMessages();
            EXPECT_EQ(fixture::LoadFile(File(name)).code, IMAGELIB_READ_ERROR) << name;
            EXPECT_EQ(jpegtest::Messages(),
                      std::vector<std::string>{std::string("JPEG Library Error: ") + message});
            EXPECT_EQ(Win32RecordedNotices().at(0).type, MB_OK | MB_ICONERROR);
            jpegtest::ClearMessages();
            EXPECT_EQ(fixture::LoadStepwise(File(name)).code, IMAGELIB_READ_ERROR) << name;
            EXPECT_EQ(jpegtest::Messages().size(), 1u);
        }
    }
}

TEST_F(JpegLoadTest, TruncatedAndNoisyDataDecodeAsDjpegDoesWithOneMessage) {
    for (const char* name : {"cut_data.jpg", "cut_progressive.jpg", "noisy_data.jpg"}) {
        RgbImage expected;
        ASSERT_TRUE(Djpeg(File(name), {}, &expected));
        jpegtest::ClearMessages();
        const Loaded l = fixture::LoadFile(File(name));
        ASSERT_EQ(l.code, IMAGELIB_FINISHED) << name;
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "") << name;
        ASSERT_EQ(jpegtest::Messages().size(), 1u) << name;
        EXPECT_EQ(jpegtest::Messages()[0].rfind("JPEG Library Error: Corrupt JPEG data", 0), 0u)
            << jpegtest::Messages()[0];
    }
}

TEST_F(JpegLoadTest, AFatalErrorAfterTheRowsKeepsThemAndTheirPalette) {
    // The second frame header is met by the finishing step, once every row is decoded.
    for (int displayClass : {16, 8}) {
        jpegtest::SetDisplayClass(displayClass);
        RgbImage expected;
        ASSERT_TRUE(Djpeg(File("baseline.jpg"),
                          displayClass == 8 ? std::vector<std::string>{"-colors", "240"}
                                            : std::vector<std::string>{},
                          &expected));
        jpegtest::ClearMessages();
        const Loaded l = fixture::LoadStepwise(File("second_frame.jpg"));
        ASSERT_EQ(l.code, IMAGELIB_FINISHED);
        EXPECT_EQ(fixture::CompareRgb(expected, l.rgb()), "");
        EXPECT_EQ(jpegtest::Messages(),
                  std::vector<std::string>{
                      "JPEG Library Error: Invalid JPEG file structure: two SOF markers"});
    }
}

TEST_F(JpegLoadTest, AFatalErrorAmidTheRowsKeepsThoseDecodedAndThePaletteTheyIndex) {
    // libjpeg raises few fatal errors once rows flow; an improper state makes one happen
    // in the third step, after twenty rows.
    jpegtest::SetDisplayClass(8);
    RgbImage expected;
    ASSERT_TRUE(Djpeg(File("rows_50.jpg"), {"-colors", "240"}, &expected));
    fixture::Words w;
    std::uint32_t flags = 0;
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(File("rows_50.jpg")).c_str(), nullptr, 0, &w.a,
                                   &w.b, &flags),
              IMAGELIB_CALL_AGAIN);
    ASSERT_EQ(SerialImageNext(&w.a, &w.b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
    ASSERT_EQ(SerialImageNext(&w.a, &w.b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
    imagelib::SerialImageContext* ctx = imagelib::ImageContextFromWords(w.a, w.b);
    ASSERT_NE(ctx, nullptr);
    imagelib::DriverState<imagelib::JpegDecodeState>(&ctx->info).decompressor.global_state = 1234;
    int r = IMAGELIB_CALL_AGAIN;
    while (r == IMAGELIB_CALL_AGAIN)
        r = SerialImageNext(&w.a, &w.b, nullptr, nullptr);
    ASSERT_EQ(r, IMAGELIB_FINISHED);
    Loaded l;
    l.dib = fixture::CopyBlock(w.a);
    ASSERT_EQ(l.bits(), 8);
    const RgbImage got = l.rgb();
    const std::size_t firstRows = 3 * 20 * std::size_t(got.width);
    EXPECT_EQ(std::vector<std::uint8_t>(got.rgb.begin(), got.rgb.begin() + firstRows),
              std::vector<std::uint8_t>(expected.rgb.begin(), expected.rgb.begin() + firstRows));
    // The rows not reached keep index 0, whose colour is the palette's first.
    const std::vector<std::uint8_t> indexes = Indexes(l);
    for (std::size_t i = 20 * std::size_t(got.width); i < indexes.size(); ++i)
        ASSERT_EQ(indexes[i], 0);
    EXPECT_EQ(jpegtest::Messages(),
              std::vector<std::string>{"JPEG Library Error: Improper call to JPEG library in "
                                       "state 1234"});
}

TEST_F(JpegLoadTest, InterleavedLoadsKeepTheirOwnDecoders) {
    fixture::Words a, b;
    std::uint32_t fa = 0, fb = 0;
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(File("rows_50.jpg")).c_str(), nullptr, 0, &a.a,
                                   &a.b, &fa),
              IMAGELIB_CALL_AGAIN);
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(File("progressive.jpg")).c_str(), nullptr, 0, &b.a,
                                   &b.b, &fb),
              IMAGELIB_CALL_AGAIN);
    int ra = IMAGELIB_CALL_AGAIN, rb = IMAGELIB_CALL_AGAIN;
    while (ra == IMAGELIB_CALL_AGAIN || rb == IMAGELIB_CALL_AGAIN) {
        if (ra == IMAGELIB_CALL_AGAIN)
            ra = SerialImageNext(&a.a, &a.b, nullptr, nullptr);
        if (rb == IMAGELIB_CALL_AGAIN)
            rb = SerialImageNext(&b.a, &b.b, nullptr, nullptr);
    }
    ASSERT_EQ(ra, IMAGELIB_FINISHED);
    ASSERT_EQ(rb, IMAGELIB_FINISHED);
    EXPECT_EQ(fixture::CopyBlock(a.a), fixture::LoadFile(File("rows_50.jpg")).dib);
    EXPECT_EQ(fixture::CopyBlock(b.a), fixture::LoadFile(File("progressive.jpg")).dib);
}

TEST_F(JpegLoadTest, ALoadEndedHalfWayLeavesNothing) {
    for (int displayClass : {16, 8}) {
        jpegtest::SetDisplayClass(displayClass);
        fixture::Words w;
        std::uint32_t flags = 0;
        ASSERT_EQ(SerialImageFileFirst(fixture::Wide(File("rows_50.jpg")).c_str(), nullptr, 0, &w.a,
                                       &w.b, &flags),
                  IMAGELIB_CALL_AGAIN);
        ASSERT_EQ(SerialImageNext(&w.a, &w.b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
        EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
    }
    // A held warning is shown when the load ends early too.
    jpegtest::ClearMessages();
    fixture::Words w;
    std::uint32_t flags = 0;
    ASSERT_EQ(SerialImageFileFirst(fixture::Wide(File("cut_progressive.jpg")).c_str(), nullptr, 0,
                                   &w.a, &w.b, &flags),
              IMAGELIB_CALL_AGAIN);
    EXPECT_TRUE(jpegtest::Messages().empty());
    EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
    EXPECT_EQ(jpegtest::Messages().size(), 1u);
}

}  // namespace
