// The library's result blocks: a packed DIB (a BITMAPINFOHEADER, 256 colour-table entries,
// then the rows bottom-up) and a logical palette. Every block of either kind is laid out
// here and nowhere else.
#pragma once

#include <cstdint>

#include "win32/types.h"

namespace imagelib {

// One colour of an image's palette, in the order of the files.
struct PaletteEntry3 {
    std::uint8_t red, green, blue;
};

// Offset of the rows in a packed DIB: the header and 256 colour-table entries.
constexpr std::uint32_t kPackedDibRowsOffset = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
// A LOGPALETTE of 256 entries (1028 bytes), in a block of 1032 as callers have always had.
constexpr std::uint32_t kLogPaletteBytes = 1032;

// The header of a packed DIB: biSize 40, one plane, the rest of the fields left alone.
void WritePackedDibHeader(std::uint8_t* dib, std::int64_t width, std::int64_t height,
                          std::int32_t bitsPerPixel, std::uint64_t sizeImage);
// The first n colours into the DIB's colour table.
void WriteColourTable(std::uint8_t* dib, const PaletteEntry3* colours, std::int32_t n);
// Entry i of the DIB's colour table and of the logical palette.
void WritePaletteEntry(std::uint8_t* dib, std::uint8_t* logPalette, std::int32_t i,
                       const PaletteEntry3& colour);
// The first n colours into the colour table and the logical palette, with its version and
// entry count.
void WriteColourTables(std::uint8_t* dib, std::uint8_t* logPalette, const PaletteEntry3* colours,
                       std::int32_t n);

}  // namespace imagelib
