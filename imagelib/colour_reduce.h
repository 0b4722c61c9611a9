// Colour reduction of 24-bit rows to palette indices, one row per call, and the fixed
// display palettes. Process-wide tables; single-threaded like the rest of the library.
#pragma once

#include <cstdint>

#include "serial_context.h"

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

}  // namespace imagelib
