// The GIF and JPEG builders with every GDI call and every allocation made to fail in turn,
// and with files that cannot be written: the result says whether the complete file was
// written, and no bitmap, palette, context or block is left behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "builders/builders_fixtures.h"
#include "colour/palettes.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace builders_test {
namespace {

// Far more calls and allocations than any of these builders makes.
constexpr std::uint32_t kMostSteps = 150;

Colour Gradient(LONG x, LONG y) {
    return {BYTE(x * 20), BYTE(y * 30), BYTE(x * y)};
}

Colour Stripes(LONG x, LONG y) {
    return {BYTE((x + y) % 3 * 100), BYTE(x * 37), 200};
}

std::vector<RGBQUAD> CallerColours() {
    std::vector<RGBQUAD> q(256);
    for (int i = 0; i < 256; ++i)
        q[i] = RGBQUAD{BYTE(i * 7), BYTE(255 - i), BYTE(i), 0};
    return q;
}

// A builder writing to a path: 0 or 1.
using Build = std::function<std::uint32_t(const std::wstring& path)>;

// The builder with the n-th call of one kind failing, for every n: 0 comes with the
// complete file (as written without failures), 1 with no file or not the complete one.
void FailEachStep(void (*arm)(std::uint32_t), const Build& build, const std::string& path) {
    const std::wstring wide = fixture::Wide(path);
    std::remove(path.c_str());
    ASSERT_EQ(build(wide), 0u);
    const std::vector<std::uint8_t> complete = fixture::ReadFile(path);
    ASSERT_FALSE(complete.empty());
    int failed = 0;
    bool lastSucceeded = false;
    for (std::uint32_t n = 1; n <= kMostSteps; ++n) {
        std::remove(path.c_str());
        const std::uint32_t objects = Win32LiveGdiObjects();
        const std::uint32_t contexts = Win32LiveDeviceContexts();
        const fixture::LiveBlocks blocks;
        arm(n);
        const std::uint32_t result = build(wide);
        arm(0);
        const std::vector<std::uint8_t> written = fixture::ReadFile(path);
        if (result == 0) {
            EXPECT_EQ(written, complete) << "failing step " << n;
        } else {
            EXPECT_EQ(result, 1u) << "failing step " << n;
            EXPECT_NE(written, complete) << "failing step " << n;
            ++failed;
        }
        lastSucceeded = result == 0;
        EXPECT_EQ(Win32LiveGdiObjects(), objects) << "failing step " << n;
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts) << "failing step " << n;
        EXPECT_EQ(blocks.Leaked(), "") << "failing step " << n;
    }
    EXPECT_GT(failed, 0);
    EXPECT_TRUE(lastSucceeded);
}

class FileBuilderFailures : public BuilderTest, public testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        BuilderTest::SetUp();
        // true: a palette screen, where the bitmaps hold indices of the selected palette.
        if (GetParam())
            Win32SetScreenFormat(8, TRUE);
    }
    void TearDown() override {
        imagelib::ImageUserPaletteReset();
        BuilderTest::TearDown();
    }
    static void ArmGdi(std::uint32_t n) { Win32FailGdiCallAfter(n); }
    static void ArmAlloc(std::uint32_t n) { Win32FailGlobalAllocAfter(n); }
    fixture::TempDir dir_;
};

TEST_P(FileBuilderFailures, GifButton) {
    const std::vector<RGBQUAD> colours = CallerColours();
    const BYTE key[3] = {0, 255, 0};
    for (LONG width : {8, 5}) {  // one read per frame, and a read per row
        for (int frames = 1; frames <= 3; ++frames) {
            for (bool caller : {false, true}) {
                SCOPED_TRACE(std::to_string(width) + " wide, " + std::to_string(frames) +
                             " frames" + (caller ? ", caller palette" : ""));
                Bitmap a(MakeBitmap(width, 6, Gradient));
                Bitmap b(MakeBitmap(width, 6, Stripes));
                Bitmap c(MakeBitmap(width, 6, Gradient));
                const Build build = [&](const std::wstring& path) {
                    return CreateGIFButtonFromBitmaps(a.get(), frames > 1 ? b.get() : 0,
                                                      frames > 2 ? c.get() : 0, 0, path.c_str(),
                                                      key, caller ? colours.data() : nullptr);
                };
                FailEachStep(ArmGdi, build, dir_.file("b.gif"));
                FailEachStep(ArmAlloc, build, dir_.file("b.gif"));
            }
        }
    }
}

TEST_P(FileBuilderFailures, Jpeg) {
    for (LONG width : {16, 13}) {
        SCOPED_TRACE(width);
        Bitmap a(MakeBitmap(width, 9, Gradient));
        const Build build = [&](const std::wstring& path) {
            return CreateJPEGFromBitmap(a.get(), 0, path.c_str(), 80);
        };
        FailEachStep(ArmGdi, build, dir_.file("b.jpg"));
        FailEachStep(ArmAlloc, build, dir_.file("b.jpg"));
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, FileBuilderFailures, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "PaletteScreen" : "TrueColour");
                         });

// Limits the size of files this process writes while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

class FileBuilderFileSystem : public BuilderTest {
  protected:
    // Each place where the builder cannot write its file gives 1 and leaves nothing behind.
    void ExpectEveryUnwritablePlaceFails(const Build& build) {
        const std::string places[] = {
            "/proc/imagelib-builder-test.out",  // a folder nobody may create files in
            dir_.file("missing/a.out"),         // a folder that does not exist
            dir_.path(),                        // a folder, not a file
            "/dev/full",                        // every write fails
        };
        for (const std::string& place : places) {
            const fixture::LiveBlocks blocks;
            EXPECT_EQ(build(fixture::Wide(place)), 1u) << place;
            EXPECT_EQ(blocks.Leaked(), "") << place;
        }
        // Cut short at any size.
        const std::string path = dir_.file("cut.out");
        ASSERT_EQ(build(fixture::Wide(path)), 0u);
        const auto size = static_cast<rlim_t>(fixture::ReadFile(path).size());
        for (rlim_t limit = 0; limit < size; limit += limit < 1024 ? 37 : 997) {
            const fixture::LiveBlocks blocks;
            std::uint32_t r = 0;
            {
                const FileSizeLimit cap(limit);
                r = build(fixture::Wide(path));
            }
            EXPECT_EQ(r, 1u) << limit;
            EXPECT_EQ(blocks.Leaked(), "") << limit;
        }
    }
    fixture::TempDir dir_;
};

TEST_F(FileBuilderFileSystem, GifButton) {
    Bitmap a(MakeBitmap(40, 30, Gradient));
    Bitmap b(MakeBitmap(40, 30, Stripes));
    ExpectEveryUnwritablePlaceFails([&](const std::wstring& path) {
        return CreateGIFButtonFromBitmaps(a.get(), b.get(), a.get(), 0, path.c_str(), nullptr,
                                          nullptr);
    });
}

TEST_F(FileBuilderFileSystem, Jpeg) {
    Bitmap a(MakeBitmap(40, 30, Gradient));
    ExpectEveryUnwritablePlaceFails([&](const std::wstring& path) {
        return CreateJPEGFromBitmap(a.get(), 0, path.c_str(), 80);
    });
}

}  // namespace
}  // namespace builders_test
