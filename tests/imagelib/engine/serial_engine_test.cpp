// The stepwise load engine: the handle words, clean-up on every path, failing allocations,
// the flags word, the reduce step, placement on a logical screen and the work rows.
#include "engine/serial_engine.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"
#include "win32/resources.h"

using namespace imagelib;

namespace {

// Sixteen greys (blue, green, red, 0): entry i is 10 + i * 13.
std::vector<std::uint8_t> Greys() {
    std::vector<std::uint8_t> p;
    for (int i = 0; i < 16; ++i)
        p.insert(p.end(), {std::uint8_t(10 + i * 13), std::uint8_t(10 + i * 13),
                           std::uint8_t(10 + i * 13), 0});
    return p;
}

// RLE8, pixel (x, stored row y) = (x + y) % 16, one run per pixel.
std::vector<std::uint8_t> Rle8(int width, int height) {
    std::vector<std::uint8_t> data;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            data.insert(data.end(), {1, std::uint8_t((x + y) % 16)});
        data.insert(data.end(), {0, 0});
    }
    data.insert(data.end(), {0, 1});
    return fixture::MakeBmp({width, height, 8, 40, 16, 1}, Greys(), data);
}

// 24 bits: pixel (x, stored row y) is blue x * 20, green y * 20, red 255 - x * 10.
std::vector<std::uint8_t> Rgb24(int width, int height) {
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            rows.insert(rows.end(),
                        {std::uint8_t(x * 20), std::uint8_t(y * 20), std::uint8_t(255 - x * 10)});
        rows.resize((y + 1) * RowStride(width, 24));
    }
    return fixture::MakeBmp({width, height, 24}, {}, rows);
}

// An 8-bit 10 x 10 frame whose pixel (x, stored row y) is 100 + y * 10 + x, with a grey
// palette (no pure black or white).
std::vector<std::uint8_t> Frame10() {
    std::vector<std::uint8_t> rows(12 * 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x)
            rows[y * 12 + x] = std::uint8_t(100 + y * 10 + x);
    }
    return fixture::MakeBmp({10, 10}, std::vector<std::uint8_t>(256 * 4, 0x40), rows);
}

class SerialEngine : public ::testing::Test {
  protected:
    void TearDown() override {
        Win32FailGlobalAllocAfter(0);
        Win32SetScreenFormat(32, FALSE);
        Win32UnregisterModuleResources(kModule);
        SerialImageCleanup(&w.a, &w.b);
        EXPECT_EQ(live.Leaked(), "");
    }
    int First(const std::vector<std::uint8_t>& data, std::uint32_t flags = 0) {
        return SerialImageFileFirst(L"ignored.gif", data.data(), std::uint32_t(data.size()), &w.a,
                                    &w.b, &flags);
    }
    int Next() { return SerialImageNext(&w.a, &w.b, nullptr, nullptr); }
    int RunAll() {
        int r = IMAGELIB_CALL_AGAIN;
        while (r == IMAGELIB_CALL_AGAIN)
            r = Next();
        return r;
    }
    // Steps until the running load reaches state; its context.
    SerialImageContext* StepTo(std::uint32_t state) {
        SerialImageContext* ctx = ImageContextFromWords(w.a, w.b);
        while (ctx != nullptr && ctx->state != state && Next() == IMAGELIB_CALL_AGAIN) {
        }
        EXPECT_TRUE(ctx != nullptr && ctx->state == state);
        return ctx;
    }
    std::vector<std::uint8_t> Dib() const { return fixture::CopyBlock(w.a); }
    // Loads Frame10 step by step, placed on a logical screen when its decoding ends, with
    // the failing-th allocation from then on failing.
    int Place(int width, int height, int left, int top, int background, std::uint32_t flags = 0,
              std::uint32_t failing = 0) {
        EXPECT_EQ(First(Frame10()), IMAGELIB_CALL_AGAIN);
        SerialImageContext* ctx = ImageContextFromWords(w.a, w.b);
        if (ctx == nullptr)
            return -1;
        ctx->flags |= flags;
        ctx->placed = 1;
        ctx->screenWidth = width;
        ctx->screenHeight = height;
        ctx->frameLeft = left;
        ctx->frameTop = top;
        ctx->backgroundIndex = std::uint8_t(background);
        ctx->imageKey = 3;  // as a decoder of the image-and-mask layout sets them
        ctx->maskKey = 4;
        Win32FailGlobalAllocAfter(failing);
        return RunAll();
    }

