// Memory streams: sources read whole or not at all, reads that never leave the data.
#include "core/mem_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "win32/global_memory.h"

using namespace imagelib;

namespace {

ImageMemStream* FromBytes(const std::vector<std::uint8_t>& bytes) {
    return ImageMemStreamOpen(nullptr, bytes.data(), std::uint32_t(bytes.size()), L"rb");
}

TEST(MemStream, AFileIsReadWholeAndABufferWithALengthIsCopiedInstead) {
    fixture::TempDir dir;
    std::vector<std::uint8_t> bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::uint8_t(i % 251);
    // A name outside ASCII reaches the file system as UTF-8.
    ASSERT_TRUE(fixture::WriteFile(dir.file("data \xC3\xA9\xE2\x82\xAC.bin"), bytes));
    const std::wstring wide = fixture::Wide(dir.path()) + L"/data \u00E9\u20AC.bin";
    const std::uint8_t other[3] = {1, 2, 3};
    ImageMemStream* fromFile = ImageMemStreamOpen(wide.c_str(), nullptr, 0, L"rb");
    ImageMemStream* zeroLength = ImageMemStreamOpen(wide.c_str(), other, 0, L"rb");
    ImageMemStream* fromBuffer = ImageMemStreamOpen(L"/no/such/file", other, 3, L"rb");
    ASSERT_TRUE(fromFile != nullptr && zeroLength != nullptr && fromBuffer != nullptr);
    EXPECT_EQ(fromFile->size, 200000);
    EXPECT_EQ(std::memcmp(fromFile->base, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(ImageMemStreamTell(fromFile), 0);
    EXPECT_EQ(zeroLength->size, 200000);  // a buffer of length 0 is no source
    EXPECT_EQ(fromBuffer->size, 3);
    EXPECT_NE(fromBuffer->base, other);
    EXPECT_EQ(fromBuffer->base[2], 3);
    for (ImageMemStream* s : {fromFile, zeroLength, fromBuffer})
        EXPECT_EQ(ImageMemStreamFree(s), 0);
}

TEST(MemStream, SourcesThatCannotBeReadWholeGiveNullAndLeaveNothing) {
    fixture::TempDir dir;
    const std::string empty = dir.file("empty.bin"), data = dir.file("data.bin");
    ASSERT_TRUE(fixture::WriteFile(empty, {}));
    ASSERT_TRUE(fixture::WriteFile(data, std::vector<std::uint8_t>(10, 7)));
    const std::uint32_t blocks = ImageLiveBlockCount();
    for (const std::string& path : {empty, dir.file("missing"), dir.path()})
        EXPECT_EQ(ImageMemStreamOpen(fixture::Wide(path).c_str(), nullptr, 0, L"rb"), nullptr);
    EXPECT_EQ(ImageMemStreamOpen(nullptr, nullptr, 0, L"rb"), nullptr);
    for (std::uint32_t failing : {1u, 2u}) {  // the record, then the data block
        Win32FailGlobalAllocAfter(failing);
        EXPECT_EQ(ImageMemStreamOpen(fixture::Wide(data).c_str(), nullptr, 0, L"rb"), nullptr);
    }
    Win32FailGlobalAllocAfter(0);
    // Why: a source that is not there is 3; memory that runs out while copying it is 1.
    int code = 0;
    EXPECT_EQ(ImageMemStreamOpenSource(fixture::Wide(dir.file("missing")).c_str(), nullptr, 0,
                                       L"rb", &code),
              nullptr);
    EXPECT_EQ(code, 3);
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    for (std::uint32_t failing : {1u, 2u}) {
        Win32FailGlobalAllocAfter(failing);
        EXPECT_EQ(ImageMemStreamOpenSource(nullptr, bytes, 4, L"rb", &code), nullptr);
        EXPECT_EQ(code, 1);
        Win32FailGlobalAllocAfter(failing);
        EXPECT_EQ(ImageMemStreamOpenSource(fixture::Wide(data).c_str(), nullptr, 0, L"rb", &code),
                  nullptr);
        EXPECT_EQ(code, 1);
    }
    Win32FailGlobalAllocAfter(0);
    ImageMemStream* s = ImageMemStreamOpenSource(nullptr, bytes, 4, L"rb", &code);
    EXPECT_EQ(code, 0);
    ImageMemStreamFree(s);
    EXPECT_EQ(ImageLiveBlockCount(), blocks);
}

TEST(MemStream, ReadsStopAtTheEndAndCursorsPastEitherEndReadNothing) {
    ImageMemStream* s = FromBytes({10, 20, 30});
    ASSERT_NE(s, nullptr);
    std::uint8_t out[8] = {};
    EXPECT_EQ(ImageMemStreamRead(out, 1, 4, s), 3);
    EXPECT_EQ(out[2], 30);
    EXPECT_EQ(ImageMemStreamTell(s), 3);
    EXPECT_EQ(ImageMemStreamRead(out, 1, 4, s), 0);
    ImageMemStreamSeek(s, 0, kSeekSet);
    EXPECT_EQ(ImageMemStreamRead(out, 2, 2, s), 1);  // a partial element is not counted

    ImageMemStreamSeek(s, 13, kSeekSet);  // 10 bytes past the end: the cursor comes back
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(ImageMemStreamRead(out, 1, 4, s), -10);
    EXPECT_EQ(ImageMemStreamTell(s), 3);
    ImageMemStreamSeek(s, -5, kSeekCur);  // before the start
    EXPECT_EQ(ImageMemStreamRead(out, 1, 4, s), 0);
    EXPECT_EQ(ImageMemStreamTell(s), -2);
    EXPECT_EQ(out[0], 0x55);
    // Seeks past the 32-bit range stop at its edge: no position wraps back into the data.
    ImageMemStreamSeek(s, INT32_MAX, kSeekSet);
    ImageMemStreamSeek(s, INT32_MAX, kSeekCur);
    EXPECT_EQ(ImageMemStreamTell(s), INT32_MAX);
    EXPECT_LT(ImageMemStreamRead(out, 1, 4, s), 0);
    EXPECT_EQ(out[0], 0x55);

    ImageMemStreamSeek(s, 1, kSeekSet);
    EXPECT_EQ(ImageMemStreamRead(out, 0, 4, s), 0);            // elements of no size
    EXPECT_EQ(ImageMemStreamRead(out, 1, 0xFFFFFFFFu, s), 2);  // the product needs 64 bits
    EXPECT_EQ(ImageMemStreamSeek(s, 0, 2), -1);                // no such origin
    ImageMemStreamFree(s);
    EXPECT_EQ(ImageMemStreamRead(out, 1, 4, nullptr), -1);
    EXPECT_EQ(ImageMemStreamTell(nullptr), -1);
}

}  // namespace
