// Size arithmetic for everything a file declares: row strides, products of header fields
// and the limits every block and every load stays within. Drivers size their buffers only
// through these functions; none multiplies header fields directly.
#pragma once

#include <cstdint>

#include "core/packed_dib.h"
#include "imagelib.h"

namespace imagelib {

// One tracked or global block holds at most 2 GiB - 1 bytes (the streams and the blocks
// are addressed with signed 32-bit sizes).
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFFFF;

static_assert(kMaxBlockBytes == IMAGELIB_MAX_BLOCK_BYTES, "the public header says otherwise");

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// The fuzzers' bound: no input of 64 KiB or less may need more than 10 s or 2 GiB, so a
// fuzz build refuses images beyond 16 Mi pixels or 1 Mi rows (a few bytes can declare any
// size, and a large image costs seconds under the sanitizers).
constexpr std::uint64_t kMaxImagePixels = 16 * 1024 * 1024;
constexpr std::uint64_t kMaxImageRows = 1024 * 1024;
#else
// Real pictures load whatever their size: what bounds an image is that its rows fit one
// block (checked by every driver when it sizes them), not its pixel or row count.
constexpr std::uint64_t kMaxImagePixels = kMaxBlockBytes;
constexpr std::uint64_t kMaxImageRows = kMaxBlockBytes;
#endif

// Bytes of one stored DIB row: width pixels of bits each, padded to 4 bytes.
// width and bits are at most 32-bit values, so the product cannot overflow 64 bits.
inline std::uint64_t RowStride(std::uint64_t width, std::uint64_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// Bytes of one 24-bit work row: ((width + 1) * 3) & ~3, the 24-bit DIB stride.
inline std::uint64_t WorkStride24(std::uint64_t width) {
    return ((width + 1) * 3) & ~std::uint64_t{3};
}

// a * b, or false when it passes 64 bits.
inline bool CheckedMul(std::uint64_t a, std::uint64_t b, std::uint64_t* out) {
    return !__builtin_mul_overflow(a, b, out);
}

// a * b + c, or false when it passes 64 bits.
inline bool CheckedMulAdd(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t* out) {
    std::uint64_t p;
    return CheckedMul(a, b, &p) && !__builtin_add_overflow(p, c, out);
}

// True when bytes fit one block.
inline bool FitsBlock(std::uint64_t bytes) {
    return bytes <= kMaxBlockBytes;
}

// True when a width x height image is positive, within the pixel and row limits, and its
// 24-bit rows with the DIB's header and colour table fit one block.
inline bool ImageSizeAllowed(std::uint64_t width, std::uint64_t height) {
    std::uint64_t pixels;
    std::uint64_t rows;
    return width > 0 && height > 0 && height <= kMaxImageRows &&
           CheckedMul(width, height, &pixels) && pixels <= kMaxImagePixels &&
           CheckedMulAdd(WorkStride24(width), height, kPackedDibRowsOffset, &rows) &&
           FitsBlock(rows);
}

// Bytes of height rows of width pixels at bits per pixel, or false when the rows pass
// one block.
inline bool RowsBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bits,
                      std::uint64_t* out) {
    return CheckedMul(RowStride(width, bits), height, out) && FitsBlock(*out);
}

}  // namespace imagelib
