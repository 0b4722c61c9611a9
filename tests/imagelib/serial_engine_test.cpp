// The stepwise load engine: states and step results, the handle words, percent, clean-up
// on every path, reduction and palette steps, finalising and placement on a screen.
#include "serial_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagelib.h"
#include "load_flags.h"
#include "tracked_memory.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

using namespace imagelib;

namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    v[at] = x & 0xFF;
    v[at + 1] = (x >> 8) & 0xFF;
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    Put16(v, at, x & 0xFFFF);
    Put16(v, at + 2, x >> 16);
}

// A Windows BMP with a 40-byte header, a palette of paletteSize entries and the given
// pixel data (rows bottom-up as the file stores them).
std::vector<std::uint8_t> MakeBmp(int width, int height, int bpp, std::uint32_t compression,
                                  const std::vector<std::uint8_t>& palette4,
                                  const std::vector<std::uint8_t>& pixels) {
    const std::size_t offBits = 14 + 40 + palette4.size();
    std::vector<std::uint8_t> f(offBits + pixels.size());
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, static_cast<std::uint32_t>(f.size()));
    Put32(f, 10, static_cast<std::uint32_t>(offBits));
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<std::uint32_t>(width));
    Put32(f, 22, static_cast<std::uint32_t>(height));
    Put16(f, 26, 1);
    Put16(f, 28, static_cast<std::uint32_t>(bpp));
    Put32(f, 30, compression);
    Put32(f, 46, static_cast<std::uint32_t>(palette4.size() / 4));
    std::copy(palette4.begin(), palette4.end(), f.begin() + 54);
    std::copy(pixels.begin(), pixels.end(), f.begin() + static_cast<std::ptrdiff_t>(offBits));
    return f;
}

// A grey ramp palette (blue, green, red, 0) of n entries: entry i is (i, i, i) scaled.
std::vector<std::uint8_t> GreyPalette(int n) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(n) * 4);
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint8_t>(n > 1 ? 10 + i * 200 / (n - 1) : 10);
        p[i * 4] = p[i * 4 + 1] = p[i * 4 + 2] = v;
    }
    return p;
}

// An 8-bit RLE8 image: pixel (x, stored row y) = (x + y) % 16, one run per pixel.
std::vector<std::uint8_t> MakeRle8(int width, int height) {
    std::vector<std::uint8_t> data;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            data.push_back(1);
            data.push_back(static_cast<std::uint8_t>((x + y) % 16));
        }
        data.push_back(0);
        data.push_back(0);
    }
    data.push_back(0);
    data.push_back(1);
    return MakeBmp(width, height, 8, 1, GreyPalette(16), data);
}

std::vector<std::uint8_t> Make24(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rows[static_cast<std::size_t>(y) * stride + x * 3];
            p[0] = static_cast<std::uint8_t>(x * 20);
            p[1] = static_cast<std::uint8_t>(y * 20);
            p[2] = static_cast<std::uint8_t>(255 - x * 10);
        }
    }
    return MakeBmp(width, height, 24, 0, {}, rows);
}

std::vector<std::uint8_t> Make4(int width, int height) {
    const int stride = ((width * 4 + 31) / 32) * 4;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto v = static_cast<std::uint8_t>((x + y) % 16);
            rows[static_cast<std::size_t>(y) * stride + x / 2] |= x % 2 == 0 ? v << 4 : v;
        }
    }
    std::vector<std::uint8_t> palette = GreyPalette(16);
    palette[4 * 3 + 2] = 255;  // entry 3 red-ish, so that mapping has work to do
    return MakeBmp(width, height, 4, 0, palette, rows);
}

// Live blocks of both layers, to prove that a path leaves nothing behind.
struct Baseline {
    std::uint32_t tracked = ImageLiveBlockCount();
    std::uint32_t global = Win32LiveGlobalBlocks();
    void ExpectNothingLeft() const {
        EXPECT_EQ(ImageLiveBlockCount(), tracked);
        EXPECT_EQ(Win32LiveGlobalBlocks(), global);
    }
};

