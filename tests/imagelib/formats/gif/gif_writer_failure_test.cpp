// The GIF writers' failures: bad arguments create no file, and a failed allocation, a
// folder that cannot take the file or a write cut short by the file system is reported,
// never as success, and leaves no block behind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "fixture_support.h"
#include "formats/gif/gif_write_fixtures.h"
#include "formats/gif/gif_writer.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

using fixture::LiveBlocks;
using fixture::TempDir;
using fixture::Wide;
using Bytes = std::vector<std::uint8_t>;

const BITMAPINFO* Info(const Bytes& info) {
    return reinterpret_cast<const BITMAPINFO*>(info.data());
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// A 300 x 200 noisy 8-bit frame: several sub-blocks and more than one file buffer.
struct Picture {
    Bytes info = gifwrite::BitmapInfo(300, 200, 8, gifwrite::DistinctPalette(256));
    Bytes rows;
    const std::uint8_t* frames[2];
    Picture() {
        Bytes indices(300 * 200);
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
        rows = gifwrite::PackRows(indices, 300, 200, 8);
        frames[0] = frames[1] = rows.data();
    }
    int Write(const std::string& path, int frameCount = 2) const {
        return imagelib::GifWriteFile(Wide(path).c_str(), frameCount, frames, Info(info), -1);
    }
};

TEST(GifWriterArguments, BadArgumentsGive1Or2AndCreateNoFile) {
    TempDir dir;
    const std::string path = dir.file("a.gif");
    const std::wstring wide = Wide(path);
    const Bytes rows(64 * 64);
    const std::uint8_t* frames[1] = {rows.data()};
    struct Case {
        int width, height, bits, expected;
    };
    for (const Case& c : {Case{4, 4, 24, 2}, Case{4, 4, 2, 2}, Case{4, 4, 0, 2}, Case{0, 4, 8, 1},
                          Case{-4, 4, 8, 1}, Case{65536, 4, 8, 1}, Case{4, 0, 8, 1},
                          Case{4, -4, 8, 1}, Case{4, 65536, 8, 1}}) {
        const Bytes info = gifwrite::BitmapInfo(c.width, c.height, c.bits, {});
        EXPECT_EQ(imagelib::GifWriteFile(wide.c_str(), 1, frames, Info(info), -1), c.expected)
            << c.width << "x" << c.height << "x" << c.bits;
        EXPECT_FALSE(Exists(path));
    }
    const Bytes info = gifwrite::BitmapInfo(4, 4, 8, {});
    const std::uint8_t* none[1] = {nullptr};
    EXPECT_EQ(imagelib::GifWriteFile(wide.c_str(), 1, frames, nullptr, -1), 1);
    EXPECT_EQ(imagelib::GifWriteFile(nullptr, 1, frames, Info(info), -1), 1);
    EXPECT_EQ(imagelib::GifWriteFile(wide.c_str(), 1, nullptr, Info(info), -1), 1);
    EXPECT_EQ(imagelib::GifWriteFile(wide.c_str(), 1, none, Info(info), -1), 1);
    EXPECT_FALSE(Exists(path));
}

TEST(GifWriterArguments, AnimatedWriterRefusesRecordsItCannotWrite) {
    TempDir dir;
    const std::wstring path = Wide(dir.file("a.gif"));
    const Bytes info = gifwrite::BitmapInfo(1, 1, 8, gifwrite::DistinctPalette(256));
    const HGLOBAL rows = GlobalAlloc(GHND, 16 * 16);
    GifAnimRecord r = {};
    r.width = 16;
    r.height = 16;
    r.dib = rows;
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 0, -1, &r, Info(info)), 1);
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, nullptr, Info(info)), 1);
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &r, nullptr), 1);
    const Bytes deep = gifwrite::BitmapInfo(1, 1, 24, {});
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &r, Info(deep)), 2);
    GifAnimRecord bad = r;
    bad.height = 17;  // more rows than the block holds
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &bad, Info(info)), 1);
    bad = r;
    bad.dib = 0;
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &bad, Info(info)), 1);
    bad = r;
    bad.left = 65530;  // the screen would pass 65535
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &bad, Info(info)), 1);
    bad = r;
    bad.width = 0;
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &bad, Info(info)), 1);
    EXPECT_FALSE(Exists(dir.file("a.gif")));
    EXPECT_EQ(imagelib::GifWriteAnimFile(path.c_str(), 1, -1, &r, Info(info)), 0);
    GlobalFree(rows);
}

