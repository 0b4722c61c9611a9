// GIF's LZW decoding: the variable-width code reader over an image's data sub-blocks, the
// pixel sink that stores decoded indices in bottom-up rows (interlaced row order, image
// and mask halves), and the decoder that joins them. Single mode and the animation decoder
// share all three.
#pragma once

#include <cstdint>

#include "core/stream_reader.h"

namespace imagelib {

constexpr int kLzwMaxCodeWidth = 12;
constexpr std::uint32_t kLzwTableSize = 1u << kLzwMaxCodeWidth;  // 4,096 codes
// The longest string a code can stand for: every entry above the clear code, plus the
// one pixel a code beyond the table adds. One more slot than that is never needed.
constexpr std::uint32_t kLzwStackSize = kLzwTableSize + 1;
// Strings are stored and written in pieces of this many pixels.
constexpr std::uint32_t kLzwPiece = 8;
constexpr std::uint16_t kLzwNoCode = 0xFFFF;  // no further code: the data has ended
constexpr int kLzwMinCodeSize = 2;
constexpr int kLzwMaxCodeSize = 9;

// The string table, allocated once per load. A string is cut into pieces of kLzwPiece
// pixels from its start; an entry keeps its last piece (whole or partial, unused bytes
// zero) and the code of the string before that piece, so writing a string of n pixels
// takes n / 8 steps, not n. A code below the clear code is the one pixel it names.
struct GifLzwTables {
    alignas(8) std::uint8_t piece[kLzwTableSize][kLzwPiece];
    std::uint16_t prefix[kLzwTableSize];  // the string before the last piece (if any)
    std::uint16_t length[kLzwTableSize];  // pixels in the entry's string
    std::uint8_t first[kLzwTableSize];    // the string's first pixel
    // A string that does not fit the current row is built here, with room for the zero
    // bytes a last partial piece writes past its end.
    std::uint8_t stack[kLzwStackSize + kLzwPiece];
};

// Codes from the data sub-blocks, least significant bit first. The sub-block in hand is a
// span of the stream; bits not yet taken wait in a 64-bit accumulator.
struct GifCodeReader {
    StreamReader stream;
    const std::uint8_t* block;  // next byte of the current sub-block
    std::int32_t blockLeft;     // bytes of it not yet taken
    std::uint64_t bits;
    std::int32_t bitCount;
    std::uint8_t ended;  // the terminator, a short sub-block or the data's end was met
    std::int32_t codeWidth;
    std::uint32_t codeMask;
};

// Where decoded indices go: height rows of width pixels, the top row at the top of a
// bottom-up bitmap; with a mask half each row holds the image, then its mask, halfWidth on.
// No palette index: an int32 field that holds it matches no pixel.
constexpr std::int32_t kGifNoIndex = -1;

struct GifPixelSink {
    std::uint8_t* bits;  // the bottom row in memory
    std::int64_t stride;
    std::int32_t width;  // pixels per row (of the image half)
    std::int32_t height;
    std::int32_t column;
    std::int32_t row;       // counted from the top
    std::int32_t rowsDone;  // rows completed, in any order
    std::int32_t pass;      // interlace pass, 0 to 3
    std::uint8_t interlaced;
    std::uint8_t maskMode;
    std::uint8_t transparentIndex;
    std::uint8_t imageKey;  // black: the image half's transparent pixels, the mask's opaque ones
    std::uint8_t maskKey;   // white: the mask half's transparent pixels
    std::int32_t shownAsBlack;  // an entry whose opaque pixels show the black key, or kGifNoIndex
    std::int32_t halfWidth;
};

struct GifLzwState {
    std::uint16_t clearCode;
    std::uint16_t endCode;
    std::uint16_t firstFree;
    std::uint16_t nextCode;
    std::int32_t initialCodeWidth;
    std::uint32_t widthLimit;
    std::uint16_t oldCode;  // the code of the last string output
    std::uint8_t tableFull;
    std::uint8_t afterClear;  // the next pixel code starts a new table
};

// A reader at the stream's cursor (the first sub-block's length byte) for codes of
// minimum code size + 1 bits.
void GifStartReader(GifCodeReader& r, ImageMemStream* s, int minCodeSize);
// Fills the accumulator to at least 57 bits, or as far as the data goes.
void GifRefillCodes(GifCodeReader& r);
// The next code, or kLzwNoCode when the data has ended (a code cut off by the data's end
// is no code). Inline: it runs once per code.
inline std::uint16_t GifReadCode(GifCodeReader& r) {
    if (r.bitCount < r.codeWidth) {
        GifRefillCodes(r);
        if (r.bitCount < r.codeWidth)
            return kLzwNoCode;
    }
    const auto code = static_cast<std::uint16_t>(r.bits & r.codeMask);
    r.bits >>= r.codeWidth;
    r.bitCount -= r.codeWidth;
    return code;
}

// A sink at the top-left pixel of rows of stride bytes. The rows must start zeroed (both
// callers hand fresh zero-filled memory): a string written in place may store zeros up to
// 7 pixels past its end within its row, where later strings go.
void GifStartSink(GifPixelSink& sink, std::uint8_t* bits, std::int64_t stride, std::int32_t width,
                  std::int32_t height, bool interlaced);
// Stores one pixel and moves on; nothing once every row is written.
void GifPutPixel(std::uint8_t index, GifPixelSink& sink);
// In mask mode, shows every pixel not yet written as a transparent one: data that end
// before the image leave the rest of it transparent. Plain indices keep their zeros.
void GifSinkFillTransparent(GifPixelSink& sink);
// True once every row has been written (at once for an empty image).
inline bool GifSinkComplete(const GifPixelSink& sink) {
    return sink.width <= 0 || sink.rowsDone >= sink.height;
}

// Sets up the decoder for a new image (fresh table, no previous string).
void GifStartLzw(GifLzwState& lzw, GifLzwTables& t, int minCodeSize);
// Decodes until the sink has completed untilRows rows (at least one code is read), the
// image's rows are all written, or the data ends. True when the image is done: the end
// code, the data's end, or every row written.
bool GifDecodeLzw(GifLzwState& lzw, GifLzwTables& t, GifCodeReader& r, GifPixelSink& sink,
                  std::int64_t untilRows);

}  // namespace imagelib