class SerialEngine : public ::testing::Test {
  protected:
    void TearDown() override {
        Win32FailGlobalAllocAfter(0);
        Win32SetScreenFormat(32, FALSE);
    }
    int First(const std::vector<std::uint8_t>& data, std::uint32_t* flags = nullptr) {
        return SerialImageFileFirst(L"ignored.gif", data.data(),
                                    static_cast<std::uint32_t>(data.size()), &a, &b, flags);
    }
    int RunAll(std::uint32_t* flags = nullptr) {
        int r = IMAGELIB_CALL_AGAIN;
        while (r == IMAGELIB_CALL_AGAIN)
            r = SerialImageNext(&a, &b, flags, nullptr);
        return r;
    }
    const BITMAPINFOHEADER& Header() {
        return *static_cast<const BITMAPINFOHEADER*>(GlobalLock(a));
    }
    const LOGPALETTE& Palette() { return *static_cast<const LOGPALETTE*>(GlobalLock(b)); }
    void Unlock() {
        GlobalUnlock(a);
        GlobalUnlock(b);
    }
    std::uint32_t a = 0;
    std::uint32_t b = 0;
};

TEST_F(SerialEngine, AStepwiseLoadGoesFrom68To69WithRisingPercentAndHandsOverTwoBlocks) {
    const Baseline base;
    const auto data = MakeRle8(7, 35);
    ASSERT_EQ(First(data), IMAGELIB_CALL_AGAIN);
    // While it runs, the words carry the context's key: 16 bits each, key bit in A.
    EXPECT_GE(a, 0x8000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_LE(b, 0xFFFFu);
    EXPECT_EQ(ImageIsLiveContext(a << 16 | b), 1);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 0);

    int percent = 0;
    int calls = 0;
    int r = IMAGELIB_CALL_AGAIN;
    while (r == IMAGELIB_CALL_AGAIN) {
        r = SerialImageNext(&a, &b, nullptr, nullptr);
        ++calls;
        const int p = SerialImagePercentComplete(&a, &b);
        EXPECT_GE(p, percent);
        percent = p;
    }
    ASSERT_EQ(r, IMAGELIB_FINISHED);
    EXPECT_GE(calls, 5);  // 35 rows, 10 per step, then the finalise step
    EXPECT_EQ(percent, 100);

    // The words now hold two unlocked global blocks; the context is gone.
    EXPECT_EQ(GlobalFlags(a) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFlags(b) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(ImageLiveBlockCount(), base.tracked);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 7);
    EXPECT_EQ(h.biHeight, 35);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biSizeImage, 7u * 35u);  // unpadded pixel bytes
    const auto* quads = reinterpret_cast<const RGBQUAD*>(&h + 1);
    EXPECT_EQ(quads[15].rgbRed, 210);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[8 * 3 + 5], (5 + 3) % 16);  // stored row 3, pixel 5
    const LOGPALETTE& pal = Palette();
    EXPECT_EQ(pal.palVersion, 0x300);
    EXPECT_EQ(pal.palNumEntries, 256);
    EXPECT_EQ(pal.palPalEntry[15].peGreen, 210);
    Unlock();

    // A finished load is no longer stepped: nothing is touched.
    const std::uint32_t ra = a, rb = b;
    EXPECT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_EQ(a, ra);
    EXPECT_EQ(b, rb);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 100);

    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 1);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, ALoadAbandonedInEveryStateIsFreedWhole) {
    for (int stepsBeforeCleanup = 0; stepsBeforeCleanup < 8; ++stepsBeforeCleanup) {
        const Baseline base;
        std::uint32_t flags = kFlagReduce;
        ASSERT_EQ(First(MakeRle8(9, 25), &flags), IMAGELIB_CALL_AGAIN);
        for (int i = 0; i < stepsBeforeCleanup; ++i)
            SerialImageNext(&a, &b, nullptr, nullptr);
        EXPECT_EQ(SerialImageCleanup(&a, &b), 0) << stepsBeforeCleanup;
        base.ExpectNothingLeft();
    }
}

