// The inflater alone: zlib streams of every compression level, long enough to pass its
// output chunks many times, inflate to the bytes zlib was given; the bytes reach the sink
// in order whatever the chunking; a cut stream fails and frees what it took.
#include "formats/png/png_inflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/png/png_fixtures.h"

namespace {

using imagelib::PngInflate;
using imagelib::PngInflateResult;
using imagelib::PngInflateSink;

void Append(void* target, const std::uint8_t* bytes, std::size_t n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(target);
    out->insert(out->end(), bytes, bytes + n);
}

using PngInflateTest = png_test::PngFixtureTest;

TEST_F(PngInflateTest, EveryLevelGivesBackWhatZlibWasGiven) {
    const std::vector<std::uint8_t> raw = fixture::ReadFile(file("inflate.raw"));
    ASSERT_GT(raw.size(), 1000000u);
    for (const char* level : {"0", "1", "6", "9"}) {
        SCOPED_TRACE(level);
        const std::vector<std::uint8_t> z =
            fixture::ReadFile(file(std::string("inflate_l") + level + ".z"));
        std::vector<std::uint8_t> out;
        std::uint64_t consumed = 0;
        ASSERT_EQ(PngInflate(z.data(), z.size(), PngInflateSink{&out, Append}, &consumed),
                  PngInflateResult::kOk);
        EXPECT_TRUE(out == raw);
        EXPECT_EQ(consumed, z.size() - 4) << "the Adler-32 follows the last block";
    }
}

TEST_F(PngInflateTest, CutStreamsFailAtEveryLength) {
    const std::vector<std::uint8_t> z = fixture::ReadFile(file("inflate_l6.z"));
    ::testing::internal::CaptureStdout();
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3},
                            z.size() / 3, z.size() - 5}) {
        std::vector<std::uint8_t> out;
        EXPECT_EQ(PngInflate(z.data(), cut, PngInflateSink{&out, Append}, nullptr),
                  PngInflateResult::kBadData)
            << cut;
    }
    ::testing::internal::GetCapturedStdout();
}

}  // namespace
