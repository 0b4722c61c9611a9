// Reading and writing one pixel of a packed row, as bitmaps and DIBs both store them.
#pragma once

#include <array>
#include <vector>

#include "gdi_internal.h"

namespace win32gdi {

// A row format: 1, 4 and 8 bits are indexes into colours (most significant bits first),
// 16 bits are 5-6-5 red-green-blue in a little-endian word, 24 bits blue, green, red,
// 32 bits blue, green, red and an unused byte.
class PixelFormat {
  public:
    PixelFormat(int bits, std::vector<Rgb> colours);

    // An index beyond the colours reads as black.
    Rgb Read(const BYTE* row, LONG x) const;
    // An indexed format stores the nearest of its colours (the lowest index among equals).
    void Write(BYTE* row, LONG x, Rgb colour);

  private:
    BYTE Nearest(Rgb colour);

    int bits_;
    std::vector<Rgb> colours_;
    // Nearest indexes of recently seen colours, so that a true-colour source is not
    // searched against the whole table for every pixel.
    static constexpr std::size_t kCacheSize = 4096;
    std::vector<std::uint32_t> cachedColour_;  // colour | kCached, or 0 for an empty slot
    std::vector<BYTE> cachedIndex_;
};

}  // namespace win32gdi
