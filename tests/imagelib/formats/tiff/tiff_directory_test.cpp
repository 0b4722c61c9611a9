// The TIFF directory reader on files from the recipe script (two directories, a negative
// entry count, values of every type in both byte orders), and the strip decoders on bytes
// that end exactly where their strip ends.
#include "formats/tiff/tiff_directory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/mem_stream.h"
#include "core/tracked_memory.h"
#include "fixture_support.h"
#include "formats/tiff/tiff_codes.h"
#include "formats/tiff/tiff_strip.h"
#include "generated_files_test.h"

namespace {

using namespace imagelib;

// A memory stream over a file's bytes, and the file's first directory opened from it.
struct Opened {
    explicit Opened(const std::vector<std::uint8_t>& bytes, int index = 0)
        : s(ImageMemStreamOpen(nullptr, bytes.data(), std::uint32_t(bytes.size()), L"rb")) {
        TiffFile* raw = nullptr;
        code = TiffOpenDirectory(s, index, &raw);
        file.reset(raw);
    }
    ~Opened() {
        file.reset();
        ImageMemStreamFree(s);
    }
    const TiffEntry* Tag(std::uint16_t tag) const { return TiffFindTag(file->directory, tag); }

    ImageMemStream* s;
    int code;
    TiffFilePtr file;
};

class TiffDirectoryTest : public fixture::GeneratedFilesTest<fixture::kMakeTiff> {
  protected:
    static std::vector<std::uint8_t> Bytes(const std::string& name) {
        return fixture::ReadFile(file(name));
    }
};

TEST_F(TiffDirectoryTest, DirectoriesAreFoundByIndex) {
    const std::vector<std::uint8_t> two = Bytes("dir_two.tif");
    {
        const Opened first(two, 0);
        ASSERT_EQ(first.code, kTiffDirOk);
        EXPECT_EQ(TiffEntryFirstValue(first.Tag(256)), 45);
    }
    {
        const Opened second(two, 1);
        ASSERT_EQ(second.code, kTiffDirOk);
        EXPECT_EQ(TiffEntryFirstValue(second.Tag(256)), 7);
        EXPECT_EQ(TiffEntryFirstValue(second.Tag(257)), 5);
    }
    EXPECT_EQ(Opened(two, 2).code, kTiffDirMissing);
    // Any first two bytes but "MM" are read little-endian; a version other than 42 is refused.
    const Opened xy(Bytes("dir_magic_xy.tif"));
    ASSERT_EQ(xy.code, kTiffDirOk);
    EXPECT_EQ(TiffEntryFirstValue(xy.Tag(256)), 45);
    EXPECT_EQ(Opened(Bytes("version43.tif")).code, kTiffDirBadVersion);
    EXPECT_EQ(Opened(Bytes("entries201.tif")).code, kTiffDirTooManyEntries);
    const Opened full(Bytes("entries200.tif"));
    ASSERT_EQ(full.code, kTiffDirOk);
    EXPECT_EQ(full.file->directory->entryCount, 200);
}

TEST_F(TiffDirectoryTest, ACountOf0x8000OrMoreIsAnEmptyDirectory) {
    const Opened d(Bytes("dir_negative_count.tif"));
    ASSERT_EQ(d.code, kTiffDirOk);
    EXPECT_EQ(d.file->directory->entryCount, 0);
    EXPECT_EQ(TiffTagValue(d.file->directory, 256, -9), -9);
}

TEST_F(TiffDirectoryTest, ValuesOfEveryTypeInBothByteOrders) {
    for (const char* name : {"dir_values_le.tif", "dir_values_be.tif"}) {
        SCOPED_TRACE(name);
        const Opened d(Bytes(name));
        ASSERT_EQ(d.code, kTiffDirOk);
        // A ColorMap of 256 values counted per colour holds 768.
        const TiffEntry* map = d.Tag(320);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->count, 768u);
        EXPECT_EQ(TiffEntryValue(map, 767), 767);
        EXPECT_EQ(TiffEntryValue(map, 768), 0) << "beyond the count";
        EXPECT_EQ(TiffEntryValue(d.Tag(1000), 1), 200);
        EXPECT_EQ(TiffEntryValue(d.Tag(1001), 0), -3);
        EXPECT_EQ(TiffEntryValue(d.Tag(1002), 0), -2);
        EXPECT_EQ(TiffEntryValue(d.Tag(1003), 0), -5);
        EXPECT_EQ(TiffTagValue(d.file->directory, 1004, 9), 0) << "RATIONAL reads as 0";
        EXPECT_EQ(TiffEntryFirstValue(d.Tag(1005)), 0) << "FLOAT is not loaded";
        // Two SHORT values in the value field itself, from its first byte.
        EXPECT_EQ(TiffEntryValue(d.Tag(1006), 0), 11);
        EXPECT_EQ(TiffEntryValue(d.Tag(1006), 1), 12);
        EXPECT_EQ(TiffEntryFirstValue(d.Tag(1007)), 0x12345678);
        // An entry without values, and one whose values lie beyond the data, hold none.
        EXPECT_EQ(d.Tag(1008)->held, 0u);
        EXPECT_EQ(d.Tag(1009)->held, 0u);
        EXPECT_EQ(TiffEntryValue(d.Tag(1009), 4), 0);
        // A private tag is passed over, and the entry after it is read correctly.
        EXPECT_EQ(d.Tag(0x8298)->values, nullptr);
        EXPECT_EQ(TiffEntryFirstValue(d.Tag(1010)), 99);
        EXPECT_EQ(TiffTagValue(d.file->directory, 4242, 17), 17) << "absent: the default";
    }
}

