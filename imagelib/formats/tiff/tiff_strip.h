// TIFF strip decoders: uncompressed, LZW (with horizontal differencing undone) and
// PackBits. Each reads only its strip's bytes and writes at most the expected count.
#pragma once

#include <cstdint>

namespace imagelib {

// The bytes of one strip: from its offset to its byte count's end or to the end of the
// data, whichever comes first; empty for an offset outside the data.
struct TiffStripData {
    const std::uint8_t* bytes;
    std::int64_t size;
};

constexpr std::uint32_t kTiffLzwTableSize = 4096;
constexpr std::uint32_t kTiffLzwStackSize = 4097;

// The LZW decoder's tables, allocated once per image (TiffLzwStart). Beside the prefix and
// suffix of each code, a code whose string is known keeps a word: a string of up to 7
// bytes itself, a longer one by where it lies whole in earlier output and its length (0
// when not known), so that it is stored or copied, not walked. Entries the current strip
// has not made yet read as 0 (see TiffLzwDecode), so every strip starts from empty tables
// without clearing them.
struct TiffLzwTables {
    std::uint64_t word[kTiffLzwTableSize];
    std::uint16_t prefix[kTiffLzwTableSize];
    std::uint8_t suffix[kTiffLzwTableSize];
    std::uint8_t stack[kTiffLzwStackSize];
};

// Sets up fresh tables: the 256 single-byte strings.
void TiffLzwStart(TiffLzwTables* lzw);

// The strip's data decoded by compression into expected bytes at dst: 0, 2 for an
// unknown compression, 7 for data that end too soon, 818 for corrupt LZW data. samples
// and width give the rows that a predictor works on.
int TiffDecodeStrip(const TiffStripData& in, std::uint32_t compression, std::uint32_t predictor,
                    std::uint32_t samples, std::int64_t width, std::uint8_t* dst,
                    std::int64_t expected, TiffLzwTables* lzw);

int TiffLzwDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                  TiffLzwTables* lzw);
int TiffLzwDecodePredict(const TiffStripData& in, std::uint32_t predictor, std::uint32_t samples,
                         std::int64_t width, std::uint8_t* dst, std::int64_t expected,
                         TiffLzwTables* lzw);
int TiffPackBitsDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected);

}  // namespace imagelib