TEST_F(SerialEngine, SourcesThatAreMissingOrUnknownFailWithTheirCodes) {
    const Baseline base;
    EXPECT_EQ(ImageLoadFile(L"/no/such/file.bmp", nullptr, 0, &a, &b, nullptr), 3);
    // The context stays named by the words for the caller's clean-up.
    EXPECT_NE(a | b, 0u);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 1);
    base.ExpectNothingLeft();

    const std::vector<std::uint8_t> unknown = {'X', 'Y', 'Z', 0, 0, 0};
    EXPECT_EQ(First(unknown), 3);
    EXPECT_EQ(a, 0u);  // a failed begin step has freed the load already
    EXPECT_EQ(b, 0u);
    const std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
    EXPECT_EQ(First(jpeg), IMAGELIB_NOT_SUPPORTED);
    auto emptyBmp = MakeBmp(0, 4, 8, 0, GreyPalette(2), {0, 0, 0, 0});
    EXPECT_EQ(First(emptyBmp), IMAGELIB_BMP_EMPTY);
    EXPECT_EQ(a | b, 0u);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, NullPointersAndEmptyWordsAreRefusedHarmlessly) {
    std::uint32_t zero = 0;
    EXPECT_EQ(SerialImageNext(nullptr, &zero, nullptr, nullptr), 1);
    EXPECT_EQ(SerialImageCleanup(nullptr, &zero), 1);
    EXPECT_EQ(SerialImageCleanup(&zero, nullptr), 1);
    EXPECT_EQ(SerialImagePercentComplete(&zero, nullptr), 1);
    EXPECT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 1);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 1);
    EXPECT_EQ(SerialImageFileFirst(L"x.bmp", nullptr, 0, nullptr, &b, nullptr), 1);
}

TEST_F(SerialEngine, WordsOfAFreedLoadNameNothing) {
    ASSERT_EQ(First(MakeRle8(4, 4)), IMAGELIB_CALL_AGAIN);
    std::uint32_t staleA = a, staleB = b;
    ASSERT_EQ(SerialImageCleanup(&a, &b), 0);
    const Baseline base;
    EXPECT_EQ(SerialImageNext(&staleA, &staleB, nullptr, nullptr), IMAGELIB_FINISHED);
    EXPECT_NE(staleA, 0u);  // untouched
    EXPECT_EQ(SerialImagePercentComplete(&staleA, &staleB), 100);
    EXPECT_EQ(SerialImageCleanup(&staleA, &staleB), 0);  // frees nothing that exists
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, EveryFailingAllocationEndsWithACodeAndLeavesNothing) {
    for (std::uint32_t reduce : {0u, kFlagReduce}) {
        bool completed = false;
        for (std::uint32_t n = 1; n < 60 && !completed; ++n) {
            const Baseline base;
            const auto data = MakeRle8(6, 12);
            std::uint32_t flags = reduce;
            Win32FailGlobalAllocAfter(n);
            const int r = ImageLoadFile(nullptr, data.data(),
                                        static_cast<std::uint32_t>(data.size()), &a, &b, &flags);
            Win32FailGlobalAllocAfter(0);
            completed = r == IMAGELIB_FINISHED;
            if (!completed) {
                EXPECT_TRUE(r == 1 || r == 3) << "allocation " << n << ": " << r;
            }
            ImageLoadCleanup(&a, &b);
            base.ExpectNothingLeft();
        }
        EXPECT_TRUE(completed);
    }
}

