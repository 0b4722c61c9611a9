// The row sink: inflated bytes come in as spans; whole scanlines are unfiltered and their
// pixels placed in the result rows of the output format, pass by pass for Adam7. A
// scanline that arrives in pieces is gathered first. Bytes after the last pixel are
// ignored.
#include <algorithm>
#include <cstring>
#include <utility>

#include "core/checked_size.h"
#include "core/tracked_memory.h"
#include "formats/png/png_decoder.h"

namespace imagelib {
namespace {

// Adam7: the pixels of each pass, by column and row start and step in the 8 x 8 block.
constexpr PngPass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr PngPass kWholeImage = {0, 0, 1, 1};
constexpr std::uint64_t kBufferSlack = 16;

const PngPass& PassOf(const PngDecoder& d) {
    return d.interlaced ? kAdam7[d.pass] : kWholeImage;
}

std::uint32_t PassCount(const PngDecoder& d) {
    return d.interlaced ? 7 : 1;
}

std::uint64_t ScanlineBytes(const PngDecoder& d, std::uint64_t pixels) {
    return (pixels * d.channels * d.bitDepth + 7) / 8;
}

// Goes to the first pass from d.pass on that has pixels (a pass beyond the image's width
// or height has no scanlines at all); the image is complete after the last.
void EnterPass(PngDecoder& d) {
    for (; d.pass < PassCount(d); ++d.pass) {
        const PngPass& p = PassOf(d);
        if (p.x0 >= d.width || p.y0 >= d.height)
            continue;
        d.passWidth = (d.width - p.x0 + p.dx - 1) / p.dx;
        d.scanline = ScanlineBytes(d, d.passWidth);
        d.y = p.y0;
        d.filled = 0;
        // The first scanline of every pass has an all-zero row above it.
        std::memset(d.prior, 0, d.scanline);
        return;
    }
    d.complete = 1;
}

void NextScanline(PngDecoder& d) {
    std::swap(d.prior, d.current);
    d.y += PassOf(d).dy;  // y < height <= 2^31 - 1: no overflow
    if (d.y >= d.height) {
        ++d.pass;
        EnterPass(d);
    }
}

std::uint8_t* RowOf(const PngDecoder& d) {
    return d.bits + (std::uint64_t{d.height} - 1 - d.y) * d.rowSize;
}

// Index pixel i of a grey or palette scanline: packed from the most significant bits,
// or one byte, or the high byte of a 16-bit sample.
inline std::uint32_t IndexAt(const std::uint8_t* row, std::uint64_t i, std::uint32_t depth) {
    switch (depth) {
        case 1:
            return (row[i >> 3] >> (7 - (i & 7))) & 1;
        case 2:
            return (row[i >> 2] >> (6 - 2 * (i & 3))) & 3;
        case 4:
            return (row[i >> 1] >> (4 - 4 * (i & 1))) & 15;
        case 8:
            return row[i];
        default:
            return row[i * 2];
    }
}

// Sets pixel x of a 1-, 4- or 8-bit row to v, leaving the other pixels of its byte; a
// value wider than the pixel keeps only its low bits.
inline void PutIndex(std::uint8_t* dst, std::uint64_t x, std::uint32_t v, std::uint32_t depth) {
    if (depth == 8) {
        dst[x] = static_cast<std::uint8_t>(v);
    } else if (depth == 4) {
        std::uint8_t& b = dst[x >> 1];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (v & 15))
                    : static_cast<std::uint8_t>((b & 0x0F) | (v & 15) << 4);
    } else {
        const unsigned shift = 7 - (x & 7);
        std::uint8_t& b = dst[x >> 3];
        b = static_cast<std::uint8_t>((b & ~(1u << shift)) | (v & 1) << shift);
    }
}

inline std::uint8_t Premultiply(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>(c * a / 255);
}

void PlaceIndexed(const PngDecoder& d, const std::uint8_t* row, std::uint64_t count,
                  std::uint8_t* dst, const PngPass& p) {
    const std::uint32_t depth = d.bitDepth;
    if (depth == 8 && p.dx == 1 && !d.alphaOutput && !d.imageAndMask) {
        std::memcpy(dst, row, count);
        return;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t v = IndexAt(row, i, depth);
        const std::uint64_t x = p.x0 + i * p.dx;
        if (d.alphaOutput) {
            const PaletteEntry3& e = d.palette[v];
            std::uint8_t* q = dst + x * 4;
            q[0] = e.blue;
            q[1] = e.green;
            q[2] = e.red;
            q[3] = d.alpha[v];
        } else if (d.imageAndMask) {
            const bool transparent = d.masked[v] != 0;
            const bool black = transparent || static_cast<std::int32_t>(v) == d.blackMadeWhite;
            PutIndex(dst, x, black ? d.blackKey : v, d.outputDepth);
            PutIndex(dst, d.width + x, transparent ? d.whiteKey : d.blackKey, d.outputDepth);
        } else {
            PutIndex(dst, x, v, d.outputDepth);
        }
    }
}

// RGB: complete pixels, then what a cut-short pixel has of its samples (each sample is
// placed as soon as its first byte is there).
void PlaceRgb(const PngDecoder& d, const std::uint8_t* row, std::uint64_t bytes, std::uint8_t* dst,
              const PngPass& p) {
    const std::uint64_t unit = d.filterUnit;
    const std::uint64_t bps = d.bytesPerSample;
    const std::uint64_t count = std::min<std::uint64_t>(d.passWidth, bytes / unit);
    if (!d.alphaOutput) {
        if (bps == 1 && p.dx == 1) {  // p.x0 is 0 then
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint8_t* s = row + i * 3;
                std::uint8_t* q = dst + i * 3;
                const std::uint8_t r = s[0], g = s[1], b = s[2];
                q[0] = b;
                q[1] = g;
                q[2] = r;
            }
        } else {
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint8_t* s = row + i * unit;
                std::uint8_t* q = dst + (p.x0 + i * p.dx) * 3;
                q[0] = s[2 * bps];
                q[1] = s[bps];
                q[2] = s[0];
            }
        }
    } else {
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* s = row + i * unit;
            std::uint8_t* q = dst + (p.x0 + i * p.dx) * 4;
            const std::uint8_t r = s[0], g = s[bps], b = s[2 * bps];
            if (r == d.rgbKey[0] && g == d.rgbKey[1] && b == d.rgbKey[2]) {
                q[0] = q[1] = q[2] = q[3] = 0;
            } else {
                q[0] = b;
                q[1] = g;
                q[2] = r;
                q[3] = 255;
            }
        }
    }
    const std::uint64_t rest = bytes - count * unit;
    if (count < d.passWidth && rest > 0) {
        const std::uint8_t* s = row + count * unit;
        std::uint8_t* q = dst + (p.x0 + count * p.dx) * (d.alphaOutput ? 4 : 3);
        for (std::uint64_t k = 0; k < 3 && k * bps < rest; ++k)
            q[2 - k] = s[k * bps];
    }
}

