// The checked reader: whole reads or none, partial reads only where asked for, spans that
// never leave the data, and values of both byte orders.
#include "core/stream_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/mem_stream.h"

using namespace imagelib;

namespace {

class StreamReaderTest : public ::testing::Test {
  protected:
    void Open(const std::vector<std::uint8_t>& bytes) {
        s_ = ImageMemStreamOpen(nullptr, bytes.data(), std::uint32_t(bytes.size()), L"rb");
        ASSERT_NE(s_, nullptr);
        in_ = StreamReader(s_);
    }
    void TearDown() override { ImageMemStreamFree(s_); }

    ImageMemStream* s_ = nullptr;
    StreamReader in_;
};

TEST_F(StreamReaderTest, AReadDeliversAllOrNothingAndLeavesTheCursor) {
    Open({1, 2, 3, 4, 5});
    std::uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(in_.Read(out, 3));
    EXPECT_EQ(in_.Position(), 3);
    EXPECT_EQ(in_.Remaining(), 2);
    EXPECT_FALSE(in_.Read(out, 3));  // two bytes left
    EXPECT_EQ(in_.Position(), 3);
    EXPECT_EQ(out[0], 1);  // nothing copied by the short read
    EXPECT_EQ(out[2], 3);
    EXPECT_FALSE(in_.Read(out, -1));
    EXPECT_TRUE(in_.Read(out, 0));
    EXPECT_TRUE(in_.Read(out, 2));
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(in_.Remaining(), 0);
}

TEST_F(StreamReaderTest, ValuesComeInBothByteOrdersAndAShortValueIsNoValue) {
    Open({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0xAA});
    std::uint8_t b = 0;
    std::uint16_t h = 0;
    std::uint32_t w = 0;
    EXPECT_TRUE(in_.U16LE(&h));
    EXPECT_EQ(h, 0x0201);
    EXPECT_TRUE(in_.U16BE(&h));
    EXPECT_EQ(h, 0x0304);
    EXPECT_TRUE(in_.U32LE(&w));
    EXPECT_EQ(w, 0x08070605u);
    EXPECT_TRUE(in_.U32BE(&w));
    EXPECT_EQ(w, 0x090A0B0Cu);
    w = 0x12345678;
    EXPECT_FALSE(in_.U32LE(&w));  // one byte left
    EXPECT_FALSE(in_.U16BE(&h));
    EXPECT_EQ(w, 0x12345678u);
    EXPECT_TRUE(in_.U8(&b));
    EXPECT_EQ(b, 0xAA);
    EXPECT_FALSE(in_.U8(&b));
    const std::uint8_t bytes[4] = {0xFE, 0xDC, 0xBA, 0x98};
    EXPECT_EQ(LoadU16LE(bytes), 0xDCFE);
    EXPECT_EQ(LoadU16BE(bytes), 0xFEDC);
    EXPECT_EQ(LoadU32LE(bytes), 0x98BADCFEu);
    EXPECT_EQ(LoadU32BE(bytes), 0xFEDCBA98u);
}

TEST_F(StreamReaderTest, ReadSomeAndSpanGiveWhatIsThereAndNoMore) {
    Open({10, 20, 30, 40});
    ASSERT_TRUE(in_.Skip(1));
    std::uint8_t out[8] = {};
    EXPECT_EQ(in_.ReadSome(out, 2), 2);
    EXPECT_EQ(out[1], 30);
    EXPECT_EQ(in_.ReadSome(out, 8), 1);  // the caller zero-fills the rest if it wants to
    EXPECT_EQ(out[0], 40);
    EXPECT_EQ(in_.ReadSome(out, 8), 0);
    ASSERT_TRUE(in_.Seek(2));
    const std::uint8_t* p = nullptr;
    EXPECT_EQ(in_.Span(&p, 100), 2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(in_.Position(), 4);
    EXPECT_EQ(in_.Span(&p, 1), 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(in_.Span(&p, -3), 0);
}

TEST_F(StreamReaderTest, SeeksAndSkipsStayInsideTheData) {
    Open({1, 2, 3});
    EXPECT_TRUE(in_.Seek(3));  // the end itself is a position
    EXPECT_EQ(in_.Remaining(), 0);
    EXPECT_FALSE(in_.Seek(4));
    EXPECT_FALSE(in_.Seek(-1));
    EXPECT_EQ(in_.Position(), 3);
    ASSERT_TRUE(in_.Seek(1));
    EXPECT_FALSE(in_.Skip(3));
    EXPECT_FALSE(in_.Skip(-1));
    EXPECT_EQ(in_.Position(), 1);
    EXPECT_TRUE(in_.Skip(2));
    // A cursor that a stream seek put outside the data reads nothing, in either direction.
    ImageMemStreamSeek(s_, 50, kSeekSet);
    std::uint8_t out[2] = {7, 7};
    EXPECT_EQ(in_.Remaining(), 0);
    EXPECT_EQ(in_.ReadSome(out, 2), 0);
    EXPECT_FALSE(in_.Read(out, 1));
    ImageMemStreamSeek(s_, -10, kSeekSet);
    EXPECT_EQ(in_.Remaining(), 0);
    EXPECT_FALSE(in_.U8(out));
    EXPECT_EQ(out[0], 7);
    EXPECT_TRUE(in_.Seek(0));
    EXPECT_EQ(in_.Size(), 3);
}

TEST(StreamReaderNull, AReaderWithoutAStreamReadsNothing) {
    StreamReader none;
    std::uint8_t b = 0;
    const std::uint8_t* p = &b;
    EXPECT_EQ(none.Size(), 0);
    EXPECT_EQ(none.Remaining(), 0);
    EXPECT_FALSE(none.Seek(0));
    EXPECT_FALSE(none.U8(&b));
    EXPECT_EQ(none.Span(&p, 1), 0);
}

}  // namespace
