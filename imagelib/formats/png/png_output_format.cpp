// The output decision at the end of the header: the depth of the result rows, alpha kept
// or not, and the image-and-mask layout with its two key colours.
#include <cstdint>

#include "core/load_flags.h"
#include "formats/png/png_decoder.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kWhiteSum = 765;

std::uint32_t DepthOf(const PngDecoder& d) {
    switch (d.colourType) {
        case kPngRgb:
        case kPngRgba:
            return 24;
        case kPngGreyAlpha:
            return 8;
        default:
            return d.bitDepth == 1 ? 1 : d.bitDepth <= 4 ? 4 : 8;
    }
}

std::uint32_t Sum(const PaletteEntry3& e) {
    return std::uint32_t{e.red} + e.green + e.blue;
}

// The entries whose pixels the mask shows transparent: in a palette image every entry of
// alpha 0, or, when tRNS has none, its last translucent entry; in a grey image the key.
// The last of them is the transparent index.
void MarkMaskedEntries(PngDecoder& d) {
    if (d.colourType != kPngPalette) {
        d.masked[d.greyKey] = 1;
        d.transparentIndex = d.greyKey;
        return;
    }
    bool any = false;
    for (std::uint32_t i = 0; i < d.trnsCount; ++i) {
        if (d.alpha[i] == 0) {
            d.masked[i] = 1;
            d.transparentIndex = static_cast<std::uint8_t>(i);
            any = true;
        }
    }
    if (!any) {
        d.masked[d.lastTranslucent] = 1;
        d.transparentIndex = d.lastTranslucent;
    }
}

// Keys of the image-and-mask layout: an opaque pixel shows the black key in the mask half,
// a transparent one the black key in the image half and the white key in the mask half.
// Only the entries of the image's own table take part, so a key is always an index the
// rows can hold.
void ChooseMaskKeys(PngDecoder& d) {
    d.imageAndMask = 1;
    d.outputColours = d.paletteEntries;
    MarkMaskedEntries(d);
    const std::uint32_t t = d.transparentIndex;
    std::uint32_t smallest = kWhiteSum, largest = 0;
    std::uint32_t black = 0, white = 0;
    bool whiteFound = false;
    for (std::uint32_t i = 0; i < d.paletteEntries; ++i) {
        const std::uint32_t s = Sum(d.palette[i]);
        if (s < smallest) {
            smallest = s;
            black = i;
        }
        if (i != t && s > largest) {
            largest = s;
            white = i;
            whiteFound = true;
        }
    }
    // A spare black: the last pure-black entry after the black key.
    std::int32_t spare = -1;
    if (smallest == 0) {
        for (std::uint32_t i = black + 1; i < d.paletteEntries; ++i) {
            if (Sum(d.palette[i]) == 0)
                spare = static_cast<std::int32_t>(i);
        }
    }
    if (smallest > 0) {
        d.palette[t] = PaletteEntry3{0, 0, 0};
        black = t;
    }
    d.blackMadeWhite = -1;
    if (largest < kWhiteSum) {
        if (spare >= 0) {
            d.palette[spare] = PaletteEntry3{255, 255, 255};
            white = static_cast<std::uint32_t>(spare);
            d.blackMadeWhite = spare;
        } else {
            // No entry can be made white: the engine whitens the mask half after decoding,
            // as it does for GIF.
            if (!whiteFound)
                white = black == 0 ? 1 : 0;
            d.cleanMask = 1;
        }
    }
    d.blackKey = static_cast<std::uint8_t>(black);
    d.whiteKey = static_cast<std::uint8_t>(white);
}

}  // namespace

void PngDecideOutput(PngDecoder& d, std::uint32_t flags) {
    d.outputDepth = DepthOf(d);
    const bool hasAlphaChannel = d.colourType == kPngGreyAlpha || d.colourType == kPngRgba;
    if (hasAlphaChannel && (flags & kFlagKeepAlpha)) {
        d.alphaOutput = 1;
        d.outputDepth = 32;
        d.outputColours = 0;
    } else {
        d.outputColours = d.paletteEntries;
    }
    if (!d.trnsSeen || !(flags & kFlagImageAndMask))
        return;
    if (flags & kFlagKeepAlpha) {
        d.alphaOutput = 1;
        d.outputDepth = 32;
        d.outputColours = 0;
        for (std::uint32_t i = 0; i < d.trnsCount; ++i) {
            PaletteEntry3& e = d.palette[i];
            const std::uint32_t a = d.alpha[i];
            e = PaletteEntry3{static_cast<std::uint8_t>(e.red * a / 255),
                              static_cast<std::uint8_t>(e.green * a / 255),
                              static_cast<std::uint8_t>(e.blue * a / 255)};
        }
        return;
    }
    // An RGB key has no palette to take key colours from: such an image is read without
    // the layout (and the decode step reports 0x2000 cleared).
    if (d.colourType != kPngRgb)
        ChooseMaskKeys(d);
}

}  // namespace imagelib
