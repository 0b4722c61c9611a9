// Size arithmetic for everything a file declares: row strides, products of header fields
// and the limits every block and every load stays within. Drivers size their buffers only
// through these functions; none multiplies header fields directly.
#pragma once

#include <cstdint>

#include "imagelib.h"

namespace imagelib {

// One tracked or global block holds at most 2 GiB - 1 bytes (the streams and the blocks
// are addressed with signed 32-bit sizes).
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFFFF;

// Pixels one image may have (width x height of its result rows), so that no declared size
// makes a load allocate or dither more than its data could ever hold.
constexpr std::uint64_t kMaxImagePixels = IMAGELIB_MAX_PIXELS;
// Rows one image may have: every row costs a step of work whatever its width.
constexpr std::uint64_t kMaxImageRows = IMAGELIB_MAX_ROWS;

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

// True when a width x height image is within the pixel and row limits and both are
// positive.
inline bool ImageSizeAllowed(std::uint64_t width, std::uint64_t height) {
    std::uint64_t pixels;
    return width > 0 && height > 0 && height <= kMaxImageRows &&
           CheckedMul(width, height, &pixels) && pixels <= kMaxImagePixels;
}

// Bytes of height rows of width pixels at bits per pixel, or false when the rows pass
// one block.
inline bool RowsBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bits,
                      std::uint64_t* out) {
    return CheckedMul(RowStride(width, bits), height, out) && FitsBlock(*out);
}

}  // namespace imagelib
