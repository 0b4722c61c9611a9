// The fixed palettes of the colour reducers and the nearest-colour searches over them:
// the 16-colour display palette, the fixed 256-colour palette of the GIF creators, and the
// caller palette that the GIF creators install. Entries are red, green, blue.
#pragma once

#include <array>
#include <cstdint>

#include "core/packed_dib.h"

namespace imagelib {

constexpr int kDisplayColorCount = 16;
constexpr int kFullPaletteCount = 256;

using Palette16 = std::array<PaletteEntry3, kDisplayColorCount>;
using Palette256 = std::array<PaletteEntry3, kFullPaletteCount>;

extern const Palette16 DisplayColors16;
extern const Palette256 GifPalette256;
// The caller palette; GifPalette256's colours until the first installation.
extern Palette256 UserPalette;

// Nearest entry by squared distance; a tie keeps the earlier entry. first > last gives 0;
// first and last are kept within the palette.
int ImageNearestColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int first,
                        int last, int noGreyWeighting);
int ImageNearestColor256(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int first,
                         int last);
int ImageNearestUserColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The searches as the row functions call them, with the flags word.
int ImageMatchColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint32_t flags);
int ImageMatchColor256(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                       std::uint32_t flags);
int ImageMatchUserColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        std::uint32_t flags);

// The 256 colours of GifPalette256 into palette.
void ImageFixedPalette256(PaletteEntry3* palette);
// With store != 0, palette's 256 colours become the caller palette.
void ImageUserPaletteExchange(const PaletteEntry3* palette, std::uint8_t store);

// The palette GIF frames are reduced to, into palette: the caller's 256 colours (blue,
// green, red quads), installed as the caller palette, or GifPalette256 when there are none.
void ImageChooseGifPalette(const RGBQUAD* callerColours, PaletteEntry3* palette);

// Test hook: the caller palette back to its first contents.
void ImageUserPaletteReset();

}  // namespace imagelib
