// ImageWriteAnimGifFile: animations of GDI bitmaps whose colours lie in the target palette
// decode in three independent decoders to exactly the indices, colours, places, delays,
// disposal bits, transparency and loop count given; bad arguments, failed allocations,
// failed GDI calls and failing files are reported and leave nothing behind.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>

#include "builders/builders_fixtures.h"
#include "colour/palettes.h"
#include "fixture_support.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_write_fixtures.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

using builders_test::Bitmap;
using builders_test::BuilderTest;
using fixture::TempDir;
using fixture::Wide;
using gifwrite::Frame;
using gifwrite::Gif;
using gifwrite::Rgb;

// A bitmap at the screen's depth showing the frame's indices in the palette's colours.
HBITMAP BitmapOf(const Frame& f, const std::vector<Rgb>& palette) {
    gdi_test::Dib dib =
        gdi_test::MakeDib(f.width, f.height, 24, {}, [&](LONG x, LONG y) -> std::uint32_t {
            const Rgb& c = palette[f.indices[std::size_t(f.height - 1 - y) * f.width + x]];
            return std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
        });
    builders_test::ScreenDc dc;
    return CreateDIBitmap(dc.get(), dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(),
                          DIB_RGB_COLORS);
}

constexpr std::int32_t kAllFrames = INT32_MIN;

// An animation to write: the file expected, the caller's records and their bitmaps.
struct Animation {
    Gif expected;
    std::vector<GifAnimRecord> records;
    std::vector<std::unique_ptr<Bitmap>> bitmaps;
    std::vector<RGBQUAD> callerPalette;  // empty: the fixed palette

    int Write(const std::string& path, std::int32_t frameCount = kAllFrames) const {
        return ImageWriteAnimGifFile(
            Wide(path).c_str(),
            frameCount == kAllFrames ? static_cast<std::int32_t>(records.size()) : frameCount,
            expected.loop, records.data(), callerPalette.empty() ? nullptr : callerPalette.data());
    }
};

struct Place {
    int left, top, width, height;
};

// Frames at the given places, screen = the first frame's size widened to hold all, noisy
// indices among the palette's unambiguous entries, every graphic control bit used.
Animation MakeAnimation(const std::vector<Place>& places, int loop, bool callerPalette,
                        unsigned seed) {
    Animation a;
    Gif& g = a.expected;
    g.palette = callerPalette ? gifwrite::DistinctPalette(256) : gifwrite::FixedPalette();
    g.loop = loop;
    g.width = places[0].width;
    g.height = places[0].height;
    if (callerPalette)
        for (const Rgb& c : g.palette)
            a.callerPalette.push_back(RGBQUAD{c[2], c[1], c[0], 0});
    const std::vector<int> entries = gifwrite::FirstOfTheirColour(g.palette);
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& p = places[i];
        Frame f;
        f.left = p.left;
        f.top = p.top;
        f.width = p.width;
        f.height = p.height;
        f.delay = 3 * static_cast<int>(i) + 2;
        f.disposal = static_cast<int>(i % 4);
        f.userInput = i % 2 == 1;
        f.indices = gifwrite::MakeIndices(
            p.width, p.height, [&](int, int) { return entries[random() % entries.size()]; });
        f.transparent = i == 1 ? f.indices[0] : -1;
        g.width = std::max(g.width, p.left + p.width);
        g.height = std::max(g.height, p.top + p.height);
        a.bitmaps.push_back(std::make_unique<Bitmap>(BitmapOf(f, g.palette)));

        GifAnimRecord r = gifwrite::FrameRecord(f);
        r.bitmap = a.bitmaps.back()->get();
        a.records.push_back(r);
        g.frames.push_back(f);
    }
    return a;
}

// Widths 5 and 7 need one GetDIBits call per row, 8 and 12 take all rows at once; the
// second frame is larger than the first, the third reaches past its screen.
const std::vector<Place> kPlaces = {{0, 0, 12, 9}, {2, 1, 7, 14}, {10, 6, 5, 8}, {3, 3, 8, 2}};

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

class AnimGifFromBitmaps : public BuilderTest {};

