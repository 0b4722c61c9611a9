// The PNG header reader: IHDR, then the chunk walk that finds the IDAT data and reads
// PLTE, tRNS and bKGD; and the walk over the IDAT chunks again when the image is decoded.
// CRCs are never compared and chunk types are compared without regard to case. Every
// length is bounded by the data that remains, so a walk always moves forward and ends.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/checked_size.h"
#include "core/tracked_memory.h"
#include "formats/png/png_codes.h"
#include "formats/png/png_decoder.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kIhdrLength = 13;
constexpr std::int64_t kSignatureBytes = 8;
constexpr std::int64_t kCrcBytes = 4;
constexpr std::uint32_t kMaxDimension = 0x7FFFFFFF;  // PNG's own limit for width and height
constexpr std::uint64_t kMaxScanline = 0xFFFFFFFE;   // a scanline and its filter byte in 32 bits

// True when the chunk type equals name (four lower-case letters) whatever the case.
bool TypeIs(const std::uint8_t* type, const char* name) {
    for (int i = 0; i < 4; ++i) {
        if (std::tolower(type[i]) != name[i])
            return false;
    }
    return true;
}

bool AllowedDepth(std::uint32_t colourType, std::uint32_t depth) {
    switch (colourType) {
        case kPngGrey:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kPngPalette:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kPngRgb:
        case kPngGreyAlpha:
        case kPngRgba:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

std::uint32_t ChannelsOf(std::uint32_t colourType) {
    switch (colourType) {
        case kPngRgb:
            return 3;
        case kPngGreyAlpha:
            return 2;
        case kPngRgba:
            return 4;
        default:
            return 1;
    }
}

// Skips up to n bytes; false when the data ended first (the walk is then done).
bool SkipBounded(StreamReader& in, std::uint64_t n) {
    const std::int64_t remaining = in.Remaining();
    if (n > static_cast<std::uint64_t>(remaining)) {
        in.Skip(remaining);
        return false;
    }
    return in.Skip(static_cast<std::int64_t>(n));
}

// Grey ramp of palette entries: steps of 255 / (entries - 1), 2-bit images 0, 85, 170, 255
// and 255 for the entries their 16-entry table has beyond those.
void BuildGreyRamp(PngDecoder& d) {
    const std::uint32_t step = d.bitDepth == 2 ? 85 : 256 / (d.paletteEntries - 1);
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < d.paletteEntries; ++i) {
        const auto g = static_cast<std::uint8_t>(v > 255 ? 255 : v);
        d.palette[i] = PaletteEntry3{g, g, g};
        v += step;
    }
}

// PLTE of a palette image: whole entries within the chunk, at most the depth's count;
// the entries it does not fill are black. A length of 0 gives the grey ramp.
int PngReadPlte(PngDecoder& d, StreamReader& in, std::uint32_t length) {
    if (length == 0) {
        BuildGreyRamp(d);
        return kOk;
    }
    std::uint32_t entries = length / 3;
    if (entries > d.paletteEntries)
        entries = d.paletteEntries;
    std::uint8_t rgb[256 * 3];
    if (!in.Read(rgb, entries * 3))
        return kPngShortPlte;
    for (std::uint32_t i = 0; i < 256; ++i) {
        d.palette[i] = i < entries ? PaletteEntry3{rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]}
                                   : PaletteEntry3{0, 0, 0};
    }
    SkipBounded(in, length - entries * 3);
    return kOk;
}

// bKGD is read and thrown away; only data shorter than its value matter.
int PngReadBkgd(PngDecoder& d, StreamReader& in, std::uint32_t length) {
    std::uint32_t need = 2;
    if (d.colourType == kPngPalette)
        need = 1;
    else if (d.colourType == kPngRgb || d.colourType == kPngRgba)
        need = 6;
    std::uint8_t value[6];
    if (length < need || !in.Read(value, need))
        return kPngShortBkgd;
    SkipBounded(in, length - need);
    return kOk;
}

int PngReadTrns(PngDecoder& d, StreamReader& in, std::uint32_t length) {
    std::uint8_t value[256];
    switch (d.colourType) {
        case kPngPalette: {
            const std::uint32_t n = length < 256 ? length : 256;
            if (!in.Read(d.alpha, n))
                return kPngShortTrns;
            d.trnsCount = n;
            d.lastTranslucent = 0;
            // A table of opaque entries only makes nothing transparent: the image reads as
            // if it had no tRNS.
            d.trnsSeen = 0;
            for (std::uint32_t i = 0; i < n; ++i) {
                if (d.alpha[i] < 255) {
                    d.lastTranslucent = static_cast<std::uint8_t>(i);
                    d.trnsSeen = 1;
                }
            }
            SkipBounded(in, length - n);
            return kOk;
        }
        case kPngGrey: {
            if (length < 2 || !in.Read(value, 2))
                return kPngShortTrns;
            // The key as an index: its only byte up to 8 bits, its high byte at 16.
            const std::uint8_t key = d.bitDepth == 16 ? value[0] : value[1];
            d.greyKey = key;
            d.alpha[key] = 0;
            d.palette[key] = PaletteEntry3{0, 0, 0};
            d.trnsSeen = 1;
            SkipBounded(in, length - 2);
            return kOk;
        }
        case kPngRgb: {
            if (length < 6 || !in.Read(value, 6))
                return kPngShortTrns;
            const int high = d.bitDepth == 16 ? 0 : 1;
            for (int i = 0; i < 3; ++i)
                d.rgbKey[i] = value[i * 2 + high];
            d.trnsSeen = 1;
            SkipBounded(in, length - 6);
            return kOk;
        }
        default:
            SkipBounded(in, length);
            return kOk;
    }
}

