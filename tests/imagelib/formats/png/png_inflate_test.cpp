// The inflater alone: zlib streams of every compression level, long enough to pass its
// output chunks many times, inflate to the bytes zlib was given, from one buffer or from
// pieces of any size; a cut stream fails and frees what it took.
#include "formats/png/png_inflate.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Hands out a buffer in pieces of 0 to 12 bytes in turn, as IDAT chunks of any size would.
struct Pieces {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    std::size_t turn = 0;
};

bool NextPiece(void* origin, const std::uint8_t** bytes, std::uint64_t* n) {
    auto* p = static_cast<Pieces*>(origin);
    if (p->pos == p->size)
        return false;
    const std::size_t k = std::min(p->turn++ % 13, p->size - p->pos);
    *bytes = p->data + p->pos;
    *n = k;
    p->pos += k;
    return true;
}

TEST_F(PngInflateTest, ASourceInPiecesGivesTheSameBytes) {
    const std::vector<std::uint8_t> raw = fixture::ReadFile(file("inflate.raw"));
    for (const char* level : {"0", "1", "9"}) {
        SCOPED_TRACE(level);
        const std::vector<std::uint8_t> z =
            fixture::ReadFile(file(std::string("inflate_l") + level + ".z"));
        Pieces pieces{z.data(), z.size()};
        std::vector<std::uint8_t> out;
        std::uint64_t consumed = 0;
        ASSERT_EQ(PngInflate(imagelib::PngInflateSource{&pieces, NextPiece},
                             PngInflateSink{&out, Append}, &consumed),
                  PngInflateResult::kOk);
        EXPECT_TRUE(out == raw);
        EXPECT_EQ(consumed, z.size() - 4);
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

// Every start of the widest round of the symbol loop (two literal pairs, then a 258-byte
// match copied 16 bytes at a time) within its 262-byte period: one of them starts just
// below the point where the inflater hands its bytes on, and writes farthest into the
// output buffer's slack. Under AddressSanitizer the bytes behind that buffer are
// poisoned, so a write past the slack stops the test.
TEST_F(PngInflateTest, WidestRoundsStayInsideTheOutputBuffer) {
    const std::vector<std::uint8_t> rounds = fixture::ReadFile(file("widest_rounds.deflate"));
    ASSERT_FALSE(rounds.empty());
    constexpr std::size_t kRounds = 1001;  // as make_png.py writes them
    constexpr std::size_t kRound = 262;
    constexpr std::size_t kMatch = 258;
    constexpr std::size_t kDistance = 17;
    for (std::size_t lead = kRound; lead < 2 * kRound; ++lead) {
        SCOPED_TRACE(lead);
        // A zlib header, a stored block of lead bytes, the rounds, a 4-byte Adler-32 that
        // is not looked at.
        std::vector<std::uint8_t> z = {0x78, 0x01, 0x00};
        for (const std::size_t v : {lead, lead ^ 0xFFFF}) {
            z.push_back(static_cast<std::uint8_t>(v));
            z.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        std::vector<std::uint8_t> expected;
        for (std::size_t i = 0; i < lead; ++i)
            expected.push_back(static_cast<std::uint8_t>(i * 7 % 251));
        z.insert(z.end(), expected.begin(), expected.end());
        z.insert(z.end(), rounds.begin(), rounds.end());
        z.insert(z.end(), 4, 0);
        for (std::size_t r = 0; r < kRounds; ++r) {
            expected.insert(expected.end(), {'a', 'b', 'a', 'b'});
            for (std::size_t k = 0; k < kMatch; ++k)
                expected.push_back(expected[expected.size() - kDistance]);
        }
        std::vector<std::uint8_t> out;
        ASSERT_EQ(PngInflate(z.data(), z.size(), PngInflateSink{&out, Append}, nullptr),
                  PngInflateResult::kOk);
        ASSERT_TRUE(out == expected);
    }
}

}  // namespace
