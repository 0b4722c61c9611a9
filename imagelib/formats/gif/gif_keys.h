// The key colours of the image-and-mask layout: the image half shows transparent pixels
// in a black entry, the mask half shows them in a white one and every other pixel in the
// black one. Both are found in, or added to, the colour table.
#pragma once

#include <cstdint>

#include "engine/serial_context.h"
#include "formats/gif/gif_lzw.h"

namespace imagelib {

struct GifKeyChoice {
    std::uint8_t imageKey;    // black
    std::uint8_t maskKey;     // white
    bool noWhite;             // no entry could be made white: the mask half needs cleaning
    bool blackAppended;       // black was added at index n, behind the table
    bool maskKeyWasBlack;     // the white key is a second black entry made white
    std::int32_t changed[3];  // entries whose colour was set, in order
    std::int32_t changedCount;
};

// Chooses the keys for a table of n entries (1 << bits) in palette, which has 256 entries
// (grey or black beyond the table), transparent index t; sets the colours it needs.
GifKeyChoice GifChooseKeys(PaletteEntry3* palette, std::int32_t n, std::uint8_t t);

// Puts the sink into the image-and-mask layout with the chosen keys and transparent index t.
void GifSinkTakeKeys(GifPixelSink& sink, const GifKeyChoice& keys, std::uint8_t t);

// The rows of one decoded 8-bit frame in the image-and-mask layout: height rows of stride
// bytes, each with width image pixels, then width mask pixels.
struct GifMaskRows {
    std::uint8_t* bits;
    std::int64_t stride;
    std::int32_t width;
    std::int32_t height;
};

// Gives a decoded frame whose mask key did not end white a white one among its 256
// entries, so that its rows stay 8-bit: an entry the image half does not show (the
// transparent one, unless it is the black key) turns white and the mask's transparent
// pixels take it. When the image half shows every entry, its rarest colour gives way to
// its nearest one. The entry made white, whose colour the caller copies into its tables,
// or -1 when the mask key is white already.
std::int32_t GifWhitenMaskKey(PaletteEntry3* palette, const GifMaskRows& rows,
                              const GifKeyChoice& keys, std::uint8_t t);

}  // namespace imagelib
