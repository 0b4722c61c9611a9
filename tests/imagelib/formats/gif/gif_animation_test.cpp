// GIF animations: the records of ImageLoadGIFAnimation read back slot by slot against
// what the files hold, each frame's pixels against its source, the frame count, and
// failed loads that must leave nothing behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "formats/gif/gif_fixtures.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

using giffix::Animation;
using giffix::Expected;
using giffix::File;

class GifAnimationTest : public ::testing::Test {
  protected:
    void SetUp() override { giffix::Dir(); }
    void TearDown() override { EXPECT_EQ(live_.Leaked(), ""); }
    fixture::LiveBlocks live_;
};

GifAnimRecord Screen(std::uint32_t w, std::uint32_t h, std::uint32_t background) {
    GifAnimRecord r{};
    r.kind = 0x69;
    r.width = w;
    r.height = h;
    r.background = background;
    return r;
}

GifAnimRecord Control(std::uint32_t delay, std::uint8_t packed, std::uint32_t index) {
    GifAnimRecord r{};
    r.kind = 0xF9;
    r.delay = delay;
    r.transparent = packed & 1;
    r.transparentIndex = index;
    r.disposalHigh = packed & 8;
    r.userInput = packed & 2;
    r.disposalLow = packed & 4;
    return r;
}

GifAnimRecord Loop(std::uint32_t count) {
    GifAnimRecord r{};
    r.kind = 0xFF;
    r.loopCount = count;
    return r;
}

GifAnimRecord FrameAt(std::uint32_t w, std::uint32_t h, std::uint32_t left, std::uint32_t top) {
    GifAnimRecord r{};
    r.kind = 0x2C;
    r.width = w;
    r.height = h;
    r.left = left;
    r.top = top;
    return r;
}

// Compares every slot but the frame handles, which only have to be there.
void ExpectRecords(const Animation& a, const std::vector<GifAnimRecord>& want) {
    ASSERT_EQ(a.records.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        GifAnimRecord got = a.records[i];
        if (got.kind == 0x2C) {
            EXPECT_NE(got.dib, 0u) << "record " << i;
            EXPECT_NE(got.palette, 0u) << "record " << i;
            got.dib = got.palette = 0;
        }
        EXPECT_EQ(std::memcmp(&got, &want[i], sizeof got), 0)
            << "record " << i << " kind " << got.kind << " w " << got.width << " h " << got.height
            << " delay " << got.delay << " loop " << got.loopCount << " bg " << got.background;
    }
}

void ExpectFrame(const giffix::Frame& f, const std::string& expected, int paletteEntries) {
    Expected e;
    ASSERT_TRUE(giffix::ReadExpected(expected, &e)) << expected;
    ASSERT_GE(f.dib.size(), 1064u);
    EXPECT_EQ(giffix::IndicesOf(f.dib.data()), e.indices) << expected;
    for (std::size_t i = 0; i < e.palette.size() / 3; ++i)
        EXPECT_EQ(
            giffix::ColourAt(f.dib.data(), int(i)),
            std::vector<std::uint8_t>(e.palette.begin() + 3 * i, e.palette.begin() + 3 * i + 3))
            << expected << " entry " << i;
    ASSERT_EQ(f.palette.size(), 1032u);
    EXPECT_EQ(f.palette[0] | f.palette[1] << 8, 0x300);
    EXPECT_EQ(f.palette[2] | f.palette[3] << 8, paletteEntries) << expected;
    // The logical palette holds the same colours as the bitmap's table.
    for (int i = 0; i < paletteEntries; ++i)
        EXPECT_EQ(
            std::vector<std::uint8_t>(f.palette.begin() + 4 + 4 * i, f.palette.begin() + 7 + 4 * i),
            giffix::ColourAt(f.dib.data(), i));
}