    static constexpr HMODULE kModule = 4242;
    fixture::LiveBlocks live;
    fixture::Words w;
};

TEST_F(SerialEngine, TheWordsNameTheRunningLoadThenTwoUnlockedBlocks) {
    ASSERT_EQ(First(Rle8(7, 35)), IMAGELIB_CALL_AGAIN);
    // The context's key, 16 bits in each word; key bit 31 lands in A.
    EXPECT_TRUE(w.a >= 0x8000u && w.a <= 0xFFFFu && w.b <= 0xFFFFu) << w.a << " " << w.b;
    EXPECT_EQ(ImageIsLiveContext(w.a << 16 | w.b), 1);
    EXPECT_EQ(SerialImagePercentComplete(&w.a, &w.b), 0);
    ASSERT_EQ(RunAll(), IMAGELIB_FINISHED);
    EXPECT_EQ(ImageContextFromWords(w.a, w.b), nullptr);
    EXPECT_EQ(GlobalFlags(w.a) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFlags(w.b) & GMEM_LOCKCOUNT, 0u);
    const std::vector<std::uint8_t> dib = Dib();
    EXPECT_EQ(dib[1064 + 8 * 3 + 5], (5 + 3) % 16);  // stored row 3, pixel 5
    EXPECT_EQ(SerialImagePercentComplete(&w.a, &w.b), 100);
}

