// The BMP driver's private decoding state, kept in the load context's driver area, and
// the view of the result rows that its decoders write through.
#pragma once

#include <cstdint>

#include "core/stream_reader.h"

namespace imagelib {

constexpr std::uint32_t kBmpCompressionNone = 0;
constexpr std::uint32_t kBmpCompressionRle8 = 1;
constexpr std::uint32_t kBmpCompressionRle4 = 2;

struct BmpState {
    std::uint32_t fileHeaderPos;  // stream offset of the "BM" header
    std::uint8_t infoHeader;      // 1: information header, 0: OS/2 core header
    std::uint32_t headerSize;
    std::uint32_t compression;  // 0 for the core header
    std::uint32_t coloursUsed;
    std::uint32_t bitsOffset;  // from the start of the data, also inside a bitmap array
    std::uint8_t topDown;      // the file stores its rows top row first
    std::uint8_t firstCall;    // set by BmpReadPalette, cleared by every decoding call
    std::int64_t x;            // pixel position within the current row (run-length data)
    std::int64_t rowsDone;     // may pass the height after a delta
    std::uint8_t ended;        // the image is complete, or the decoding was abandoned
};

// The result rows: stride bytes per row, height rows, bottom-up, zero when decoding
// starts (the begin step's block is zero-filled), so that skipped and missing pixels are
// index 0. Every write of the decoders stays inside the total bytes.
struct BmpRows {
    std::uint8_t* bits;
    std::int64_t width;
    std::int64_t height;
    std::int64_t stride;
    std::int64_t total;
};

// Decodes run-length data (pixelBits 8: RLE8, 4: RLE4) from the reader's cursor into
// rows until rows done has grown by rowsPerStep or the image has ended. True when it has
// ended: at the end-of-bitmap code, when the rows run out, or when the data runs out.
bool BmpDecodeRle(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits,
                  std::int64_t rowsPerStep);

}  // namespace imagelib
