// One strip decoded by its compression: uncompressed bytes copied, PackBits runs expanded
// a whole run at a time, LZW in tiff_lzw.cpp; whole, or a window at a time.
#include "formats/tiff/tiff_strip.h"

#include <algorithm>
#include <cstring>

#include "core/result_codes.h"
#include "formats/tiff/tiff_state.h"

namespace imagelib {
namespace {

constexpr std::int64_t kPackBitsBlock = 128;
// Bytes of earlier output an LZW window keeps when it moves on: table strings that lie in
// them stay known and are copied, not walked.
constexpr std::int64_t kLzwHistory = 64 * 1024;

int LzwPieces(const TiffStripData& in, std::int64_t expected, TiffLzwTables* lzw,
              std::uint8_t* window, TiffStripSink& sink) {
    TiffLzwRun r = TiffLzwBegin(in);
    std::int64_t base = 0;   // the strip offset of the window's first byte
    std::int64_t given = 0;  // the strip bytes handed to the sink
    for (;;) {
        const bool last = expected - base <= kTiffWindowBytes;
        const std::int64_t limit = last ? expected - base : kTiffWindowBytes;
        const int result = TiffLzwDecodeRun(r, lzw, window, limit, last);
        if (result != kOk && result != kTiffLzwWindowFull)
            return result;
        const std::int64_t made = base + r.out - given;
        if (made > 0)
            sink.Take(window + (given - base), made);
        given += std::max<std::int64_t>(made, 0);
        if (result == kOk) {
            if (given < expected)
                sink.TakeZeros(expected - given);
            return kOk;
        }
        // The previous string must stay: the next code may repeat it.
        const std::int64_t shift =
            std::min(r.prevPos, std::max<std::int64_t>(r.out - kLzwHistory, 0));
        std::memmove(window, window + shift, static_cast<std::size_t>(r.out - shift));
        TiffLzwShift(r, lzw, shift);
        base += shift;
    }
}

}  // namespace

int TiffPackBitsDecodeRun(TiffPackBitsRun& r, std::uint8_t* dst, std::int64_t limit) {
    const std::uint8_t* p = r.p;
    const std::uint8_t* const end = r.end;
    std::int64_t out = 0;
    // What is left of a run that the last piece cut.
    if (r.copyLeft > 0) {
        const std::int64_t n = std::min(r.copyLeft, limit);
        if (end - p < n)
            return kReadError;
        std::memcpy(dst, p, static_cast<std::size_t>(n));
        p += n;
        out += n;
        r.copyLeft -= n;
    }
    if (r.fillLeft > 0 && out < limit) {
        const std::int64_t n = std::min(r.fillLeft, limit - out);
        std::memset(dst + out, r.fill, static_cast<std::size_t>(n));
        out += n;
        r.fillLeft -= n;
    }
    // A run is at most 128 bytes. With room for that many on both sides a run is moved as a
    // whole block of 128 of a fixed size (which the compiler turns into a few wide moves);
    // the bytes past the run are written over by the next ones, and the piece is complete
    // only when every byte of it was written by a run.
    while (limit - out >= kPackBitsBlock + 1 && end - p >= kPackBitsBlock + 1) {
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
    while (out < limit) {
        // Data that end before the strip is complete make it unreadable.
        if (p == end)
            return kReadError;
        const auto header = static_cast<std::int8_t>(*p++);
        if (header >= 0) {
            // A literal run: the next header + 1 bytes.
            const std::int64_t n = std::min<std::int64_t>(header + 1, limit - out);
            if (end - p < n)
                return kReadError;
            std::memcpy(dst + out, p, static_cast<std::size_t>(n));
            p += n;
            out += n;
            r.copyLeft = header + 1 - n;
        } else if (header != -128) {
            // A repeat run: the next byte 1 - header times. -128 is no run at all.
            if (p == end)
                return kReadError;
            r.fill = *p++;
            const std::int64_t n = std::min<std::int64_t>(1 - header, limit - out);
            std::memset(dst + out, r.fill, static_cast<std::size_t>(n));
            out += n;
            r.fillLeft = 1 - header - n;
        }
    }
    r.p = p;
    return kOk;
}

int TiffPackBitsDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected) {
    TiffPackBitsRun r{in.bytes, in.bytes + in.size, 0, 0, 0};
    // What is left of the last run once the strip is complete is not stored.
    return TiffPackBitsDecodeRun(r, dst, expected);
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

int TiffDecodeStripPieces(const TiffStripData& in, std::uint32_t compression, std::int64_t expected,
                          TiffLzwTables* lzw, std::uint8_t* window, TiffStripSink& sink) {
    switch (compression) {
        case kTiffCompressionNone:
            // The data are handed over where they lie.
            if (in.size < expected)
                return kReadError;
            sink.Take(in.bytes, expected);
            return kOk;
        case kTiffCompressionPackBits: {
            TiffPackBitsRun r{in.bytes, in.bytes + in.size, 0, 0, 0};
            for (std::int64_t done = 0; done < expected;) {
                const std::int64_t n = std::min(kTiffWindowBytes, expected - done);
                const int result = TiffPackBitsDecodeRun(r, window, n);
                if (result != kOk)
                    return result;
                sink.Take(window, n);
                done += n;
            }
            return kOk;
        }
        case kTiffCompressionLzw:
            return LzwPieces(in, expected, lzw, window, sink);
        default:
            return kNotSupported;
    }
}

}  // namespace imagelib
