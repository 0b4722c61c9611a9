// Colour reduction of 24-bit rows to palette indices, one row per call, and the fixed
// display palettes. Process-wide tables; single-threaded like the rest of the library.
#pragma once

#include <cstdint>

#include "core/packed_dib.h"

namespace imagelib {

// What a reduction reads and writes: 24-bit work rows (blue, green, red; each row padded to
// 4 bytes) into result rows of the reducer's depth, row for row.
struct ReduceRows {
    const std::uint8_t* work;
    std::uint8_t* bits;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t flags;  // the load's flags word: the searches' and dithering's bits
    // Each row holds an image half and then its mask half, black where the image is opaque
    // and not black where it is transparent. The image half is reduced on its own, its
    // transparent pixels become the palette's black without taking or passing on any
    // error, and the mask half becomes the palette's black and white.
    bool maskLayout = false;
};

// A reduction under way: the copy of the row being reduced, the errors passed on to the next
// row, and the next row. Idle (nothing allocated) until its first call and after its last.
struct ColourReducer {
    std::uint8_t* rowCopy;
    std::int16_t* errorRows;
    std::int32_t inStride;
    std::int32_t outStride;
    std::int32_t row;
};

// One row of rows.work into rows.bits per call: 68 more rows remain, 69 finished (also
// after abort = 1, which frees the reducer's rows), 1 out of memory or bad rows.
int ImageReduceToDisplay8(ColourReducer* reducer, const ReduceRows& rows, int abort);
int ImageReduceToDisplay4(ColourReducer* reducer, const ReduceRows& rows, int abort);
// The progress of a reduction of height rows: 50 to 100.
std::int32_t ImageReducePercent(const ColourReducer& reducer, std::int32_t height);

// The 7 x 8 x 4 display cube in entries 0..223, grey 128 in 224..255.
void ImageDisplayPalette256(PaletteEntry3* palette);
// map = 0: the 16 fixed display colours; else each of the 16 entries becomes its nearest
// display colour.
void ImageDisplayPalette16(PaletteEntry3* palette, std::uint8_t map);

// The GIF creators' reducers, to 8 bits against the caller palette (installed with
// ImageUserPaletteExchange) or against GifPalette256; same results as above.
int ImageReduceToUserPalette(ColourReducer* reducer, const ReduceRows& rows, int abort);
int ImageReduceToFixedPalette(ColourReducer* reducer, const ReduceRows& rows, int abort);

// Every row at once, to 8 bits against the caller palette (callerPalette) or GifPalette256,
// as the GIF creators reduce their frames: 69, or 1 when the reducer's rows cannot be had.
int ImageReduceToGifPalette(const ReduceRows& rows, bool callerPalette);

// Reduces one row: rowCopy holds width 24-bit pixels (blue, green, red) and room for one
// more, and is changed in place; errors holds (width + 1) x 3 errors (blue, green, red)
// that this row received from the one before and passes on to the next. mask is null, or
// the row's mask half of width 24-bit pixels (black where the image is opaque): then out
// receives width more pixels behind the image's, the mask in the palette's black and
// white, and the image's transparent pixels are black and neither take nor pass on error.
using ImageDitherRowFunction = void (*)(std::uint8_t* rowCopy, std::uint8_t* out,
                                        std::int16_t* errors, std::int32_t width,
                                        std::uint32_t flags, const std::uint8_t* mask);
void ImageDitherRow8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags, const std::uint8_t* mask);
void ImageDitherRow4(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags, const std::uint8_t* mask);
void ImageDitherRowUser8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                         std::int32_t width, std::uint32_t flags, const std::uint8_t* mask);
void ImageDitherRowFixed8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                          std::int32_t width, std::uint32_t flags, const std::uint8_t* mask);

// The row driver behind the four reducers, bits = 4 or 8.
int ImageReduceRows(ColourReducer* reducer, const ReduceRows& rows, int bits, int abort,
                    ImageDitherRowFunction row);

}  // namespace imagelib