TEST_F(SerialEngine, ATrueColourImageWithoutFlagsKeepsItsDepthAndNoPalette) {
    const auto data = Make24(5, 3);
    std::uint32_t flags = kFlagImageAndMask | kFlagKeepAlpha | kFlagAnimation;
    const Baseline base;
    ASSERT_EQ(ImageLoadFile(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), &a, &b,
                            &flags),
              IMAGELIB_FINISHED);
    // BMP drops the mask and alpha requests; the one-shot bit is reported back; the
    // animation bit is the animation loader's alone and never keeps a context here.
    EXPECT_EQ(flags, kFlagOneShot);
    EXPECT_EQ(ImageLiveBlockCount(), base.tracked);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 5u * 3u * 3u);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[16 + 2 * 3 + 1], 20);  // stored row 1, pixel 2, green
    EXPECT_EQ(Palette().palNumEntries, 0);
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, ReducingATrueColourImageOnATrueColourScreenGivesTheDisplayCube) {
    const auto data = Make24(6, 4);
    std::uint32_t flags = kFlagReduce | kFlagNearestColour;
    ASSERT_EQ(ImageLoadFile(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), &a, &b,
                            &flags),
              IMAGELIB_FINISHED);
    EXPECT_TRUE(flags & kFlagReduce);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biBitCount, 8);
    const LOGPALETTE& pal = Palette();
    EXPECT_EQ(pal.palNumEntries, 256);
    EXPECT_EQ(pal.palPalEntry[224].peRed, 128);
    EXPECT_EQ(pal.palPalEntry[255].peBlue, 128);
    // Pixel (0, stored row 0) is blue 0, green 0, red 255: the cube's (6, 0, 0).
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[0], 6 * 32);
    const PALETTEENTRY& e = pal.palPalEntry[rows[0]];
    EXPECT_EQ(e.peRed, 255);
    EXPECT_EQ(e.peGreen, 0);
    EXPECT_EQ(e.peBlue, 0);
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, AFourBitImageIsReducedOnAPaletteScreenSoDepthAndRowsAgree) {
    Win32SetScreenFormat(8, TRUE);
    const auto data = Make4(5, 3);
    std::uint32_t flags = kFlagReduce | kFlagNearestColour;
    ASSERT_EQ(ImageLoadFile(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), &a, &b,
                            &flags),
              IMAGELIB_FINISHED);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(Palette().palNumEntries, 256);
    // Pixel (0, 0) is entry 0, grey 10: the cube's nearest is (0, 0, 0).
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[0], 0);
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, AFourBitImageOnASixteenColourScreenKeepsItsRowsAndMapsItsColours) {
    Win32SetScreenFormat(4, FALSE);
    const auto data = Make4(5, 3);
    std::uint32_t flags = kFlagReduce;
    ASSERT_EQ(ImageLoadFile(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), &a, &b,
                            &flags),
              IMAGELIB_FINISHED);
    EXPECT_TRUE(flags & kFlagMapToDisplayPalette);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biBitCount, 4);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[0], 0x01);  // the file's own indices
    const LOGPALETTE& pal = Palette();
    EXPECT_EQ(pal.palNumEntries, 16);
    // Every entry is now one of the 16 display colours: components 0, 128, 192 or 255.
    for (int i = 0; i < 16; ++i) {
        for (BYTE c :
             {pal.palPalEntry[i].peRed, pal.palPalEntry[i].peGreen, pal.palPalEntry[i].peBlue}) {
            EXPECT_TRUE(c == 0 || c == 128 || c == 192 || c == 255) << i << ": " << int(c);
        }
    }
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, ForcingEightBitsReducesOnAnyScreen) {
    const auto data = Make24(3, 3);
    std::uint32_t flags = kFlagForce8Bit;
    ASSERT_EQ(ImageLoadFile(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), &a, &b,
                            &flags),
              IMAGELIB_FINISHED);
    EXPECT_TRUE(flags & kFlagReduce);
    EXPECT_EQ(Header().biBitCount, 8);
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, AnImageTooLargeToHoldFailsWithOutOfMemoryBeforeAnyBlock) {
    const Baseline base;
    // 60000 x 60000 at 24 bits needs some 10 GB of rows: far past any block.
    EXPECT_EQ(First(MakeBmp(60000, 60000, 24, 0, {}, {1, 2, 3})), IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(a | b, 0u);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, ACleanedMaskThatIsReducedKeepsTheReducedRows) {
    const Baseline base;
    std::uint32_t flags = kFlagReduce | kFlagNearestColour;
    ASSERT_EQ(First(Make24(6, 2), &flags), IMAGELIB_CALL_AGAIN);
    SerialImageContext* ctx = ImageContextFromWords(a, b);
    ASSERT_NE(ctx, nullptr);
    ctx->flags |= kFlagCleanMask;  // as the GIF decoder sets it
    ASSERT_EQ(RunAll(), IMAGELIB_FINISHED);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biBitCount, 8);
    // The left half is untouched and reduced: pixel 0 is red 255, the cube's (6, 0, 0).
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    EXPECT_EQ(rows[0], 6 * 32);
    // The right half was whitened first: the cube's white is (6, 7, 3).
    EXPECT_EQ(rows[5], 6 * 32 + 7 * 4 + 3);
    Unlock();
    ImageLoadCleanup(&a, &b);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, AReduceStepThatRanOutOfMemoryCanBeCalledAgain) {
    const Baseline base;
    std::uint32_t flags = kFlagReduce | kFlagNearestColour;
    ASSERT_EQ(First(Make24(6, 2), &flags), IMAGELIB_CALL_AGAIN);
    SerialImageContext* ctx = ImageContextFromWords(a, b);
    ASSERT_NE(ctx, nullptr);
    while (ctx->state != kStateReduce) {
        ASSERT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
    }
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_OUT_OF_MEMORY);
    EXPECT_EQ(ctx->state, kStateReduce);  // the load waits for the caller
    ASSERT_EQ(RunAll(), IMAGELIB_FINISHED);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&Header()) + 1064;
    EXPECT_EQ(rows[0], 6 * 32);
    Unlock();
    ImageLoadCleanup(&a, &b);
    base.ExpectNothingLeft();
}