// Grey + alpha and RGBA: a pixel is placed at the first byte of its alpha sample.
void PlaceWithAlpha(const PngDecoder& d, const std::uint8_t* row, std::uint64_t bytes,
                    std::uint8_t* dst, const PngPass& p) {
    const std::uint64_t unit = d.filterUnit;
    const std::uint64_t bps = d.bytesPerSample;
    const std::uint64_t colourBytes = (d.channels - 1) * bps;
    if (bytes <= colourBytes)
        return;
    const std::uint64_t count =
        std::min<std::uint64_t>(d.passWidth, (bytes - colourBytes - 1) / unit + 1);
    const bool grey = d.colourType == kPngGreyAlpha;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* s = row + i * unit;
        const std::uint64_t x = p.x0 + i * p.dx;
        const std::uint32_t a = s[colourBytes];
        if (grey) {
            if (!d.alphaOutput) {
                dst[x] = s[0];
                continue;
            }
            const PaletteEntry3& e = d.palette[s[0]];
            std::uint8_t* q = dst + x * 4;
            q[0] = Premultiply(e.blue, a);
            q[1] = Premultiply(e.green, a);
            q[2] = Premultiply(e.red, a);
            q[3] = static_cast<std::uint8_t>(a);
        } else if (d.alphaOutput) {
            std::uint8_t* q = dst + x * 4;
            q[0] = Premultiply(s[2 * bps], a);
            q[1] = Premultiply(s[bps], a);
            q[2] = Premultiply(s[0], a);
            q[3] = static_cast<std::uint8_t>(a);
        } else {
            std::uint8_t* q = dst + x * 3;
            q[0] = s[2 * bps];
            q[1] = s[bps];
            q[2] = s[0];
        }
    }
}

