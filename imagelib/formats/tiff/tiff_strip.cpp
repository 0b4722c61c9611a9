// One strip decoded by its compression: uncompressed bytes copied, PackBits runs expanded
// a whole run at a time, LZW in tiff_lzw.cpp.
#include "formats/tiff/tiff_strip.h"

#include <algorithm>
#include <cstring>

#include "core/result_codes.h"
#include "formats/tiff/tiff_state.h"

namespace imagelib {
namespace {

constexpr std::int64_t kPackBitsBlock = 128;

}  // namespace

int TiffPackBitsDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected) {
    const std::uint8_t* p = in.bytes;
    const std::uint8_t* const end = in.bytes + in.size;
    std::int64_t out = 0;
    // A run is at most 128 bytes. With room for that many on both sides a run is moved as a
    // whole block of 128 of a fixed size (which the compiler turns into a few wide moves);
    // the bytes past the run are written over by the next ones, and the strip is complete
    // only when every byte of it was written by a run.
    while (expected - out >= kPackBitsBlock + 1 && end - p >= kPackBitsBlock + 1) {
        const auto header = static_cast<std::int8_t>(*p++);
        if (header >= 0) {
            std::memcpy(dst + out, p, kPackBitsBlock);
            p += header + 1;
            out += header + 1;
        } else if (header != -128) {
            std::memset(dst + out, *p++, kPackBitsBlock);
            out += 1 - header;
        }
    }
    while (out < expected) {
        // Data that end before the strip is complete make it unreadable.
        if (p == end)
            return kReadError;
        const auto header = static_cast<std::int8_t>(*p++);
        if (header >= 0) {
            // A literal run: the next header + 1 bytes.
            const std::int64_t n = std::min<std::int64_t>(header + 1, expected - out);
            if (end - p < n)
                return kReadError;
            std::memcpy(dst + out, p, static_cast<std::size_t>(n));
            p += std::min<std::int64_t>(header + 1, end - p);
            out += n;
        } else if (header != -128) {
            // A repeat run: the next byte 1 - header times. -128 is no run at all.
            if (p == end)
                return kReadError;
            const std::int64_t n = std::min<std::int64_t>(1 - header, expected - out);
            std::memset(dst + out, *p++, static_cast<std::size_t>(n));
            out += n;
        }
    }
    return kOk;
}

int TiffDecodeStrip(const TiffStripData& in, std::uint32_t compression, std::uint32_t predictor,
                    std::uint32_t samples, std::int64_t width, std::uint8_t* dst,
                    std::int64_t expected, TiffLzwTables* lzw) {
    switch (compression) {
        case kTiffCompressionNone:
            if (in.size < expected)
                return kReadError;
            std::memcpy(dst, in.bytes, static_cast<std::size_t>(expected));
            return kOk;
        case kTiffCompressionLzw:
            return TiffLzwDecodePredict(in, predictor, samples, width, dst, expected, lzw);
        case kTiffCompressionPackBits:
            return TiffPackBitsDecode(in, dst, expected);
        default:
            return kNotSupported;
    }
}

}  // namespace imagelib
