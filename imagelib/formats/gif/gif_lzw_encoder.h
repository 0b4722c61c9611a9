// The GIF writers' LZW encoder: codes packed least significant bit first into data
// sub-blocks of up to 255 bytes, strings found through a hashed slot table over one store.
#pragma once

#include <cstdint>
#include <cstdio>

namespace imagelib {

// Bytes of data in one full sub-block, and the bits they hold.
constexpr int kGifSubBlockBytes = 255;
constexpr std::int32_t kGifSubBlockBits = kGifSubBlockBytes * 8;

// The output state of one image's codes.
struct GifCodeWriter {
    std::FILE* file;
    std::int32_t bitPosition;  // bits used in buffer
    std::int32_t codeWidth;    // width of the next code, 3 to 12
    // The sub-block being filled, and two bytes for the bits spilling over its end.
    std::uint8_t buffer[kGifSubBlockBytes + 2];
};

// Appends one code; a full sub-block is written out. False on a short write.
bool GifPutCode(std::uint16_t code, GifCodeWriter* writer);
// Writes the partly filled sub-block, if any, and the block terminator. False on a short
// write.
bool GifFlushCodes(GifCodeWriter* writer);

// The pixels of one image: rows bottom-up (the first row in memory is the bottom row) of
// stride bytes, bitsPerPixel 1, 4 or 8, most significant pixel first within a byte.
struct GifPixelRows {
    const std::uint8_t* rows;
    std::uint32_t width;
    std::uint32_t height;
    std::uint64_t stride;
    int bitsPerPixel;
};

// Writes the minimum code size byte and the LZW data of the image, top row first, with
// the block terminator. 0, 1 when the encoder's tables cannot be allocated, or 8 on a
// short write.
int GifEncodeImage(std::FILE* file, const GifPixelRows& image);

}  // namespace imagelib