TEST_F(AnimGifFromBitmaps, FixedPaletteFramesDecodeExactly) {
    TempDir dir;
    for (int loop : {-1, 0, 3}) {
        const Animation a = MakeAnimation(kPlaces, loop, false, 7 + loop);
        ASSERT_EQ(a.Write(dir.file("a.gif")), 0) << loop;
        EXPECT_EQ(a.expected.width, 15);
        EXPECT_EQ(a.expected.height, 15);
        EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("a.gif"), a.expected), "") << loop;
    }
}

TEST_F(AnimGifFromBitmaps, CallerPaletteFramesDecodeExactlyAndBecomeTheCallerPalette) {
    TempDir dir;
    const Animation a = MakeAnimation(kPlaces, 1, true, 3);
    ASSERT_EQ(a.Write(dir.file("a.gif")), 0);
    EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("a.gif"), a.expected), "");
    for (int i = 0; i < 256; ++i) {
        const auto& e = imagelib::UserPalette[i];
        EXPECT_EQ((Rgb{e.red, e.green, e.blue}), a.expected.palette[i]) << i;
    }
    imagelib::ImageUserPaletteReset();
}

TEST_F(AnimGifFromBitmaps, OneFrameOfOnePixelAndALargeFrame) {
    TempDir dir;
    const Animation tiny = MakeAnimation({{0, 0, 1, 1}}, -1, false, 1);
    ASSERT_EQ(tiny.Write(dir.file("a.gif")), 0);
    EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("a.gif"), tiny.expected), "");
    // Many sub-blocks and string store resets in one frame.
    const Animation large = MakeAnimation({{0, 0, 301, 207}, {40, 30, 10, 10}}, 0, true, 2);
    ASSERT_EQ(large.Write(dir.file("b.gif")), 0);
    EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("b.gif"), large.expected), "");
    imagelib::ImageUserPaletteReset();
}

TEST_F(AnimGifFromBitmaps, TheCallersRecordsAreOnlyRead) {
    TempDir dir;
    Animation a = MakeAnimation(kPlaces, -1, false, 5);
    const HGLOBAL callers = GlobalAlloc(GHND, 16);
    for (GifAnimRecord& r : a.records)
        r.dib = callers;  // a block of the caller's, neither used nor freed
    const std::vector<GifAnimRecord> before = a.records;
    ASSERT_EQ(a.Write(dir.file("a.gif")), 0);
    EXPECT_EQ(std::memcmp(before.data(), a.records.data(), before.size() * sizeof(GifAnimRecord)),
              0);
    EXPECT_EQ(GlobalSize(callers), 16u);
    GlobalFree(callers);
    EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("a.gif"), a.expected), "");
}

TEST_F(AnimGifFromBitmaps, NoFramesWritesNothingAndGives0) {
    TempDir dir;
    const Animation a = MakeAnimation(kPlaces, 0, false, 5);
    EXPECT_EQ(a.Write(dir.file("a.gif"), 0), 0);
    EXPECT_EQ(a.Write(dir.file("a.gif"), -5), 0);
    EXPECT_EQ(ImageWriteAnimGifFile(Wide(dir.file("a.gif")).c_str(), 0, 0, nullptr, nullptr), 0);
    EXPECT_FALSE(Exists(dir.file("a.gif")));
}

TEST_F(AnimGifFromBitmaps, BadArgumentsGive1AndCreateNoFile) {
    TempDir dir;
    const std::string path = dir.file("a.gif");
    const Animation a = MakeAnimation({{0, 0, 6, 4}, {1, 1, 3, 2}}, 0, false, 9);
    EXPECT_EQ(ImageWriteAnimGifFile(nullptr, 2, 0, a.records.data(), nullptr), 1);
    EXPECT_EQ(ImageWriteAnimGifFile(Wide(path).c_str(), 2, 0, nullptr, nullptr), 1);
    const std::vector<std::function<void(GifAnimRecord&)>> spoil = {
        [](GifAnimRecord& r) { r.width = 0; },
        [](GifAnimRecord& r) { r.height = 0; },
        [](GifAnimRecord& r) { r.width = 0xFFFFFFFF; },  // -1
        [](GifAnimRecord& r) { r.height = 0x80000000; },
        [](GifAnimRecord& r) { r.width = 65536; },
        [](GifAnimRecord& r) { r.height = 65536; },
        [](GifAnimRecord& r) { r.bitmap = 0; },
        [](GifAnimRecord& r) { r.width = 2; },     // not the bitmap's size
        [](GifAnimRecord& r) { r.left = 65533; },  // the screen would pass 65535
        [](GifAnimRecord& r) { r.top = 0xFFFFFFFF; },
        // a transparent colour that the file would hold as another one
        [](GifAnimRecord& r) { r.transparent = 1, r.transparentIndex = 256; },
        [](GifAnimRecord& r) { r.transparent = 1, r.transparentIndex = 0xFFFFFFFF; },
    };
    for (std::size_t s = 0; s < spoil.size(); ++s) {
        for (std::size_t frame = 0; frame < 2; ++frame) {
            Animation bad;
            bad.expected.loop = 0;
            bad.records = a.records;
            spoil[s](bad.records[frame]);
            EXPECT_EQ(bad.Write(path), 1) << "case " << s << ", frame " << frame;
            EXPECT_FALSE(Exists(path)) << "case " << s << ", frame " << frame;
        }
    }
    EXPECT_EQ(a.Write(path), 0);
}

