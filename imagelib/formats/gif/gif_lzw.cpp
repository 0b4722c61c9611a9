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
            row[i] = clear || p[i] == s.shownAsBlack ? s.imageKey : p[i];
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

// Writes code's string at dst, whole pieces from its start; the last piece's unused
// bytes (zeros) may land up to 7 bytes past the string's end.
inline void WritePieces(const GifLzwTables& t, std::uint32_t code, std::uint8_t* dst) {
    std::uint32_t at = (t.length[code] - 1u) & ~(kLzwPiece - 1u);
    for (;;) {
        std::memcpy(dst + at, t.piece[code], kLzwPiece);
        if (at == 0)
            return;
        at -= kLzwPiece;
        // The prefix of a string longer than one piece is exactly its pieces before the last.
        code = t.prefix[code];
    }
}

// Up to 8 little-endian bytes of the sub-block in hand, as one word.
inline std::uint64_t LoadLE64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
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
    // Whole words while the sub-block in hand holds them, then byte by byte across the
    // sub-block boundaries.
    if (r.blockLeft >= 8 && r.bitCount <= 56) {
        const std::int32_t n = (63 - r.bitCount) >> 3;
        const std::uint64_t word = LoadLE64(r.block) & ((std::uint64_t{1} << (8 * n)) - 1);
        r.bits |= word << r.bitCount;
        r.bitCount += 8 * n;
        r.block += n;
        r.blockLeft -= n;
    }
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
    sink.shownAsBlack = kGifNoIndex;
}

void GifPutPixel(std::uint8_t index, GifPixelSink& sink) {
    if (!GifSinkComplete(sink))
        StoreRun(sink, &index, 1);
}

void GifSinkFillTransparent(GifPixelSink& s) {
    if (!s.maskMode)
        return;
    while (!GifSinkComplete(s)) {
        std::uint8_t* row = RowAt(s) + s.column;
        const auto n = static_cast<std::size_t>(s.width - s.column);
        std::memset(row, s.imageKey, n);
        std::memset(row + s.halfWidth, s.maskKey, n);
        NextRow(s);
    }
}

void GifStartLzw(GifLzwState& z, GifLzwTables& t, int minCodeSize) {
    z.clearCode = static_cast<std::uint16_t>(1u << minCodeSize);
    z.endCode = static_cast<std::uint16_t>(z.clearCode + 1);
    z.firstFree = static_cast<std::uint16_t>(z.clearCode + 2);
    z.nextCode = z.firstFree;
    z.initialCodeWidth = minCodeSize + 1;
    z.widthLimit = 1u << z.initialCodeWidth;
    // Data that does not begin with a clear code starts from the string of pixel 0.
    z.oldCode = 0;
    z.tableFull = 0;
    z.afterClear = 0;
    for (std::uint32_t i = 0; i < z.clearCode; ++i) {
        std::memset(t.piece[i], 0, kLzwPiece);
        t.piece[i][0] = static_cast<std::uint8_t>(i);
        t.prefix[i] = 0;
        t.length[i] = 1;
        t.first[i] = static_cast<std::uint8_t>(i);
    }
}

