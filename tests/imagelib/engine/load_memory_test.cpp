// What a load costs beyond its result: a copy of its source, the context and its driver's
// state, each a tracked block of its own size.
#include <gtest/gtest.h>

#include <vector>

#include "core/checked_size.h"
#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/global_memory.h"

using namespace imagelib;

namespace {

TEST(LoadMemory, ASmallFileCostsItsCopyAndAFewHundredBytesBeyondItsResult) {
    // 16 x 16 at 4 bits with 16 colours: 246 bytes in all.
    const std::vector<std::uint8_t> bmp =
        fixture::MakeBmp({16, 16, 4, 40, 16}, std::vector<std::uint8_t>(16 * 4, 0x55),
                         std::vector<std::uint8_t>(16 * 8, 0x12));
    ASSERT_EQ(bmp.size(), 246u);
    const std::uint64_t tracked = ImageLiveBytes();
    const std::uint64_t global = Win32GlobalBytesOut();
    ImageResetPeakBytes();
    Win32ResetGlobalBytesPeak();
    const fixture::Loaded loaded = fixture::LoadBytes(bmp);
    ASSERT_EQ(loaded.code, IMAGELIB_FINISHED);
    EXPECT_EQ(loaded.rows()[0], 0x12);
    // The result: the DIB with room for 24-bit rows, and the logical palette.
    const std::uint64_t result = kPackedDibRowsOffset + WorkStride24(16) * 16 + kLogPaletteBytes;
    EXPECT_LE(ImagePeakBytes() - tracked, bmp.size() + 1536);
    EXPECT_LE(Win32GlobalBytesPeak() - global, result + bmp.size() + 1536);
    EXPECT_EQ(ImageLiveBytes(), tracked);
}

}  // namespace