TEST_F(SerialEngine, StaleAndEmptyWordsAndNullPointersAreRefusedHarmlessly) {
    ASSERT_EQ(First(Rle8(4, 4)), IMAGELIB_CALL_AGAIN);
    std::uint32_t staleA = w.a, staleB = w.b;
    ASSERT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
    EXPECT_EQ(SerialImageNext(&staleA, &staleB, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_NE(staleA, 0u);  // untouched
    EXPECT_EQ(SerialImagePercentComplete(&staleA, &staleB), 100);
    // Nothing to free: answered as such, and the words are left alone.
    EXPECT_EQ(SerialImageCleanup(&staleA, &staleB), 1);
    EXPECT_NE(staleA, 0u);

    std::uint32_t zero = 0;
    EXPECT_EQ(SerialImageNext(nullptr, &zero, nullptr, nullptr), 1);
    EXPECT_EQ(SerialImageCleanup(nullptr, &zero), 1);
    EXPECT_EQ(SerialImageCleanup(&zero, nullptr), 1);
    EXPECT_EQ(SerialImagePercentComplete(&zero, nullptr), 1);
    EXPECT_EQ(SerialImageNext(&w.a, &w.b, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 1);
    EXPECT_EQ(SerialImagePercentComplete(&w.a, &w.b), 1);
    EXPECT_EQ(SerialImageFileFirst(L"x.bmp", nullptr, 0, nullptr, &w.b, nullptr), 1);
}

TEST_F(SerialEngine, MissingAndUnknownSourcesFailWithTheirCodes) {
    // A missing file or resource leaves the context named by the words for the clean-up.
    EXPECT_EQ(ImageLoadFile(L"/no/such/file.bmp", nullptr, 0, &w.a, &w.b, nullptr), 3);
    EXPECT_NE(w.a | w.b, 0u);
    EXPECT_EQ(ImageLoadCleanup(&w.a, &w.b), 0);
    EXPECT_EQ(ImageLoadCleanup(&w.a, &w.b), 1);
    static const std::uint8_t kNothing[1] = {0};
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"EMPTY", kNothing, 0));
    EXPECT_EQ(ImageLoadResource(kModule, L"MISSING", L"T", &w.a, &w.b, nullptr), 3);
    EXPECT_EQ(ImageLoadCleanup(&w.a, &w.b), 0);
    EXPECT_EQ(ImageLoadResourceTransIndex(kModule, L"empty", L"t", &w.a, &w.b, nullptr, nullptr),
              1);
    EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
    // A failed begin step has freed the load already.
    EXPECT_EQ(First({'X', 'Y', 'Z', 0, 0, 0}), 3);
    EXPECT_EQ(w.a | w.b, 0u);
    EXPECT_EQ(First({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}), IMAGELIB_READ_ERROR);
    EXPECT_EQ(w.a | w.b, 0u);
}

TEST_F(SerialEngine, EveryFailingAllocationEndsWithACodeAndLeavesNothing) {
    for (const auto& [data, reduce, screenBits] : {std::tuple{Rle8(6, 12), 0u, 32},
                                                   {Rle8(6, 12), kFlagReduce, 8},
                                                   {Rgb24(9, 6), kFlagReduce, 4},
                                                   {Rgb24(9, 6), kFlagReduce, 32}}) {
        Win32SetScreenFormat(screenBits, screenBits == 8);
        bool everyAllocationTried = false;
        std::uint32_t n = 1;
        for (; n < 200 && !everyAllocationTried; ++n) {
            std::uint32_t flags = reduce;
            Win32FailGlobalAllocAfter(n);
            const int r =
                ImageLoadFile(nullptr, data.data(), std::uint32_t(data.size()), &w.a, &w.b, &flags);
            // When the load made fewer allocations, the failure is still pending.
            const HGLOBAL probe = GlobalAlloc(GHND, 1);
            everyAllocationTried = probe == 0;
            GlobalFree(probe);
            Win32FailGlobalAllocAfter(0);
            EXPECT_EQ(r == IMAGELIB_FINISHED, everyAllocationTried) << "allocation " << n;
            // The source is a buffer: a copy that cannot be made is 1, never 3 (not found).
            EXPECT_TRUE(r == IMAGELIB_FINISHED || r == 1) << r;
            ImageLoadCleanup(&w.a, &w.b);
            EXPECT_EQ(live.Leaked(), "") << "allocation " << n;
        }
        EXPECT_TRUE(everyAllocationTried);
        EXPECT_GT(n, 3u);
    }
}

TEST_F(SerialEngine, TheFlagsComeBackAsTheLoadChangedThem) {
    // BMP drops the mask and alpha requests; the one-shot bit is reported back; the
    // animation bit is the animation loader's alone and never keeps a context here.
    const fixture::Loaded r =
        fixture::LoadBytes(Rgb24(5, 3), kFlagImageAndMask | kFlagKeepAlpha | kFlagAnimation);
    ASSERT_EQ(r.code, IMAGELIB_FINISHED);
    EXPECT_EQ(r.flags, kFlagOneShot);
    EXPECT_EQ(r.bits(), 24);
    EXPECT_EQ(r.paletteCount(), 0);
    EXPECT_NE(fixture::LoadBytes(Rgb24(3, 3), kFlagForce8Bit).flags & kFlagReduce, 0u);
}

TEST_F(SerialEngine, AReduceStepOutOfMemoryEndsTheLoadAndClearsTheWords) {
    // The work rows, then the reducer's own rows: each failure ends the load like any
    // other error of SerialImageNext.
    for (std::uint32_t failing : {1u, 2u, 3u}) {
        ASSERT_EQ(First(Rgb24(6, 2), kFlagReduce | kFlagNearestColour), IMAGELIB_CALL_AGAIN);
        ASSERT_NE(StepTo(kStateReduce), nullptr);
        Win32FailGlobalAllocAfter(failing);
        int r = IMAGELIB_CALL_AGAIN;
        while (r == IMAGELIB_CALL_AGAIN)
            r = Next();
        EXPECT_EQ(r, IMAGELIB_OUT_OF_MEMORY) << failing;
        EXPECT_EQ(w.a | w.b, 0u) << failing;
        EXPECT_EQ(live.Leaked(), "") << failing;
        Win32FailGlobalAllocAfter(0);
    }
    ASSERT_EQ(First(Rgb24(6, 2), kFlagReduce | kFlagNearestColour), IMAGELIB_CALL_AGAIN);
    ASSERT_EQ(RunAll(), IMAGELIB_FINISHED);
    EXPECT_EQ(Dib()[1064], 6 * 32);  // red 255: the cube's (6, 0, 0)
}

TEST_F(SerialEngine, ACleanedMaskThatIsReducedKeepsTheReducedRows) {
    for (std::uint32_t failing : {1u, 0u}) {  // the cleaning's own rows, then none
        ASSERT_EQ(First(Rgb24(6, 2), kFlagReduce | kFlagNearestColour), IMAGELIB_CALL_AGAIN);
        SerialImageContext* ctx = ImageContextFromWords(w.a, w.b);
        ASSERT_NE(ctx, nullptr);
        ctx->flags |= kFlagImageAndMask | kFlagCleanMask;  // as the GIF decoder sets them
        Win32FailGlobalAllocAfter(failing);
        ASSERT_EQ(RunAll(), failing ? IMAGELIB_OUT_OF_MEMORY : IMAGELIB_FINISHED);
        EXPECT_EQ(w.a == 0, failing != 0) << "a failed cleaning ends the load";
    }
    const std::vector<std::uint8_t> dib = Dib();
    EXPECT_EQ(dib[14], 8);
    // The right half, whitened before the reduction, is the cube's white; the left half,
    // transparent under it throughout, the cube's black.
    EXPECT_EQ(std::vector<std::uint8_t>(dib.begin() + 1064, dib.begin() + 1067),
              std::vector<std::uint8_t>(3, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(dib.begin() + 1067, dib.begin() + 1070),
              std::vector<std::uint8_t>(3, 6 * 32 + 7 * 4 + 3));
}

TEST_F(SerialEngine, AFrameIsPlacedOnItsLogicalScreenAndClippedToIt) {
    struct Case {
        int width, height, left, top, background;
    };
    for (const Case c : {Case{20, 20, 5, 0, 7}, Case{12, 12, 7, 8, 0}, Case{9, 6, 0, 0, 3}}) {
        ASSERT_EQ(Place(c.width, c.height, c.left, c.top, c.background), IMAGELIB_FINISHED);
        const std::vector<std::uint8_t> dib = Dib();
        const int stride = (c.width + 3) & ~3;
        ASSERT_EQ(dib.size(), 1064u + std::size_t(stride) * c.height);
        EXPECT_EQ(dib[4] | dib[5] << 8, c.width);
        for (int y = 0; y < c.height; ++y) {  // stored rows, bottom-up
            for (int x = 0; x < c.width; ++x) {
                const int frameRow = 9 - (c.height - 1 - y - c.top);  // the frame's stored row
                const bool in = x >= c.left && x < c.left + 10 && frameRow >= 0 && frameRow < 10;
                ASSERT_EQ(dib[1064 + y * stride + x],
                          in ? 100 + frameRow * 10 + x - c.left : c.background)
                    << x << "," << y << " on " << c.width << "x" << c.height;
            }
        }
        SerialImageCleanup(&w.a, &w.b);
    }
    // An image-and-mask frame: both widths doubled, each half stays in its half.
    ASSERT_EQ(Place(20, 10, 2, 0, 0, kFlagImageAndMask), IMAGELIB_FINISHED);
    const std::vector<std::uint8_t> dib = Dib();
    // Outside the frame both halves hold the keys of a transparent pixel, whatever colours
    // the palette has (here no black or white at all).
    const std::vector<std::uint8_t> row(dib.begin() + 1064, dib.begin() + 1064 + 20);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{3, 3, 100, 101, 102, 103, 104, 3, 3, 3,
                                              4, 4, 105, 106, 107, 108, 109, 4, 4, 4}));
    SerialImageCleanup(&w.a, &w.b);
    EXPECT_EQ(Place(20, 20, 0, 0, 0, 0, 1), 1);  // the screen's block cannot be allocated
    EXPECT_EQ(w.a | w.b, 0u);
}