// Notes where the IDAT data begin and how much there is; they are read where they lie
// when the image is decoded.
int PngQueueIdat(PngDecoder& d, StreamReader& in, std::uint32_t length, std::int64_t chunk) {
    const std::uint64_t remaining = static_cast<std::uint64_t>(in.Remaining());
    const std::uint64_t n = length < remaining ? length : remaining;
    if (n > 0 && d.idatBytes == 0)
        d.firstIdat = chunk;
    d.idatBytes += n;
    in.Skip(static_cast<std::int64_t>(n));
    return kOk;
}

// The chunk whose length and type (read from offset chunk on) are given.
int ReadChunk(PngDecoder& d, StreamReader& in, const std::uint8_t* type, std::uint32_t length,
              std::int64_t chunk) {
    if (TypeIs(type, "idat"))
        return PngQueueIdat(d, in, length, chunk);
    if (TypeIs(type, "plte") && d.colourType == kPngPalette)
        return PngReadPlte(d, in, length);
    if (TypeIs(type, "bkgd"))
        return PngReadBkgd(d, in, length);
    if (TypeIs(type, "trns"))
        return PngReadTrns(d, in, length);
    SkipBounded(in, length);
    return kOk;
}

int BadHeader() {
    std::fputs("PNG ERROR: Problems reading PNG header info.\n", stdout);
    return kPngBadHeader;
}

}  // namespace

int PngReadIhdr(PngDecoder& d, StreamReader& in) {
    std::uint32_t length = 0;
    std::uint8_t type[4];
    std::uint8_t f[kIhdrLength];
    // The signature was matched by format detection and is not looked at again.
    if (!in.Seek(kSignatureBytes) || !in.U32BE(&length) || length != kIhdrLength ||
        !in.Read(type, 4) || !TypeIs(type, "ihdr") || !in.Read(f, kIhdrLength))
        return BadHeader();
    SkipBounded(in, kCrcBytes);
    d.width = LoadU32BE(f);
    d.height = LoadU32BE(f + 4);
    d.bitDepth = f[8];
    d.colourType = f[9];
    d.interlaced = f[12] != 0;  // any method but 0 is taken for Adam7
    if (d.width == 0 || d.height == 0 || d.width > kMaxDimension || d.height > kMaxDimension ||
        !AllowedDepth(d.colourType, d.bitDepth))
        return BadHeader();
    d.channels = ChannelsOf(d.colourType);
    const std::uint64_t rowBits = std::uint64_t{d.width} * d.channels * d.bitDepth;
    if ((rowBits + 7) / 8 > kMaxScanline)
        return BadHeader();
    d.bytesPerSample = d.bitDepth == 16 ? 2 : 1;
    d.filterUnit = d.channels * d.bytesPerSample;
    if (d.colourType == kPngRgb || d.colourType == kPngRgba) {
        d.paletteEntries = 0;
    } else {
        // 2-bit images count as 4-bit, 16-bit grey as 8-bit.
        const std::uint32_t depth = d.bitDepth == 2 ? 4 : d.bitDepth > 8 ? 8 : d.bitDepth;
        d.paletteEntries = 1u << depth;
    }
    if (d.colourType == kPngGrey || d.colourType == kPngGreyAlpha)
        BuildGreyRamp(d);
    return kOk;
}

int PngWalkChunks(PngDecoder& d, StreamReader& in) {
    for (;;) {
        const std::int64_t chunk = in.Position();
        std::uint32_t length = 0;
        std::uint8_t type[4];
        if (!in.U32BE(&length) || !in.Read(type, 4))
            return kOk;  // the end of the data ends the walk
        if (TypeIs(type, "iend"))
            return kOk;
        const int r = ReadChunk(d, in, type, length, chunk);
        if (r != kOk)
            return r;
        if (!SkipBounded(in, kCrcBytes))
            return kOk;
    }
}

bool PngNextIdat(void* origin, const std::uint8_t** bytes, std::uint64_t* n) {
    StreamReader& in = *static_cast<StreamReader*>(origin);
    for (;;) {
        std::uint32_t length = 0;
        std::uint8_t type[4];
        if (!in.U32BE(&length) || !in.Read(type, 4) || TypeIs(type, "iend"))
            return false;
        if (TypeIs(type, "idat")) {
            *n = static_cast<std::uint64_t>(in.Span(bytes, length));
            SkipBounded(in, kCrcBytes);  // when the source ends here, so does the walk
            return true;
        }
        if (!SkipBounded(in, length) || !SkipBounded(in, kCrcBytes))
            return false;
    }
}

}  // namespace imagelib
