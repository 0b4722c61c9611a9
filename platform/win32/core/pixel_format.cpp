// Pixel access for the row formats of bitmaps and DIBs.
#include "pixel_format.h"

#include <utility>

namespace win32gdi {

namespace {

constexpr std::uint32_t kCached = 0x1000000;

std::uint32_t Key(Rgb c) {
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

// 5- and 6-bit channels widen by repeating their top bits, so black and white stay exact.
BYTE Widen5(unsigned v) {
    return BYTE(v << 3 | v >> 2);
}
BYTE Widen6(unsigned v) {
    return BYTE(v << 2 | v >> 4);
}

}  // namespace

PixelFormat::PixelFormat(int bits, std::vector<Rgb> colours)
    : bits_(bits), colours_(std::move(colours)) {
    if (bits_ <= 8) {
        cachedColour_.assign(kCacheSize, 0);
        cachedIndex_.assign(kCacheSize, 0);
    }
}

Rgb PixelFormat::Read(const BYTE* row, LONG x) const {
    const std::size_t ux = std::size_t(x);
    unsigned index;
    switch (bits_) {
        case 1:
            index = row[ux / 8] >> (7 - ux % 8) & 1;
            break;
        case 4:
            index = ux % 2 == 0 ? row[ux / 2] >> 4 : row[ux / 2] & 0x0F;
            break;
        case 8:
            index = row[ux];
            break;
        case 16: {
            const unsigned w = row[2 * ux] | unsigned(row[2 * ux + 1]) << 8;
            return {Widen5(w >> 11), Widen6(w >> 5 & 0x3F), Widen5(w & 0x1F)};
        }
        case 24:
            return {row[3 * ux + 2], row[3 * ux + 1], row[3 * ux]};
        default:
            return {row[4 * ux + 2], row[4 * ux + 1], row[4 * ux]};
    }
    return index < colours_.size() ? colours_[index] : Rgb{0, 0, 0};
}

void PixelFormat::Write(BYTE* row, LONG x, Rgb c) {
    const std::size_t ux = std::size_t(x);
    switch (bits_) {
        case 1: {
            const BYTE bit = BYTE(0x80 >> ux % 8);
            row[ux / 8] = Nearest(c) != 0 ? row[ux / 8] | bit : row[ux / 8] & ~bit;
            break;
        }
        case 4: {
            const BYTE i = Nearest(c);
            row[ux / 2] =
                ux % 2 == 0 ? BYTE((row[ux / 2] & 0x0F) | i << 4) : BYTE((row[ux / 2] & 0xF0) | i);
            break;
        }
        case 8:
            row[ux] = Nearest(c);
            break;
        case 16: {
            const unsigned w = unsigned(c.r >> 3) << 11 | unsigned(c.g >> 2) << 5 | c.b >> 3;
            row[2 * ux] = BYTE(w);
            row[2 * ux + 1] = BYTE(w >> 8);
            break;
        }
        case 24:
            row[3 * ux] = c.b;
            row[3 * ux + 1] = c.g;
            row[3 * ux + 2] = c.r;
            break;
        default:
            row[4 * ux] = c.b;
            row[4 * ux + 1] = c.g;
            row[4 * ux + 2] = c.r;
            row[4 * ux + 3] = 0;
            break;
    }
}

BYTE PixelFormat::Nearest(Rgb c) {
    const std::uint32_t key = Key(c);
    const std::size_t slot = (key ^ key >> 12) % kCacheSize;
    if (cachedColour_[slot] == (key | kCached))
        return cachedIndex_[slot];
    BYTE best = 0;
    std::uint32_t bestDistance = UINT32_MAX;
    for (std::size_t i = 0; i < colours_.size(); ++i) {
        const int dr = int(c.r) - colours_[i].r;
        const int dg = int(c.g) - colours_[i].g;
        const int db = int(c.b) - colours_[i].b;
        const std::uint32_t d = std::uint32_t(dr * dr + dg * dg + db * db);
        if (d < bestDistance) {
            bestDistance = d;
            best = BYTE(i);
        }
    }
    cachedColour_[slot] = key | kCached;
    cachedIndex_[slot] = best;
    return best;
}

}  // namespace win32gdi
