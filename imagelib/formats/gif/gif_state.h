// The GIF driver's private state, kept in the load context's driver area.
#pragma once

#include <cstdint>

#include "formats/gif/gif_anim.h"
#include "formats/gif/gif_lzw.h"

namespace imagelib {

struct GifState {
    std::uint8_t interlaced;
    std::int32_t colourTableBits;   // 1 to 8: the table holds 1 << bits entries
    std::uint8_t colourTable[768];  // red, green, blue per entry, in the file's order
    GifLzwTables* tables;           // tracked block, from the first decoding call on
    std::uint8_t minCodeSize;
    GifCodeReader reader;
    GifPixelSink sink;
    GifLzwState lzw;
    std::int32_t firstCall;  // set by the palette reader, cleared by every decoding call
    std::int32_t transparencyPresent;
    std::uint8_t transparentIndex;
    std::uint8_t animation;      // the reader walked in animation mode
    GifFrame* frames;            // animation mode: one per image the reader counted
    std::int32_t screenDepth;    // 1, 4 or 8, from the screen descriptor's packed byte
    std::uint8_t framesClaimed;  // the animation loader frees the list, not the abort call
};

// The tables of a load, allocated on first use: false when memory runs out.
bool GifEnsureTables(GifState& st);
void GifFreeTables(GifState& st);

}  // namespace imagelib