// Runs a stepwise load of data up to its finalise step and returns its context.
SerialImageContext* UpToFinalise(const std::vector<std::uint8_t>& data, std::uint32_t* a,
                                 std::uint32_t* b) {
    EXPECT_EQ(SerialImageFileFirst(nullptr, data.data(), static_cast<std::uint32_t>(data.size()), a,
                                   b, nullptr),
              IMAGELIB_CALL_AGAIN);
    SerialImageContext* ctx = ImageContextFromWords(*a, *b);
    while (ctx != nullptr && ctx->state != kStateFinalise) {
        EXPECT_EQ(SerialImageNext(a, b, nullptr, nullptr), IMAGELIB_CALL_AGAIN);
    }
    return ctx;
}

// An 8-bit 10 x 10 frame whose pixel (x, stored row y) is 100 + y * 10 + x, with a grey
// palette (no pure black or white).
std::vector<std::uint8_t> Frame10() {
    std::vector<std::uint8_t> rows(12 * 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x)
            rows[y * 12 + x] = static_cast<std::uint8_t>(100 + y * 10 + x);
    }
    std::vector<std::uint8_t> palette(256 * 4, 0x40);
    return MakeBmp(10, 10, 8, 0, palette, rows);
}

TEST_F(SerialEngine, AFrameIsPlacedOnItsLogicalScreenCountedFromTheTop) {
    const Baseline base;
    SerialImageContext* ctx = UpToFinalise(Frame10(), &a, &b);
    ASSERT_NE(ctx, nullptr);
    ctx->placed = 1;
    ctx->screenWidth = 20;
    ctx->screenHeight = 20;
    ctx->frameLeft = 5;
    ctx->frameTop = 0;
    ctx->backgroundIndex = 7;
    ASSERT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_FINISHED);
    const BITMAPINFOHEADER& h = Header();
    EXPECT_EQ(h.biWidth, 20);
    EXPECT_EQ(h.biHeight, 20);
    EXPECT_EQ(h.biSizeImage, 20u * 20u);
    EXPECT_EQ(GlobalSize(a), 1064u + 20u * 20u);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&h) + 1064;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            // The frame's stored rows 0..9 land on stored rows 10..19: the top ten on screen.
            const bool inFrame = y >= 10 && x >= 5 && x < 15;
            const int expected = inFrame ? 100 + (y - 10) * 10 + (x - 5) : 7;
            ASSERT_EQ(rows[y * 20 + x], expected) << x << "," << y;
        }
    }
    Unlock();
    ImageLoadCleanup(&a, &b);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, AFrameReachingOutsideItsScreenIsClipped) {
    const Baseline base;
    SerialImageContext* ctx = UpToFinalise(Frame10(), &a, &b);
    ASSERT_NE(ctx, nullptr);
    ctx->placed = 1;
    ctx->screenWidth = 12;
    ctx->screenHeight = 12;
    ctx->frameLeft = 7;
    ctx->frameTop = 8;
    ASSERT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_FINISHED);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&Header()) + 1064;
    // Screen row 8 from the top is stored row 3 and shows the frame's top row (stored 9).
    EXPECT_EQ(rows[3 * 12 + 7], 100 + 9 * 10);
    EXPECT_EQ(rows[3 * 12 + 11], 100 + 9 * 10 + 4);
    EXPECT_EQ(rows[0 * 12 + 7], 100 + 6 * 10);
    EXPECT_EQ(rows[4 * 12 + 7], 0);  // above the frame: the background index
    Unlock();
    ImageLoadCleanup(&a, &b);
    base.ExpectNothingLeft();
}

TEST_F(SerialEngine, AnImageAndMaskFrameKeepsEachHalfInItsHalf) {
    SerialImageContext* ctx = UpToFinalise(Frame10(), &a, &b);
    ASSERT_NE(ctx, nullptr);
    ctx->flags |= kFlagImageAndMask;  // both widths are doubled: 5 + 5 on 10 + 10
    ctx->placed = 1;
    ctx->screenWidth = 20;
    ctx->screenHeight = 10;
    ctx->frameLeft = 2;
    ctx->frameTop = 0;
    ASSERT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), IMAGELIB_FINISHED);
    const auto* rows = reinterpret_cast<const std::uint8_t*>(&Header()) + 1064;
    // No black or white entry: both keys are -1, byte 0xFF.
    EXPECT_EQ(rows[0], 0xFF);
    EXPECT_EQ(rows[2], 100);  // image half at 2
    EXPECT_EQ(rows[6], 104);
    EXPECT_EQ(rows[7], 0xFF);      // beyond the image half of the frame
    EXPECT_EQ(rows[10 + 2], 105);  // mask half at 10 + 2
    EXPECT_EQ(rows[10 + 6], 109);
    Unlock();
    ImageLoadCleanup(&a, &b);
}

