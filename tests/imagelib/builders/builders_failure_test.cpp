// Every GDI call and every allocation of each builder made to fail in turn: the builder
// says so, and no bitmap, palette, context or block is left behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "builders/builders_fixtures.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace builders_test {
namespace {

// Far more calls and allocations than any builder here makes.
constexpr std::uint32_t kMostSteps = 80;

Colour Gradient(LONG x, LONG y) {
    return {BYTE(x * 20), BYTE(y * 30), BYTE(x * y)};
}

struct Tally {
    int failed = 0;
    int succeeded = 0;
    bool lastSucceeded = false;
};

// Runs the builder with the n-th call of one kind failing, for every n; run gives back
// whatever it was given and says whether the builder succeeded.
Tally FailEach(void (*arm)(std::uint32_t), const std::function<bool()>& run) {
    Tally t;
    for (std::uint32_t n = 1; n <= kMostSteps; ++n) {
        const std::uint32_t objects = Win32LiveGdiObjects();
        const std::uint32_t contexts = Win32LiveDeviceContexts();
        const fixture::LiveBlocks blocks;
        arm(n);
        const bool ok = run();
        arm(0);
        ++(ok ? t.succeeded : t.failed);
        t.lastSucceeded = ok;
        EXPECT_EQ(Win32LiveGdiObjects(), objects) << "failing step " << n;
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts) << "failing step " << n;
        EXPECT_EQ(blocks.Leaked(), "") << "failing step " << n;
    }
    return t;
}

void ExpectEveryStepFailedOnce(void (*arm)(std::uint32_t), const std::function<bool()>& run) {
    const Tally t = FailEach(arm, run);
    EXPECT_GT(t.failed, 0);
    EXPECT_TRUE(t.lastSucceeded);
}

class BuilderFailures : public BuilderTest, public testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        // true: a palette screen, where the engine reduces and the dc holds a palette.
        if (GetParam())
            Win32SetScreenFormat(8, TRUE);
    }
    static void ArmGdi(std::uint32_t n) { Win32FailGdiCallAfter(n); }
    static void ArmAlloc(std::uint32_t n) { Win32FailGlobalAllocAfter(n); }
};

TEST_P(BuilderFailures, ConvertBitmapBits) {
    Dib dib = PatternDib(9, 4, 24, CubeColours(5));
    const auto run = [&] {
        std::uint32_t a = 0, b = 0, flags = IMAGELIB_REDUCE;
        const bool ok = ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &flags, &a, &b) == 1;
        if (ok) {
            EXPECT_NE(a, 0u);
            SerialImageCleanup(&a, &b);
        } else {
            EXPECT_EQ(a, 0u);
            EXPECT_EQ(b, 0u);
        }
        return ok;
    };
    ExpectEveryStepFailedOnce(ArmAlloc, run);
    FailEach(ArmGdi, run);  // the engine only asks the screen's depth
}

TEST_P(BuilderFailures, ConvertBitmapImage) {
    Dib dib = PatternDib(9, 4, 8, CubeColours(5));
    ScreenDc dc;
    const auto run = [&] {
        std::uint32_t flags = IMAGELIB_REDUCE;
        const HBITMAP b = ConvertBitmapImage(dc.get(), dib.info.data(), dib.rows.data(), &flags);
        DeleteObject(b);
        return b != 0;
    };
    ExpectEveryStepFailedOnce(ArmAlloc, run);
    ExpectEveryStepFailedOnce(ArmGdi, run);
}

TEST_P(BuilderFailures, CreateAnimationMaskImage) {
    for (WORD bits : {WORD(4), WORD(8), WORD(24)}) {
        SCOPED_TRACE(bits);
        Dib dib = PatternDib(9, 4, bits, CubeColours(5));
        ScreenDc dc;
        const auto run = [&] {
            std::uint32_t image = 0, mask = 0;
            const bool ok = CreateAnimationMaskImage(&image, &mask, 2, dc.get(), dib.info.data(),
                                                     dib.rows.data(), nullptr) == 1;
            EXPECT_EQ(image != 0 && mask != 0, ok);
            EXPECT_EQ(image == 0 && mask == 0, !ok);
            DeleteObject(image);
            DeleteObject(mask);
            return ok;
        };
        ExpectEveryStepFailedOnce(ArmAlloc, run);
        ExpectEveryStepFailedOnce(ArmGdi, run);
    }
}

TEST_P(BuilderFailures, CreateRotatedImage) {
    for (LONG width : {8, 5}) {  // one read, and a read per row
        SCOPED_TRACE(width);
        Bitmap source(MakeBitmap(width, 6, Gradient));
        ScreenDc dc;
        const auto run = [&] {
            const HBITMAP b = CreateRotatedImage(dc.get(), source.get(), 30, TRUE);
            DeleteObject(b);
            return b != 0;
        };
        ExpectEveryStepFailedOnce(ArmAlloc, run);
        ExpectEveryStepFailedOnce(ArmGdi, run);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, BuilderFailures, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "PaletteScreen" : "TrueColour");
                         });

}  // namespace
}  // namespace builders_test
