// The code reader, the pixel sink and the LZW decoder of GIF images.
//
// Decoding rules, for damaged data as for good data:
// - a code below the clear code is one pixel, whatever the colour table's size;
// - a clear code starts a new table and outputs nothing (so does a run of them);
// - a code at or beyond the next free slot stands for the previous string followed by its
//   own first pixel, and is entered at the next free slot, so every entry's prefix is a
//   smaller code and no chain can loop or outgrow the stack;
// - after 4,096 entries the table stays full (codes stay 12 bits) until a clear code.
#include "formats/gif/gif_lzw.h"

#include <algorithm>
#include <cstring>

namespace imagelib {
namespace {

// Row steps and start rows of the four interlace passes.
constexpr std::int32_t kPassStep[4] = {8, 8, 4, 2};
constexpr std::int32_t kPassStart[4] = {0, 4, 2, 1};

// Takes the next sub-block into hand; false at the terminator or when the data cannot
// hold it (a sub-block cut short is not used).
bool NextSubBlock(GifCodeReader& r) {
    std::uint8_t length = 0;
    if (r.ended || !r.stream.U8(&length) || length == 0) {
        r.ended = 1;
        return false;
    }
    const std::uint8_t* p = nullptr;
    if (r.stream.Remaining() < length || r.stream.Span(&p, length) != length) {
        r.ended = 1;
        return false;
    }
    r.block = p;
    r.blockLeft = length;
    return true;
}

std::uint8_t* RowAt(const GifPixelSink& s) {
    return s.bits + (static_cast<std::int64_t>(s.height) - 1 - s.row) * s.stride;
}

void NextRow(GifPixelSink& s) {
    s.column = 0;
    ++s.rowsDone;
    if (!s.interlaced) {
        ++s.row;
        return;
    }
    s.row += kPassStep[s.pass];
    while (s.row >= s.height && s.pass < 3) {
        ++s.pass;
        s.row = kPassStart[s.pass];
    }
}

// Stores n pixels that all fit the current row.
void StoreRun(GifPixelSink& s, const std::uint8_t* p, std::int32_t n) {
    std::uint8_t* row = RowAt(s) + s.column;
    if (!s.maskMode) {
        std::memcpy(row, p, static_cast<std::size_t>(n));
    } else {
        std::uint8_t* mask = row + s.halfWidth;
        for (std::int32_t i = 0; i < n; ++i) {
            const bool clear = p[i] == s.transparentIndex;
            row[i] = clear ? s.imageKey : p[i];
            mask[i] = clear ? s.maskKey : s.imageKey;
        }
    }
    s.column += n;
    if (s.column == s.width)
        NextRow(s);
}

// Stores a string of n pixels across as many rows as it reaches.
void PutString(GifPixelSink& s, const std::uint8_t* p, std::int32_t n) {
    while (n > 0 && !GifSinkComplete(s)) {
        const std::int32_t k = std::min(n, s.width - s.column);
        StoreRun(s, p, k);
        p += k;
        n -= k;
    }
}

void AddEntry(GifLzwState& z, GifLzwTables& t, std::uint16_t prefix, std::uint8_t suffix,
              GifCodeReader& r) {
    if (z.tableFull)
        return;
    const std::uint16_t code = z.nextCode;
    t.prefix[code] = prefix;
    t.suffix[code] = suffix;
    t.length[code] = static_cast<std::uint16_t>(t.length[prefix] + 1);
    ++z.nextCode;
    if (z.nextCode >= z.widthLimit) {
        if (r.codeWidth < kLzwMaxCodeWidth) {
            ++r.codeWidth;
            z.widthLimit <<= 1;
            r.codeMask = (1u << r.codeWidth) - 1;
        } else {
            z.tableFull = 1;
        }
    }
}

// Writes code's string back to front, its last pixel at end[-1]; the first pixel.
std::uint8_t WriteString(const GifLzwTables& t, std::uint32_t clear, std::uint32_t code,
                         std::uint8_t* end) {
    while (code >= clear) {
        *--end = t.suffix[code];
        code = t.prefix[code];
    }
    *--end = static_cast<std::uint8_t>(code);
    return static_cast<std::uint8_t>(code);
}

}  // namespace

void GifStartReader(GifCodeReader& r, ImageMemStream* s, int minCodeSize) {
    r.stream = StreamReader(s);
    r.block = nullptr;
    r.blockLeft = 0;
    r.bits = 0;
    r.bitCount = 0;
    r.ended = 0;
    r.codeWidth = minCodeSize + 1;
    r.codeMask = (1u << r.codeWidth) - 1;
}

void GifRefillCodes(GifCodeReader& r) {
    while (r.bitCount <= 56) {
        if (r.blockLeft == 0 && !NextSubBlock(r))
            return;
        r.bits |= static_cast<std::uint64_t>(*r.block++) << r.bitCount;
        r.bitCount += 8;
        --r.blockLeft;
    }
}

void GifStartSink(GifPixelSink& sink, std::uint8_t* bits, std::int64_t stride, std::int32_t width,
                  std::int32_t height, bool interlaced) {
    sink.bits = bits;
    sink.stride = stride;
    sink.width = std::max(width, 0);
    sink.height = std::max(height, 0);
    sink.column = 0;
    sink.row = 0;
    sink.rowsDone = 0;
    sink.pass = 0;
    sink.interlaced = interlaced ? 1 : 0;
}

void GifPutPixel(std::uint8_t index, GifPixelSink& sink) {
    if (!GifSinkComplete(sink))
        StoreRun(sink, &index, 1);
}

void GifStartLzw(GifLzwState& z, GifLzwTables& t, int minCodeSize) {
    z.clearCode = static_cast<std::uint16_t>(1u << minCodeSize);
    z.endCode = static_cast<std::uint16_t>(z.clearCode + 1);
    z.firstFree = static_cast<std::uint16_t>(z.clearCode + 2);
    z.nextCode = z.firstFree;
    z.initialCodeWidth = minCodeSize + 1;
    z.widthLimit = 1u << z.initialCodeWidth;
    z.lastCode = 0;
    // Data that does not begin with a clear code starts from the string of pixel 0.
    z.oldCode = 0;
    z.firstChar = 0;
    z.tableFull = 0;
    z.afterClear = 0;
    for (std::uint32_t i = 0; i < z.clearCode; ++i)
        t.length[i] = 1;
}

bool GifDecodeLzw(GifLzwState& z, GifLzwTables& t, GifCodeReader& r, GifPixelSink& s,
                  std::int64_t untilRows) {
    const std::uint32_t clear = z.clearCode;
    do {
        if (GifSinkComplete(s))
            return true;
        std::uint32_t code = GifReadCode(r);
        z.lastCode = static_cast<std::uint16_t>(code);
        if (code == kLzwNoCode || code == z.endCode)
            return true;
        if (code == clear) {
            z.nextCode = z.firstFree;
            r.codeWidth = z.initialCodeWidth;
            r.codeMask = (1u << r.codeWidth) - 1;
            z.widthLimit = 1u << r.codeWidth;
            z.tableFull = 0;
            z.afterClear = 1;
            z.oldCode = 0;
            z.firstChar = 0;
            continue;
        }
        if (code < clear && z.afterClear) {
            // The first pixel of a new table adds no entry.
            z.afterClear = 0;
            z.oldCode = static_cast<std::uint16_t>(code);
            z.firstChar = static_cast<std::uint8_t>(code);
            const std::uint8_t pixel = z.firstChar;
            PutString(s, &pixel, 1);
            continue;
        }
        z.afterClear = 0;
        std::uint8_t first;
        const bool known = code < z.nextCode;
        const std::uint32_t from = known ? code : z.oldCode;
        const std::int32_t length = t.length[from] + (known ? 0 : 1);
        if (!s.maskMode && s.width - s.column >= length) {
            // The whole string fits the current row: write it in place.
            std::uint8_t* row = RowAt(s) + s.column;
            if (known) {
                first = WriteString(t, clear, from, row + length);
            } else {
                first = WriteString(t, clear, from, row + length - 1);
                row[length - 1] = first;
            }
            s.column += length;
            if (s.column == s.width)
                NextRow(s);
        } else {
            std::uint8_t* end = t.stack + kLzwStackSize;
            if (known) {
                first = WriteString(t, clear, from, end);
            } else {
                first = WriteString(t, clear, from, end - 1);
                end[-1] = first;
            }
            PutString(s, end - length, length);
        }
        AddEntry(z, t, z.oldCode, first, r);
        // A code beyond the table was entered at the next free slot: that is its code now.
        z.oldCode = static_cast<std::uint16_t>(known ? code : z.nextCode - 1u);
        z.firstChar = first;
    } while (s.rowsDone < untilRows);
    return GifSinkComplete(s);
}

}  // namespace imagelib