TEST_F(SerialEngine, FailingToAllocateTheScreenFailsTheLoadCleanly) {
    const Baseline base;
    SerialImageContext* ctx = UpToFinalise(Frame10(), &a, &b);
    ASSERT_NE(ctx, nullptr);
    ctx->placed = 1;
    ctx->screenWidth = 20;
    ctx->screenHeight = 20;
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), 1);
    EXPECT_EQ(a | b, 0u);
    base.ExpectNothingLeft();
}

// A context of its own around caller rows, for the row helpers.
struct RowsContext {
    SerialImageContext* ctx = ImageNewContext();
    std::vector<std::uint8_t> rows;
    RowsContext(int width, int height, int bpp, std::vector<std::uint8_t> data) : rows(data) {
        ctx->info.width = width;
        ctx->info.height = height;
        ctx->info.bitsPerPixel = bpp;
        ctx->bits = rows.data();
        ctx->work = rows.data();
        for (int i = 0; i < 256; ++i) {
            ctx->palette[i] =
                PaletteEntry3{static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i)};
        }
    }
    ~RowsContext() {
        if (ctx->work != ctx->bits)
            ImageFree(ctx->work);
        ImageFree(ctx);
    }
};

TEST(WorkRows, EveryDepthExpandsToTwentyFourBits) {
    {
        RowsContext c(3, 1, 32, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99});
        ASSERT_TRUE(ImageAllocWork24(c.ctx));
        const std::uint8_t expected[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        EXPECT_EQ(std::memcmp(c.ctx->work, expected, 9), 0);  // the alpha byte is dropped
    }
    {
        RowsContext c(3, 1, 4, {0x12, 0x30, 0, 0});  // odd last pixel from a high nibble
        ASSERT_TRUE(ImageAllocWork24(c.ctx));
        const std::uint8_t* w = c.ctx->work;
        EXPECT_EQ(w[2], 1);    // red of entry 1
        EXPECT_EQ(w[0], 254);  // blue of entry 1
        EXPECT_EQ(w[5], 2);
        EXPECT_EQ(w[8], 3);
    }
    {
        RowsContext c(10, 2, 1, {0x80, 0x40, 0, 0, 0x01, 0xC0, 0, 0});
        ASSERT_TRUE(ImageAllocWork24(c.ctx));
        const std::uint8_t* w = c.ctx->work;
        EXPECT_EQ(w[2], 1);                   // pixel 0 is entry 1
        EXPECT_EQ(w[3 + 2], 0);               // pixel 1 is entry 0
        EXPECT_EQ(w[9 * 3 + 2], 1);           // pixel 9: bit 6 of the second byte
        const std::uint8_t* second = w + 32;  // ((10 + 1) * 3) & ~3
        EXPECT_EQ(second[7 * 3 + 2], 1);
        EXPECT_EQ(second[8 * 3 + 2], 1);
    }
}

TEST(WorkRows, CleaningTheMaskWhitensEveryMixedPixelOfTheRightHalfOnly) {
    RowsContext c(4, 1, 24, {10, 20, 30, 0, 0, 0, 0, 255, 0, 1, 2, 3, 0, 0, 0, 0});
    ASSERT_TRUE(ImageCleanMask(c.ctx));
    EXPECT_EQ(c.ctx->info.bitsPerPixel, 24);
    const std::uint8_t expected[12] = {10, 20, 30, 0, 0, 0, 0, 255, 0, 255, 255, 255};
    EXPECT_EQ(std::memcmp(c.ctx->work, expected, 12), 0);

    RowsContext failing(4, 1, 24, std::vector<std::uint8_t>(16));
    Win32FailGlobalAllocAfter(1);
    EXPECT_FALSE(ImageCleanMask(failing.ctx));
    Win32FailGlobalAllocAfter(0);
}

}  // namespace