// Places the pixels of bytes unfiltered bytes of the current scanline (all of it, or
// the part that arrived before the data ended).
void PlaceRow(const PngDecoder& d, const std::uint8_t* row, std::uint64_t bytes) {
    const PngPass& p = PassOf(d);
    std::uint8_t* dst = RowOf(d);
    switch (d.colourType) {
        case kPngRgb:
            PlaceRgb(d, row, bytes, dst, p);
            return;
        case kPngGreyAlpha:
        case kPngRgba:
            PlaceWithAlpha(d, row, bytes, dst, p);
            return;
        default: {
            std::uint64_t count;
            if (d.bitDepth < 8)
                count = bytes * (8 / d.bitDepth);
            else if (d.bitDepth == 8)
                count = bytes;
            else
                count = (bytes + 1) / 2;  // a 16-bit index counts from its high byte
            PlaceIndexed(d, row, std::min<std::uint64_t>(count, d.passWidth), dst, p);
            return;
        }
    }
}

// An 8-bit RGB scanline of a plain image goes straight into its result row, which is the
// RGB scanline in reverse within each pixel; the row above (one up the image, one on in
// the bottom-up rows) is its prior, and the first row's is all zero.
void UnfilterInPlace(PngDecoder& d, const std::uint8_t* filtered, std::uint64_t bytes) {
    std::uint8_t* dst = RowOf(d);
    const std::uint8_t* prior = d.y == 0 ? d.prior : dst + d.rowSize;
    PngUnfilterRowToBgr(filtered[0], filtered + 1, prior, dst, bytes);
}

void CompleteScanline(PngDecoder& d, const std::uint8_t* filtered) {
    if (d.directBgr) {
        UnfilterInPlace(d, filtered, d.scanline);
        NextScanline(d);
        return;
    }
    PngUnfilterRow(filtered[0], filtered + 1, d.prior, d.current, d.scanline, d.filterUnit);
    PlaceRow(d, d.current, d.scanline);
    NextScanline(d);
}

// In the image-and-mask layout every pixel starts transparent, so that the pixels of data
// that end before the image show as transparent ones. One row is built, then copied.
void StartTransparent(const PngDecoder& d) {
    if (d.height == 0)
        return;
    std::uint8_t* first = d.bits;
    for (std::uint64_t x = 0; x < d.width; ++x) {
        PutIndex(first, x, d.blackKey, d.outputDepth);
        PutIndex(first, d.width + x, d.whiteKey, d.outputDepth);
    }
    for (std::uint64_t y = 1; y < d.height; ++y)
        std::memcpy(first + y * d.rowSize, first, d.rowSize);
}

}  // namespace

bool PngStartRows(PngDecoder& d, std::uint8_t* bits) {
    d.bits = bits;
    d.decodeStarted = 1;
    if (d.imageAndMask)
        StartTransparent(d);
    // ScanlineBytes(width) + 1 fits 32 bits (checked with IHDR).
    const std::uint64_t size = ScanlineBytes(d, d.width) + 1 + kBufferSlack;
    if (!FitsBlock(size))
        return false;
    d.bufferBytes = size;
    for (std::uint8_t** buffer : {&d.prior, &d.current, &d.pending}) {
        *buffer = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(size)));
        if (*buffer == nullptr)
            return false;
    }
    d.pass = 0;
    d.complete = 0;
    d.directBgr = d.colourType == kPngRgb && d.bitDepth == 8 && !d.interlaced && !d.alphaOutput;
    EnterPass(d);
    return true;
}

void PngOutputBytes(PngDecoder& d, const std::uint8_t* bytes, std::size_t n) {
    while (n > 0 && !d.complete) {
        const std::uint64_t need = d.scanline + 1;
        if (d.filled == 0 && n >= need) {
            CompleteScanline(d, bytes);
            bytes += need;
            n -= need;
            continue;
        }
        const std::uint64_t k = std::min<std::uint64_t>(n, need - d.filled);
        std::memcpy(d.pending + d.filled, bytes, k);
        d.filled += k;
        bytes += k;
        n -= k;
        if (d.filled == need) {
            d.filled = 0;
            CompleteScanline(d, d.pending);
        }
    }
}

void PngFinishRows(PngDecoder& d) {
    if (d.complete || d.filled < 2)
        return;
    const std::uint64_t bytes = d.filled - 1;
    d.filled = 0;
    if (d.directBgr) {
        UnfilterInPlace(d, d.pending, bytes);
        return;
    }
    PngUnfilterRow(d.pending[0], d.pending + 1, d.prior, d.current, bytes, d.filterUnit);
    PlaceRow(d, d.current, bytes);
}

void PngFreeRows(PngDecoder& d) {
    for (std::uint8_t** buffer : {&d.prior, &d.current, &d.pending}) {
        ImageFree(*buffer);
        *buffer = nullptr;
    }
}

}  // namespace imagelib