TEST_F(TiffDirectoryTest, ValuesAreReadWhereTheyLieAndNeverPastTheData) {
    // One LONG entry declaring 4 Gi values at the last 6 bytes of the file: two are held,
    // the second cut off after its low half.
    const std::vector<std::uint8_t> bytes = {
        'I',  'I',  42, 0, 8,    0,    0,    0,                  // header, directory at 8
        1,    0,                                                 // one entry
        0xE8, 0x03, 4,  0, 0xFF, 0xFF, 0xFF, 0xFF, 26, 0, 0, 0,  // tag 1000, LONG, offset 26
        0,    0,    0,  0,                                       // no next directory
        1,    0,    0,  0, 2,    3};
    const std::uint64_t before = ImageLiveBytes();
    ImageResetPeakBytes();
    const Opened d(bytes);
    ASSERT_EQ(d.code, kTiffDirOk);
    const TiffEntry* e = d.Tag(1000);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->held, 2u);
    EXPECT_EQ(TiffEntryValue(e, 0), 1);
    EXPECT_EQ(TiffEntryValue(e, 1), 0x0302);
    EXPECT_EQ(TiffEntryValue(e, 2), 0);
    // The directory costs its records and the stream's copy of the data, not the values.
    EXPECT_LE(ImagePeakBytes() - before,
              sizeof(TiffFile) + sizeof(TiffDirectory) + sizeof(ImageMemStream) + bytes.size());
}

// A PackBits strip that is its whole source.
int PackBits(const std::vector<std::uint8_t>& in, std::uint8_t* out, std::int64_t expected) {
    TiffNoOpRuns noOps(in.data(), std::int64_t(in.size()));
    return TiffPackBitsDecode({in.data(), std::int64_t(in.size())}, out, expected, noOps);
}