bool GifDecodeLzw(GifLzwState& z, GifLzwTables& t, GifCodeReader& r, GifPixelSink& s,
                  std::int64_t untilRows) {
    if (GifSinkComplete(s))
        return true;
    // The hot state lives in locals: every pixel store could otherwise alias it.
    const std::uint32_t clear = z.clearCode;
    const std::uint32_t endCode = z.endCode;
    std::uint32_t nextCode = z.nextCode;
    std::uint32_t widthLimit = z.widthLimit;
    std::uint32_t oldCode = z.oldCode;
    bool tableFull = z.tableFull != 0;
    bool afterClear = z.afterClear != 0;
    std::uint64_t bits = r.bits;
    std::int32_t bitCount = r.bitCount;
    std::int32_t codeWidth = r.codeWidth;
    std::uint32_t codeMask = r.codeMask;
    const std::uint8_t* block = r.block;
    std::int32_t blockLeft = r.blockLeft;
    const std::int32_t width = s.width;
    const bool inPlace = !s.maskMode;
    std::int32_t column = s.column;
    std::int32_t rowsDone = s.rowsDone;
    std::uint8_t* row = RowAt(s);
    bool done = false;

    const auto saveReader = [&] {
        r.bits = bits;
        r.bitCount = bitCount;
        r.codeWidth = codeWidth;
        r.codeMask = codeMask;
        r.block = block;
        r.blockLeft = blockLeft;
    };
    const auto loadReader = [&] {
        bits = r.bits;
        bitCount = r.bitCount;
        block = r.block;
        blockLeft = r.blockLeft;
    };
    // Hands a string of n pixels to the sink's general path (row ends, interlacing, mask).
    const auto putSlow = [&](const std::uint8_t* p, std::int32_t n) {
        s.column = column;
        PutString(s, p, n);
        column = s.column;
        rowsDone = s.rowsDone;
        if (!GifSinkComplete(s))
            row = RowAt(s);
    };

    do {
        std::uint32_t code;
        if (bitCount < codeWidth) {
            if (blockLeft >= 8) {
                const std::int32_t n = (63 - bitCount) >> 3;
                bits |= (LoadLE64(block) & ((std::uint64_t{1} << (8 * n)) - 1)) << bitCount;
                bitCount += 8 * n;
                block += n;
                blockLeft -= n;
            } else {
                saveReader();
                GifRefillCodes(r);
                loadReader();
                if (bitCount < codeWidth) {
                    done = true;
                    break;
                }
            }
        }
        code = static_cast<std::uint32_t>(bits) & codeMask;
        bits >>= codeWidth;
        bitCount -= codeWidth;
        if (code == endCode) {
            done = true;
            break;
        }
        if (code == clear) {
            nextCode = z.firstFree;
            codeWidth = z.initialCodeWidth;
            codeMask = (1u << codeWidth) - 1;
            widthLimit = 1u << codeWidth;
            tableFull = false;
            afterClear = true;
            oldCode = 0;
            continue;
        }
        if (code < clear && afterClear) {
            // The first pixel of a new table adds no entry.
            afterClear = false;
            oldCode = code;
            const std::uint8_t pixel = static_cast<std::uint8_t>(code);
            if (inPlace && column < width - 1) {
                row[column++] = pixel;
            } else {
                putSlow(&pixel, 1);
                if (GifSinkComplete(s)) {
                    done = true;
                    break;
                }
            }
            continue;
        }
        afterClear = false;
        // A code at or beyond the next free slot stands for the last string and its own
        // first pixel.
        const bool known = code < nextCode;
        const std::uint32_t from = known ? code : oldCode;
        const std::int32_t fromLength = t.length[from];
        const std::int32_t length = fromLength + (known ? 0 : 1);
        const std::uint8_t first = t.first[from];
        const bool inRow =
            inPlace && width - column >= fromLength + static_cast<std::int32_t>(kLzwPiece);
        if (inRow) {
            // The string and its last piece's spill fit the row, which it does not end.
            std::uint8_t* dst = row + column;
            WritePieces(t, from, dst);
            if (!known)
                dst[length - 1] = first;
            column += length;
        } else {
            WritePieces(t, from, t.stack);
            if (!known)
                t.stack[length - 1] = first;
            putSlow(t.stack, length);
        }
        if (!tableFull) {
            // The new entry: the last string followed by this string's first pixel.
            const std::uint32_t entry = nextCode;
            const std::uint32_t oldLength = t.length[oldCode];
            const std::uint32_t slot = oldLength & (kLzwPiece - 1u);
            if (slot != 0) {
                std::memcpy(t.piece[entry], t.piece[oldCode], kLzwPiece);
                t.prefix[entry] = t.prefix[oldCode];
            } else {
                std::memset(t.piece[entry], 0, kLzwPiece);
                t.prefix[entry] = static_cast<std::uint16_t>(oldCode);
            }
            t.piece[entry][slot] = first;
            t.length[entry] = static_cast<std::uint16_t>(oldLength + 1);
            t.first[entry] = t.first[oldCode];
            ++nextCode;
            if (nextCode >= widthLimit) {
                if (codeWidth < kLzwMaxCodeWidth) {
                    ++codeWidth;
                    widthLimit <<= 1;
                    codeMask = (1u << codeWidth) - 1;
                } else {
                    tableFull = true;
                }
            }
        }
        // A code beyond the table was entered at the next free slot: that is its code now.
        oldCode = known ? code : nextCode - 1u;
        // Only the sink's general path completes rows.
        if (!inRow && GifSinkComplete(s)) {
            done = true;
            break;
        }
    } while (rowsDone < untilRows);

    saveReader();
    s.column = column;
    z.nextCode = static_cast<std::uint16_t>(nextCode);
    z.widthLimit = widthLimit;
    z.oldCode = static_cast<std::uint16_t>(oldCode);
    z.tableFull = tableFull ? 1 : 0;
    z.afterClear = afterClear ? 1 : 0;
    return done || GifSinkComplete(s);
}

}  // namespace imagelib
