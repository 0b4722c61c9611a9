// The library's own inflater: a zlib stream (RFC 1950) of DEFLATE data (RFC 1951), read
// from the spans it lies in, decoded in one call, the bytes handed on in order as they
// come out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imagelib {

// Receives the inflated bytes, in order, a span at a time.
struct PngInflateSink {
    void* target;
    void (*put)(void* target, const std::uint8_t* bytes, std::size_t n);
};

// Hands out the compressed data a span at a time, in order: true with the next span
// (possibly empty), false when there is no more. A span stays readable until the
// inflater returns.
struct PngInflateSource {
    void* origin;
    bool (*next)(void* origin, const std::uint8_t** bytes, std::uint64_t* n);
};

enum class PngInflateResult {
    kOk,
    kBadData,   // not a DEFLATE zlib stream, corrupt, or cut short
    kNoMemory,  // the window or the tables cannot be allocated
};

// Inflates the zlib stream that the source hands out. The header's method must be 8 and
// its window no larger than 32 KiB (CINFO 7); its check bits, a preset-dictionary flag and
// the Adler-32 after the last block are not looked at. Codes that are no prefix code,
// symbols beyond the alphabets, back-references before the first byte produced, stored
// blocks whose lengths disagree and data that end before the last block are refused. On
// success *consumed (if given) holds the bytes up to the end of the last block.
PngInflateResult PngInflate(const PngInflateSource& source, const PngInflateSink& sink,
                            std::uint64_t* consumed);
// The same for a stream held in one buffer.
PngInflateResult PngInflate(const std::uint8_t* data, std::uint64_t size,
                            const PngInflateSink& sink, std::uint64_t* consumed);

}  // namespace imagelib
