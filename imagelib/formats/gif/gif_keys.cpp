// Key colours of the image-and-mask layout.
#include "formats/gif/gif_keys.h"

#include <unordered_set>

namespace imagelib {
namespace {

constexpr std::int32_t kNone = -1;
constexpr std::int32_t kEntries = 256;
constexpr std::int32_t kWhiteSum = 3 * 255;

std::int32_t Sum(const PaletteEntry3& c) {
    return c.red + c.green + c.blue;
}

bool Same(const PaletteEntry3& a, const PaletteEntry3& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool IsBlack(const PaletteEntry3& c) {
    return Sum(c) == 0;
}

std::uint32_t Packed(const PaletteEntry3& c) {
    return std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue;
}

void Set(GifKeyChoice& k, PaletteEntry3* palette, std::int32_t i, PaletteEntry3 colour) {
    palette[i] = colour;
    k.changed[k.changedCount++] = i;
}

// The transparent entry gets a colour no other entry below limit holds, when another one
// shares its colour: the mask must not see both as transparent.
void MakeTransparentUnique(GifKeyChoice& k, PaletteEntry3* palette, std::int32_t limit,
                           std::uint8_t t) {
    bool shared = false;
    for (std::int32_t i = 0; i < limit && !shared; ++i)
        shared = i != t && Same(palette[i], palette[t]);
    if (!shared)
        return;
    std::unordered_set<std::uint32_t> held;
    for (std::int32_t i = 0; i < limit; ++i)
        held.insert(Packed(palette[i]));
    // Red from 255 down, within it green from 255 down, within that blue from 255 down;
    // fewer than 257 colours are held, so one of the first 257 tries is free.
    for (std::uint32_t tries = 0; tries < 0x1000000; ++tries) {
        const std::uint32_t c = 0xFFFFFF - tries;
        if (held.count(c) == 0) {
            Set(k, palette, t,
                PaletteEntry3{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
            return;
        }
    }
}

// Squared distance of two colours.
std::int32_t Distance(const PaletteEntry3& a, const PaletteEntry3& b) {
    const std::int32_t r = a.red - b.red, g = a.green - b.green, bl = a.blue - b.blue;
    return r * r + g * g + bl * bl;
}

// Calls visit(pixel) for every pixel of the image half (mask false) or the mask half.
template <typename Visit>
void ForEachPixel(const GifMaskRows& rows, bool mask, Visit&& visit) {
    const std::int64_t from = mask ? rows.width : 0;
    for (std::int32_t y = 0; y < rows.height; ++y) {
        std::uint8_t* row = rows.bits + y * rows.stride + from;
        for (std::int32_t x = 0; x < rows.width; ++x)
            visit(row[x]);
    }
}

// An entry the image half can spare for white, other than the black key: one it does not
// show, else its rarest colour, whose pixels then take the nearest other entry.
std::uint8_t SpareEntry(const PaletteEntry3* palette, const GifMaskRows& rows,
                        std::uint8_t imageKey) {
    std::uint64_t shown[kEntries] = {};
    ForEachPixel(rows, false, [&](std::uint8_t& p) { ++shown[p]; });
    std::int32_t spare = imageKey == 0 ? 1 : 0;
    for (std::int32_t i = 0; i < kEntries; ++i) {
        if (i != imageKey && shown[i] < shown[spare])
            spare = i;
    }
    if (shown[spare] == 0)
        return static_cast<std::uint8_t>(spare);
    std::int32_t nearest = spare == 0 ? 1 : 0;
    for (std::int32_t i = 0; i < kEntries; ++i) {
        if (i != spare &&
            Distance(palette[i], palette[spare]) < Distance(palette[nearest], palette[spare]))
            nearest = i;
    }
    ForEachPixel(rows, false, [&](std::uint8_t& p) {
        if (p == spare)
            p = static_cast<std::uint8_t>(nearest);
    });
    return static_cast<std::uint8_t>(spare);
}

}  // namespace

std::int32_t GifWhitenMaskKey(PaletteEntry3* palette, const GifMaskRows& rows,
                              const GifKeyChoice& keys, std::uint8_t t) {
    if (Sum(palette[keys.maskKey]) == kWhiteSum)
        return kNone;
    // Transparent pixels show the black key in the image half, so the transparent entry
    // is free there unless it is that key.
    const std::uint8_t white = t != keys.imageKey ? t : SpareEntry(palette, rows, keys.imageKey);
    palette[white] = PaletteEntry3{255, 255, 255};
    ForEachPixel(rows, true, [&](std::uint8_t& p) {
        if (p == keys.maskKey)
            p = white;
    });
    return white;
}

GifKeyChoice GifChooseKeys(PaletteEntry3* palette, std::int32_t n, std::uint8_t t) {
    GifKeyChoice k{};
    std::int32_t best = kWhiteSum;
    std::int32_t brightest = 0;
    std::int32_t spare = kNone;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t s = Sum(palette[i]);
        if (s < best) {
            k.imageKey = static_cast<std::uint8_t>(i);
            best = s;
        } else if (s == 0 && spare == kNone) {
            spare = i;  // a second pure black, free to become white
        }
        if (s > brightest && i != t) {
            k.maskKey = static_cast<std::uint8_t>(i);
            brightest = s;
        }
    }
    // Black, and the limit of the entries in use.
    std::int32_t limit = kNone;
    if (spare != kNone || n == kEntries) {
        if (best > 0) {
            k.imageKey = t;
            Set(k, palette, t, PaletteEntry3{0, 0, 0});
        }
        limit = spare;
    } else if (best == 0) {
        limit = n;
    } else {
        k.imageKey = static_cast<std::uint8_t>(n);
        k.blackAppended = true;
        Set(k, palette, n, PaletteEntry3{0, 0, 0});
        limit = n + 1;
    }
    // White.
    if (brightest == kWhiteSum) {
        // A pure-white entry other than the transparent one is there already.
    } else if (limit == kNone) {
        k.maskKey = k.imageKey == 0 ? 1 : 0;
        k.noWhite = true;
    } else {
        k.maskKey = static_cast<std::uint8_t>(limit);
        k.maskKeyWasBlack = limit == spare;
        Set(k, palette, limit, PaletteEntry3{255, 255, 255});
        ++limit;
        while (limit < kEntries && !IsBlack(palette[limit]))
            ++limit;
    }
    if (limit != kNone)
        MakeTransparentUnique(k, palette, limit, t);
    return k;
}

void GifSinkTakeKeys(GifPixelSink& sink, const GifKeyChoice& keys, std::uint8_t t) {
    sink.maskMode = 1;
    sink.transparentIndex = t;
    sink.imageKey = keys.imageKey;
    sink.maskKey = keys.maskKey;
    // Opaque pixels of a black entry made white still show black: the black key's colour.
    sink.shownAsBlack = keys.maskKeyWasBlack ? keys.maskKey : kGifNoIndex;
}

}  // namespace imagelib