TEST_F(GifAnimationTest, RecordsFollowTheFileSlotBySlot) {
    const Animation a = giffix::LoadAnimation(File("anim3.gif"));
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    EXPECT_EQ(a.listBytes, 4096u);
    ExpectRecords(a, {Screen(10, 8, 0xFF0000), Loop(3), Control(10, 0x08, 0), FrameAt(8, 6, 0, 0),
                      Control(25, 0x0D, 1), FrameAt(5, 4, 2, 1), FrameAt(5, 4, 3, 2)});
    ASSERT_EQ(a.frames.size(), 3u);
    // A screen with table bits 2 has depth 4: 16 entries, grey behind the table.
    ExpectFrame(a.frames[0], "anim3.f0", 16);
    ExpectFrame(a.frames[1], "anim3.f1", 4);
    ExpectFrame(a.frames[2], "anim3.f2", 16);
    EXPECT_EQ(giffix::ColourAt(a.frames[0].dib.data(), 4),
              (std::vector<std::uint8_t>{128, 128, 128}));
    // The load's own result is as large as the largest of screen and frames, and blank.
    ASSERT_GE(a.result.size(), 1064u);
    EXPECT_EQ(giffix::IndicesOf(a.result.data()), std::vector<std::uint8_t>(80, 0));
}

TEST_F(GifAnimationTest, ShortExtensionsStrayBytesAndEmptyImages) {
    const Animation a = giffix::LoadAnimation(File("anim_odd.gif"));
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    // A loop sub-block of one byte reads its missing count as 0; a graphic control of two
    // bytes reads its missing index as 0; the stray 0xFF byte is a second screen record.
    ExpectRecords(a, {Screen(6, 5, 0x0000FF), Loop(0), Control(7, 0x0D, 0), FrameAt(3, 2, 1, 1),
                      Screen(0, 0, 0), Control(1, 0x0D, 2), FrameAt(4, 3, 0, 0)});
    ASSERT_EQ(a.frames.size(), 2u);
    // The image without data is a blank frame of its size.
    EXPECT_EQ(giffix::IndicesOf(a.frames[0].dib.data()), std::vector<std::uint8_t>(6, 0));
    ExpectFrame(a.frames[1], "anim_odd.f1", 16);
}

TEST_F(GifAnimationTest, EveryFrameStartsFromAFreshTable) {
    const Animation a = giffix::LoadAnimation(File("anim_reset.gif"));
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    ASSERT_EQ(a.frames.size(), 2u);
    EXPECT_EQ(giffix::IndicesOf(a.frames[0].dib.data()), (std::vector<std::uint8_t>{1, 1, 1}));
    ExpectFrame(a.frames[1], "anim_reset.f1", 16);
}

TEST_F(GifAnimationTest, AControlReachesTheOneImageAfterIt) {
    const Animation a = giffix::LoadAnimation(File("anim3.gif"), IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    // The second frame follows a transparent control and is doubled; the third has no
    // control of its own and is not, whatever the one before it said.
    ExpectRecords(a, {Screen(10, 8, 0xFF0000), Loop(3), Control(10, 0x08, 0), FrameAt(8, 6, 0, 0),
                      Control(25, 0x0D, 1), FrameAt(10, 4, 2, 1), FrameAt(5, 4, 3, 2)});
    ASSERT_EQ(a.frames.size(), 3u);
    Expected e;
    ASSERT_TRUE(giffix::ReadExpected("anim3.f1", &e));
    const std::vector<std::uint8_t> got = giffix::IndicesOf(a.frames[1].dib.data());
    ASSERT_EQ(got.size(), 40u);
    // The local table (1,2,3), (4,5,6), (7,8,9), (250,251,252) has neither black nor white:
    // black is added at 4 for the image half's transparent pixels and the mask's opaque
    // ones, white at 5 for the mask's transparent ones.
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const int p = e.indices[y * 5 + x];
            EXPECT_EQ(got[y * 10 + x], p == 1 ? 4 : p);
            EXPECT_EQ(got[y * 10 + 5 + x], p == 1 ? 5 : 4);
        }
    }
    EXPECT_EQ(giffix::ColourAt(a.frames[1].dib.data(), 4), (std::vector<std::uint8_t>{0, 0, 0}));
    EXPECT_EQ(giffix::ColourAt(a.frames[1].dib.data(), 5),
              (std::vector<std::uint8_t>{255, 255, 255}));
    ExpectFrame(a.frames[2], "anim3.f2", 16);
    // The load's own result: the largest width, doubled, as some frame has a mask half.
    std::int32_t width = 0;
    std::memcpy(&width, a.result.data() + 4, 4);
    EXPECT_EQ(width, 20);
}