// Every allocation, or every GDI call, failing in turn until the call makes no more of
// them: each failure gives 1, the first success a complete file.
void FailEachStep(void (*arm)(std::uint32_t), const Animation& a, const TempDir& dir) {
    int r = 1;
    std::uint32_t n = 1;
    for (; r != 0 && n <= 200; ++n) {
        const std::uint32_t objects = Win32LiveGdiObjects();
        const std::uint32_t contexts = Win32LiveDeviceContexts();
        const fixture::LiveBlocks blocks;
        std::filesystem::remove(dir.file("a.gif"));
        arm(n);
        r = a.Write(dir.file("a.gif"));
        arm(0);
        EXPECT_TRUE(r == 0 || r == 1) << "step " << n << " gave " << r;
        EXPECT_EQ(Win32LiveGdiObjects(), objects) << "step " << n;
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts) << "step " << n;
        EXPECT_EQ(blocks.Leaked(), "") << "step " << n;
    }
    EXPECT_GT(n, 10u);
    ASSERT_EQ(r, 0);
    EXPECT_EQ(gifwrite::CheckAllDecoders(dir.file("a.gif"), a.expected), "");
}

TEST_F(AnimGifFromBitmaps, EveryFailedAllocationIsReportedAndLeavesNothing) {
    TempDir dir;
    for (bool caller : {false, true}) {
        const Animation a = MakeAnimation(kPlaces, 2, caller, 11);
        FailEachStep([](std::uint32_t n) { Win32FailGlobalAllocAfter(n); }, a, dir);
    }
    imagelib::ImageUserPaletteReset();
}

TEST_F(AnimGifFromBitmaps, EveryFailedGdiCallIsReportedAndLeavesNothing) {
    TempDir dir;
    const Animation a = MakeAnimation(kPlaces, 2, false, 12);
    FailEachStep([](std::uint32_t n) { Win32FailGdiCallAfter(n); }, a, dir);
}

TEST_F(AnimGifFromBitmaps, AFolderThatCannotTakeTheFileGives3) {
    TempDir dir;
    const Animation a = MakeAnimation(kPlaces, 0, false, 13);
    EXPECT_EQ(a.Write(dir.file("missing/a.gif")), 3);
    EXPECT_EQ(a.Write(dir.path()), 3);
}

TEST_F(AnimGifFromBitmaps, AFullDeviceOrAFileCutShortGives8) {
    TempDir dir;
    const Animation a = MakeAnimation({{0, 0, 120, 90}, {10, 10, 50, 40}}, 0, false, 14);
    EXPECT_EQ(a.Write("/dev/full"), 8);
    ASSERT_EQ(a.Write(dir.file("full.gif")), 0);
    const auto size = static_cast<rlim_t>(fixture::ReadFile(dir.file("full.gif")).size());
    for (rlim_t limit = 0; limit < size; limit += limit < 1024 ? 97 : 1499) {
        int r = 0;
        {
            const gifwrite::FileSizeLimit cap(limit);
            r = a.Write(dir.file("cut.gif"));
        }
        EXPECT_EQ(r, 8) << limit;
    }
    const gifwrite::FileSizeLimit cap(size);
    EXPECT_EQ(a.Write(dir.file("cut.gif")), 0);
}

}  // namespace