TEST(GifWriterFailures, EveryFailedAllocationGives1AndLeavesNoBlock) {
    TempDir dir;
    const Picture picture;
    // Two frames: four tables in all, each of which may fail.
    for (std::uint32_t n = 1; n <= 4; ++n) {
        const LiveBlocks before;
        Win32FailGlobalAllocAfter(n);
        EXPECT_EQ(picture.Write(dir.file("a.gif")), 1) << n;
        Win32FailGlobalAllocAfter(0);
        EXPECT_EQ(before.Leaked(), "") << n;
    }
    EXPECT_EQ(picture.Write(dir.file("a.gif")), 0);
}

TEST(GifWriterFailures, AFolderThatCannotTakeTheFileGives3) {
    TempDir dir;
    const Picture picture;
    EXPECT_EQ(picture.Write(dir.file("missing/a.gif")), 3);
    EXPECT_EQ(picture.Write(dir.path()), 3);  // a folder, not a file
}

TEST(GifWriterFailures, AFullDeviceGives8) {
    const Picture picture;
    const LiveBlocks before;
    EXPECT_EQ(picture.Write("/dev/full"), 8);
    EXPECT_EQ(picture.Write("/dev/full", 0), 8);  // only the close can fail here
    EXPECT_EQ(before.Leaked(), "");
}

using gifwrite::FileSizeLimit;

TEST(GifWriterFailures, AFileCutShortAtAnySizeGives8) {
    TempDir dir;
    const Picture picture;
    ASSERT_EQ(picture.Write(dir.file("full.gif")), 0);
    const auto size = static_cast<rlim_t>(fixture::ReadFile(dir.file("full.gif")).size());
    for (rlim_t limit = 0; limit < size; limit += limit < 2048 ? 61 : 1999) {
        const LiveBlocks before;
        int r = 0;
        {
            const FileSizeLimit cap(limit);
            r = picture.Write(dir.file("cut.gif"));
        }
        EXPECT_EQ(r, 8) << limit;
        EXPECT_EQ(before.Leaked(), "") << limit;
    }
    const FileSizeLimit cap(size);
    EXPECT_EQ(picture.Write(dir.file("cut.gif")), 0);
}

TEST(GifWriterFailures, TheAnimatedWriterReportsAFullDevice) {
    const Bytes info = gifwrite::BitmapInfo(1, 1, 4, gifwrite::DistinctPalette(16));
    const HGLOBAL rows = GlobalAlloc(GHND, 200 * 100);
    GifAnimRecord r = {};
    r.width = 400;
    r.height = 100;
    r.dib = rows;
    EXPECT_EQ(imagelib::GifWriteAnimFile(L"/dev/full", 1, 0, &r, Info(info)), 8);
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(imagelib::GifWriteAnimFile(L"/dev/full", 1, 0, &r, Info(info)), 1);
    Win32FailGlobalAllocAfter(0);
    GlobalFree(rows);
}

TEST(GifWriterExport, ImageWriteGifFilePassesItsArgumentsThrough) {
    TempDir dir;
    const Picture picture;
    const void* frames[1] = {picture.rows.data()};
    EXPECT_EQ(ImageWriteGifFile(Wide(dir.file("a.gif")).c_str(), 1, frames, picture.info.data(), 5),
              0);
    Bytes direct;
    ASSERT_EQ(imagelib::GifWriteFile(Wide(dir.file("b.gif")).c_str(), 1, picture.frames,
                                     Info(picture.info), 5),
              0);
    EXPECT_EQ(fixture::ReadFile(dir.file("a.gif")), fixture::ReadFile(dir.file("b.gif")));
    const Bytes deep = gifwrite::BitmapInfo(4, 4, 24, {});
    EXPECT_EQ(ImageWriteGifFile(Wide(dir.file("c.gif")).c_str(), 1, frames, deep.data(), -1), 2);
}

}  // namespace