TEST_F(SerialEngine, AnImageLoadsWhenItsRowsFitOneBlockAndFailsWithOneBeyond) {
    const std::uint32_t globals = Win32LiveGlobalBlocks();
    // The widest one-row image whose 24-bit row and 1,064 header bytes fit one block.
    const std::int32_t widest = (IMAGELIB_MAX_BLOCK_BYTES - 1064) / 3 - 1;
    ASSERT_LE(WorkStride24(widest) + 1064, std::uint64_t{IMAGELIB_MAX_BLOCK_BYTES});
    ASSERT_GT(WorkStride24(widest + 2) + 1064, std::uint64_t{IMAGELIB_MAX_BLOCK_BYTES});
    struct Case {
        std::int32_t width, height;
        int code;
    };
    // Tall and wide images beyond any fixed pixel or row count begin; rows beyond one block
    // do not, also when their height is stored negative (top-down).
    for (const Case c :
         {Case{1, 3000000, IMAGELIB_CALL_AGAIN}, Case{16 * 1024 * 1024 + 1, 1, IMAGELIB_CALL_AGAIN},
          Case{widest + 2, 1, 1}, Case{26755, 26755, 1}, Case{65536, 65536, 1},
          Case{4, -(0x7FFFFFFF / 8), 1}}) {
        // Only the headers: the rows a file does not hold read as zero.
        const std::vector<std::uint8_t> bmp = fixture::MakeBmp({c.width, c.height, 1}, {}, {});
        EXPECT_EQ(First(bmp), c.code) << c.width << "x" << c.height;
        if (c.code != IMAGELIB_CALL_AGAIN) {
            EXPECT_EQ(w.a | w.b, 0u);
            EXPECT_EQ(Win32LiveGlobalBlocks(), globals) << "nothing was allocated and kept";
        }
        SerialImageCleanup(&w.a, &w.b);
    }
}

