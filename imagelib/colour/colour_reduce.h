// Colour reduction of 24-bit rows to palette indices, one row per call, and the fixed
// display palettes. Process-wide tables; single-threaded like the rest of the library.
#pragma once

#include <cstdint>

#include "engine/serial_context.h"

namespace imagelib {

// One row of ctx->work into ctx->bits per call: 68 more rows remain, 69 finished (also
// after abort = 1, which frees the reducer's rows), 1 out of memory.
int ImageReduceToDisplay8(SerialImageContext* ctx, int abort);
int ImageReduceToDisplay4(SerialImageContext* ctx, int abort);

// The 7 x 8 x 4 display cube in entries 0..223, grey 128 in 224..255.
void ImageDisplayPalette256(PaletteEntry3* palette);
// map = 0: the 16 fixed display colours; else each of the 16 entries becomes its nearest
// display colour.
void ImageDisplayPalette16(PaletteEntry3* palette, std::uint8_t map);

// The GIF creators' reducers, to 8 bits against the caller palette (installed with
// ImageUserPaletteExchange) or against GifPalette256; same results as above.
int ImageReduceToUserPalette(SerialImageContext* ctx, int abort);
int ImageReduceToFixedPalette(SerialImageContext* ctx, int abort);

// Reduces one row: rowCopy holds width 24-bit pixels (blue, green, red) and room for one
// more, and is changed in place; errors holds (width + 1) x 3 errors (blue, green, red)
// that this row received from the one before and passes on to the next.
using ImageDitherRowFunction = void (*)(std::uint8_t* rowCopy, std::uint8_t* out,
                                        std::int16_t* errors, std::int32_t width,
                                        std::uint32_t flags);
void ImageDitherRow8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags);
void ImageDitherRow4(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags);
void ImageDitherRowUser8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                         std::int32_t width, std::uint32_t flags);
void ImageDitherRowFixed8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                          std::int32_t width, std::uint32_t flags);

// The row driver behind the four reducers, bits = 4 or 8.
int ImageReduceRows(SerialImageContext* ctx, int bits, int abort, ImageDitherRowFunction row);

}  // namespace imagelib