TEST_F(TiffDirectoryTest, PackBitsStopsAtTheEndOfItsStrip) {
    // Each vector ends exactly where the strip's bytes end: reading on would be caught by
    // the address sanitizer.
    std::vector<std::uint8_t> out(8, 0xEE);
    EXPECT_EQ(PackBits({0x80, 0x80, 0x80}, out.data(), 8), kReadError);
    EXPECT_EQ(PackBits({0xFD, 7, 0x80, 0x01, 1, 2, 0xFF, 9, 0xFE, 5}, out.data(), 8), kOk);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{7, 7, 7, 7, 1, 2, 9, 9}));
    EXPECT_EQ(PackBits({0x05, 1, 2}, out.data(), 8), kReadError);
    EXPECT_EQ(PackBits({0xFE}, out.data(), 8), kReadError);
}

TEST_F(TiffDirectoryTest, LzwEndsAtItsEndCodeAndStopsAtBadData) {
    auto* lzw = static_cast<TiffLzwTables*>(ImageAlloc(sizeof(TiffLzwTables)));
    ASSERT_NE(lzw, nullptr);
    TiffLzwStart(lzw);
    std::vector<std::uint8_t> out(6, 0);
    // 9-bit codes: clear, 'a', 'b', 258 ("ab"), end.
    auto pack = [](const std::vector<std::uint32_t>& codes) {
        std::vector<std::uint8_t> bytes;
        std::uint32_t acc = 0;
        int bits = 0;
        for (std::uint32_t c : codes) {
            acc = acc << 9 | c;
            bits += 9;
            while (bits >= 8) {
                bits -= 8;
                bytes.push_back(std::uint8_t(acc >> bits));
            }
        }
        if (bits > 0)
            bytes.push_back(std::uint8_t(acc << (8 - bits)));
        return bytes;
    };
    const std::vector<std::uint8_t> good = pack({256, 'a', 'b', 258, 257});
    EXPECT_EQ(TiffLzwDecode({good.data(), std::int64_t(good.size())}, out.data(), 4, lzw), kOk);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "abab");
    // The code being made (259), and one beyond it, stand for the previous string plus its
    // first byte.
    for (std::uint32_t code : {259u, 260u}) {
        const std::vector<std::uint8_t> kwk = pack({256, 'a', 'b', code, 257});
        EXPECT_EQ(TiffLzwDecode({kwk.data(), std::int64_t(kwk.size())}, out.data(), 4, lzw), kOk);
        EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "abbb") << code;
    }
    // Data that end before the strip is full leave the rest of it as it was made: zeros,
    // not leftovers of the whole-word string copies.
    std::vector<std::uint8_t> strip(40, 0);
    const std::vector<std::uint8_t> early = pack({256, 'x', 'y', 258, 257});
    EXPECT_EQ(TiffLzwDecode({early.data(), std::int64_t(early.size())}, strip.data(), 32, lzw),
              kOk);
    std::vector<std::uint8_t> want(40, 0);
    std::memcpy(want.data(), "xyxy", 4);
    EXPECT_EQ(strip, want);
    const std::vector<std::uint8_t> noEnd = pack({256, 'a', 'b'});
    EXPECT_EQ(TiffLzwDecode({noEnd.data(), std::int64_t(noEnd.size())}, out.data(), 2, lzw),
              kReadError);
    // A chain that runs in a circle never leaves the stack.
    const std::vector<std::uint8_t> cycle = pack({256, 258, 258, 258, 257});
    EXPECT_EQ(TiffLzwDecode({cycle.data(), std::int64_t(cycle.size())}, out.data(), 6, lzw),
              kTiffBadLzw);
    // Horizontal differencing undone per row of samples x width bytes.
    std::vector<std::uint8_t> rows(6);
    const std::vector<std::uint8_t> diff = pack({256, 10, 1, 1, 20, 255, 255, 257});
    EXPECT_EQ(TiffLzwDecodePredict({diff.data(), std::int64_t(diff.size())}, 2, 1, 3, rows.data(),
                                   6, lzw),
              kOk);
    EXPECT_EQ(rows, (std::vector<std::uint8_t>{10, 11, 12, 20, 19, 18}));
    ImageFree(lzw);
}

}  // namespace
