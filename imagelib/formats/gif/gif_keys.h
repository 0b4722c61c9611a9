// The key colours of the image-and-mask layout: the image half shows transparent pixels
// in a black entry, the mask half shows them in a white one and every other pixel in the
// black one. Both are found in, or added to, the colour table.
#pragma once

#include <cstdint>

#include "engine/serial_context.h"

namespace imagelib {

struct GifKeyChoice {
    std::uint8_t imageKey;    // black
    std::uint8_t maskKey;     // white
    bool noWhite;             // no entry could be made white: the mask half needs cleaning
    bool blackAppended;       // black was added at index n, behind the table
    std::int32_t changed[3];  // entries whose colour was set, in order
    std::int32_t changedCount;
};

// Chooses the keys for a table of n entries (1 << bits) in palette, which has 256 entries
// (grey or black beyond the table), transparent index t; sets the colours it needs.
GifKeyChoice GifChooseKeys(PaletteEntry3* palette, std::int32_t n, std::uint8_t t);

}  // namespace imagelib