TEST_F(GifAnimationTest, WithoutAnyControlReachingAnImageNothingIsDoubled) {
    // A transparent control after the last image reaches none.
    std::vector<std::uint8_t> bytes = fixture::ReadFile(File("code2_table2.gif"));
    ASSERT_EQ(bytes.back(), 0x3B);
    const std::vector<std::uint8_t> gce = {0x21, 0xF9, 4, 1, 0, 0, 2, 0};
    bytes.insert(bytes.end() - 1, gce.begin(), gce.end());
    const Animation a = giffix::LoadAnimationBytes(bytes, IMAGELIB_IMAGE_AND_MASK);
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    ASSERT_EQ(a.frames.size(), 1u);
    ExpectFrame(a.frames[0], "code2_table2", 16);
    std::int32_t width = 0;
    std::memcpy(&width, a.result.data() + 4, 4);
    EXPECT_EQ(width, 23);
}

TEST_F(GifAnimationTest, FirstFrameOnlyStopsTheWalk) {
    const Animation a = giffix::LoadAnimation(File("anim3.gif"), IMAGELIB_GIF_FIRST_FRAME_ONLY);
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    ExpectRecords(a, {Screen(10, 8, 0xFF0000), Loop(3), Control(10, 0x08, 0), FrameAt(8, 6, 0, 0)});
}

TEST_F(GifAnimationTest, PilAnimationFramesMatchTheirSources) {
    const Animation a = giffix::LoadAnimation(File("pil_anim.gif"));
    ASSERT_EQ(a.code, IMAGELIB_FINISHED);
    std::vector<GifAnimRecord> controls, frames;
    for (const GifAnimRecord& r : a.records) {
        if (r.kind == 0xF9)
            controls.push_back(r);
        if (r.kind == 0x2C)
            frames.push_back(r);
    }
    ASSERT_EQ(a.records[0].kind, 0x69u);
    EXPECT_EQ(a.records[0].width, 31u);
    EXPECT_EQ(a.records[0].height, 17u);
    bool loop = false;
    for (const GifAnimRecord& r : a.records)
        loop = loop || (r.kind == 0xFF && r.loopCount == 2);
    EXPECT_TRUE(loop);
    ASSERT_EQ(controls.size(), 4u);
    ASSERT_EQ(frames.size(), 4u);
    const std::uint32_t delays[] = {7, 12, 3, 25};
    const std::uint32_t disposals[] = {1, 2, 3, 1};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(controls[k].delay, delays[k]) << k;
        EXPECT_EQ((controls[k].disposalHigh | controls[k].disposalLow) >> 2, disposals[k]) << k;
        fixture::RgbImage source;
        ASSERT_TRUE(fixture::ReferenceDecode(File("pil_anim.f" + std::to_string(k) + ".ppm"),
                                             fixture::Decoder::Pil, &source));
        // The frame is its source's pixels inside its rectangle.
        fixture::RgbImage cut;
        cut.width = int(frames[k].width);
        cut.height = int(frames[k].height);
        for (int y = 0; y < cut.height; ++y)
            for (int x = 0; x < cut.width; ++x) {
                const std::uint8_t* p = source.at(x + int(frames[k].left), y + int(frames[k].top));
                cut.rgb.insert(cut.rgb.end(), p, p + 3);
            }
        EXPECT_EQ(fixture::CompareRgb(cut, fixture::RgbFromPackedDib(a.frames[k].dib.data())), "")
            << "frame " << k;
    }
}

TEST_F(GifAnimationTest, ARecordBlockHasRoomForAClosingEmptyRecord) {
    // 59 records fit 4,096 bytes; 60 need 8,192: a screen, then graphic controls.
    for (int controls : {58, 59}) {
        std::vector<std::uint8_t> bytes = fixture::ReadFile(File("code2_table2.gif"));
        const std::vector<std::uint8_t> gce = {0x21, 0xF9, 4, 0, 1, 0, 0, 0};
        std::vector<std::uint8_t> more;
        for (int i = 0; i < controls - 1; ++i)
            more.insert(more.end(), gce.begin(), gce.end());
        bytes.insert(bytes.begin() + 13 + 12, more.begin(), more.end());
        const Animation a = giffix::LoadAnimationBytes(bytes);
        ASSERT_EQ(a.code, IMAGELIB_FINISHED);
        // screen + controls - 1 + the file's own image = controls + 1 records
        EXPECT_EQ(a.records.size(), std::size_t(controls + 1));
        EXPECT_EQ(a.listBytes, controls + 1 == 59 ? 4096u : 8192u);
    }
}