TEST_F(SerialEngine, DecodingReportsHalfThePercentOnlyWhenAReductionFollows) {
    // A 4-bit image keeps its rows on a 16-colour screen, unless its mask is cleaned into
    // 24-bit rows (which the reducer then reduces) or eight bits are forced.
    std::vector<std::uint8_t> rows(4 * 30, 0x12);
    const std::vector<std::uint8_t> bmp = fixture::MakeBmp({7, 30, 4}, Greys(), rows);
    struct Case {
        std::uint32_t flags;
        int screenBits;
        bool reduced;
    };
    for (const Case c : {Case{kFlagReduce, 4, false}, Case{kFlagReduce | kFlagCleanMask, 4, true},
                         Case{kFlagForce8Bit, 4, true}, Case{kFlagReduce, 8, true},
                         Case{0, 8, false}, Case{kFlagReduce, 32, false}}) {
        SCOPED_TRACE(std::to_string(c.flags) + " on " + std::to_string(c.screenBits) + " bits");
        Win32SetScreenFormat(c.screenBits, c.screenBits == 8);
        ASSERT_EQ(First(bmp, c.flags & ~kFlagCleanMask), IMAGELIB_CALL_AGAIN);
        SerialImageContext* ctx = ImageContextFromWords(w.a, w.b);
        ASSERT_NE(ctx, nullptr);
        ctx->flags |= c.flags & kFlagCleanMask;  // as the GIF decoder sets it
        EXPECT_EQ(ImageReductionFollows(ctx), c.reduced);
        EXPECT_EQ(ImageDecodePercent(ctx, 15, 30), c.reduced ? 25 : 50);
        EXPECT_EQ(ImageDecodePercent(ctx, 99, 30), c.reduced ? 50 : 100);
        EXPECT_EQ(ImageDecodePercent(ctx, 0, 0), c.reduced ? 50 : 100);
        int last = 0;
        int r = IMAGELIB_CALL_AGAIN;
        while (r == IMAGELIB_CALL_AGAIN) {
            const int percent = SerialImagePercentComplete(&w.a, &w.b);
            EXPECT_GE(percent, last);
            last = percent;
            r = Next();
        }
        EXPECT_EQ(r, IMAGELIB_FINISHED);
        SerialImageCleanup(&w.a, &w.b);
    }
}

TEST(WorkRows, ThirtyTwoBitsExpandToTwentyFourByDroppingTheFourthByte) {
    std::vector<std::uint8_t> rows = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99};
    SerialImageContext* ctx = ImageNewContext();
    ctx->info.width = 3;
    ctx->info.height = 1;
    ctx->info.bitsPerPixel = 32;
    ctx->bits = ctx->work = rows.data();
    ASSERT_TRUE(ImageAllocWork24(ctx));
    EXPECT_EQ(std::vector<std::uint8_t>(ctx->work, ctx->work + 9),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ImageFree(ctx->work);
    ImageFree(ctx);
}

}  // namespace