TEST_F(GifAnimationTest, OtherFormatsLoadWithoutAList) {
    fixture::TempDir dir;
    ASSERT_TRUE(fixture::Convert({"rose:"}, {"BMP3:" + dir.file("rose.bmp")}));
    const Animation a = giffix::LoadAnimation(dir.file("rose.bmp"));
    EXPECT_EQ(a.code, IMAGELIB_FINISHED);
    EXPECT_TRUE(a.records.empty());
    EXPECT_EQ(a.listBytes, 0u);
}

TEST_F(GifAnimationTest, FailedLoadsClearEverythingAndFreeEveryFrame) {
    const char* damaged[] = {"anim3_no_trailer", "damaged_signature", "damaged_code_size_10",
                             "damaged_only_trailer"};
    const int codes[] = {IMAGELIB_READ_ERROR, IMAGELIB_NOT_GIF, IMAGELIB_GIF_BAD_CODE_SIZE,
                         IMAGELIB_FINISHED};
    for (int i = 0; i < 4; ++i) {
        std::uint32_t a = 1, b = 1, list = 99;
        const std::wstring path = fixture::Wide(File(std::string(damaged[i]) + ".gif"));
        const int r = ImageLoadGIFAnimation(path.c_str(), nullptr, 0, &a, &b, &list, nullptr);
        EXPECT_EQ(r, codes[i]) << damaged[i];
        if (r != IMAGELIB_FINISHED) {
            EXPECT_EQ(a, 0u);
            EXPECT_EQ(b, 0u);
            EXPECT_EQ(list, 0u);
        } else {
            GlobalFree(list);
            ImageLoadCleanup(&a, &b);
        }
        EXPECT_EQ(live_.Leaked(), "") << damaged[i];
    }
    // A missing file.
    std::uint32_t a = 0, b = 0, list = 0;
    EXPECT_EQ(ImageLoadGIFAnimation(L"/no/such.gif", nullptr, 0, &a, &b, &list, nullptr),
              IMAGELIB_NOT_FOUND);
    EXPECT_EQ(a | b | list, 0u);
}

TEST_F(GifAnimationTest, OutOfMemoryAtEveryAllocationFreesEveryFrame) {
    const std::string path = File("anim3.gif");
    int failures = 0;
    for (std::uint32_t n = 1; n < 80; ++n) {
        Win32FailGlobalAllocAfter(n);
        const Animation a = giffix::LoadAnimation(path, IMAGELIB_IMAGE_AND_MASK);
        Win32FailGlobalAllocAfter(0);
        if (a.code == IMAGELIB_OUT_OF_MEMORY || a.code == IMAGELIB_NOT_FOUND) {
            ++failures;
            EXPECT_TRUE(a.records.empty());
        } else {
            EXPECT_EQ(a.code, IMAGELIB_FINISHED) << n;
        }
        EXPECT_EQ(live_.Leaked(), "") << n;
    }
    // The source, the context, the decoder's tables, the frame list, each frame's bitmap
    // and palette, the result and the records: each may fail.
    EXPECT_GT(failures, 10);
}

TEST_F(GifAnimationTest, FramesAreCountedWithAPassOfTheirOwn) {
    std::int32_t count = -1;
    EXPECT_EQ(ImageCountGIFFrames(fixture::Wide(File("anim3.gif")).c_str(), &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ImageCountGIFFrames(fixture::Wide(File("pil_anim.gif")).c_str(), &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(ImageCountGIFFrames(fixture::Wide(File("anim3_no_trailer.gif")).c_str(), &count),
              IMAGELIB_READ_ERROR);
    EXPECT_EQ(count, 0);
    fixture::TempDir dir;
    ASSERT_TRUE(fixture::Convert({"rose:"}, {dir.file("rose.png")}));
    EXPECT_EQ(ImageCountGIFFrames(fixture::Wide(dir.file("rose.png")).c_str(), &count),
              IMAGELIB_NOT_GIF);
    EXPECT_EQ(ImageCountGIFFrames(L"/no/such.gif", &count), IMAGELIB_NOT_FOUND);
    EXPECT_EQ(ImageCountGIFFrames(fixture::Wide(File("damaged_five.gif")).c_str(), &count),
              IMAGELIB_READ_ERROR);
}

}  // namespace
