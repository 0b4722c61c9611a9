// TIFF LZW: codes of 9 to 12 bits, most significant bit first, the width growing one code
// early (10 bits once code 510 is in the table); 256 clears the table, 257 ends the data.
//
// Speed: a code whose string this strip has already written out whole is copied from
// there (its string is the previous code's string plus one byte, so it lies in the output
// right where the previous code's string began). Only codes whose string is not known so
// (after odd data, or once the output was cut at the expected count) walk their prefix
// chain through the stack, which is bounded.
#include <algorithm>
#include <cstring>

#include "core/result_codes.h"
#include "formats/tiff/tiff_codes.h"
#include "formats/tiff/tiff_strip.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kClearCode = 256;
constexpr std::uint32_t kEndOfInformation = 257;
constexpr std::uint32_t kFirstCode = 258;
constexpr std::uint32_t kEndOfData = 65535;  // what the code reader gives past the data
constexpr int kMinWidth = 9;
constexpr int kMaxWidth = 12;
constexpr std::uint32_t kMinLimit = 512;
constexpr std::uint32_t kMaxCode = 4096;
constexpr std::uint32_t kMaxStackDepth = 4096;

// The code reader over one strip's bytes: a 64-bit window refilled from the data.
struct TiffLzwCodes {
    const std::uint8_t* p;
    const std::uint8_t* end;
    std::uint64_t window;  // the low `bits` bits are unread
    int bits;

    // The next code of width bits, or kEndOfData when fewer bits are left.
    std::uint32_t TiffLzwReadCode(int width) {
        if (bits < width) {
            if (end - p >= 8) {
                std::uint64_t w;
                std::memcpy(&w, p, 8);
                w = __builtin_bswap64(w);
                const int take = (63 - bits) >> 3;
                window = window << (take * 8) | w >> (64 - take * 8);
                p += take;
                bits += take * 8;
            } else {
                while (bits < width && p < end) {
                    window = window << 8 | *p++;
                    bits += 8;
                }
                if (bits < width)
                    return kEndOfData;
            }
        }
        bits -= width;
        return static_cast<std::uint32_t>(window >> bits) & ((1u << width) - 1);
    }
};

// Every byte value once: the strings of the codes 0 to 255.
constexpr struct ByteStrings {
    std::uint8_t bytes[256 + 16];  // 16 more, so that a string is always copied as 16 bytes
    constexpr ByteStrings() : bytes() {
        for (int i = 0; i < 256; ++i)
            bytes[i] = static_cast<std::uint8_t>(i);
    }
} kByteStrings;

// Copies a string of n bytes to dst, from earlier output or the byte strings; it never
// passes dst. With room for 16 bytes at dst a short string is moved as two 8-byte words,
// both read before either is written.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t n,
                       std::int64_t room) {
    if (n <= 16 && room >= 16) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + 8, &b, 8);
    } else {
        std::memmove(dst, src, n);
    }
}

}  // namespace

void TiffLzwStart(TiffLzwTables* lzw) {
    for (std::uint32_t c = 0; c < 256; ++c)
        lzw->entry[c] = TiffLzwEntry{&kByteStrings.bytes[c], 1, 0};
}

int TiffLzwDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                  TiffLzwTables* lzw) {
    TiffLzwEntry* const entry = lzw->entry;
    std::uint8_t* const suffix = lzw->suffix;
    // Entries 258 up to written were made by this strip; all others read as 0, as in
    // tables made new for the strip.
    std::uint32_t written = kFirstCode;
    TiffLzwCodes codes{in.bytes, in.bytes + in.size, 0, 0};
    int width = kMinWidth;
    std::uint32_t limit = kMinLimit;
    std::uint32_t next = kFirstCode;
    bool frozen = false;
    std::uint32_t prev = 0;
    std::uint8_t first = 0;
    std::int64_t out = 0;
    // Where the previous code's string was written, and its length when it was written out
    // whole and is the string its code stands for in the table (else 0).
    std::int64_t prevPos = 0;
    std::uint32_t prevLen = 0;

    // A new table entry: the previous string plus the first byte of the one just written.
    // Known when both were written whole, one after the other.
    const auto addEntry = [&](std::int64_t start) {
        if (next >= written)
            written = next + 1;
        const bool known = prevLen != 0 && out > start;
        entry[next] =
            TiffLzwEntry{dst + prevPos, static_cast<std::uint16_t>(known ? prevLen + 1 : 0),
                         static_cast<std::uint16_t>(prev)};
        suffix[next] = first;
    };
    const auto grow = [&] {
        ++next;
        if (next == limit - 1) {
            if (width < kMaxWidth) {
                ++width;
                limit *= 2;
            } else {
                frozen = true;
            }
        }
    };

    for (;;) {
        std::uint32_t code = codes.TiffLzwReadCode(width);
        std::int64_t room = expected - out;
        // The common case: a known string with room to spare.
        if (code < next) {
            const TiffLzwEntry e = entry[code];
            if (e.len != 0 && room >= std::int64_t{e.len} + 16) {
                const std::int64_t start = out;
                first = e.string[0];
                CopyString(dst + out, e.string, e.len, room);
                out += e.len;
                if (!frozen) {
                    addEntry(start);
                    grow();
                }
                prev = code;
                prevPos = start;
                prevLen = e.len;
                continue;
            }
        }
        if (code == kEndOfData)
            return kReadError;
        if (code == kEndOfInformation)
            return kOk;
        if (code == kClearCode) {
            width = kMinWidth;
            limit = kMinLimit;
            next = kFirstCode;
            code = codes.TiffLzwReadCode(width);
            if (code == kEndOfInformation)
                return kOk;
            if (code == kEndOfData)
                return kReadError;
            // The code after a clear is taken as a byte, whatever its value.
            prevPos = out;
            prevLen = code < 256 && out < expected ? 1 : 0;
            if (out < expected)
                dst[out++] = static_cast<std::uint8_t>(code);
            prev = code;
            first = static_cast<std::uint8_t>(code);
            frozen = false;
            continue;
        }
        const std::int64_t start = out;
        std::uint32_t len = 0;  // set when this code's output is its table string, written whole
        if (room <= 0) {
            // The strip is complete: what follows only has to reach its end code.
        } else if (code < next && entry[code].len != 0 && (code < 256 || code >= kFirstCode)) {
            const TiffLzwEntry e = entry[code];
            first = e.string[0];
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(e.len, room));
            CopyString(dst + out, e.string, n, room);
            out += n;
            len = n == e.len ? e.len : 0;
        } else if (code >= next && prevLen != 0) {
            // The previous string followed by its own first byte.
            const std::uint32_t whole = prevLen + 1;
            const std::uint8_t* src = dst + prevPos;
            first = src[0];
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(whole, room));
            CopyString(dst + out, src, std::min(n, prevLen), room);
            if (n == whole)
                dst[out + prevLen] = first;
            out += n;
            len = n == whole && !frozen && code == next ? whole : 0;
        } else {
            // Walk the prefix chain onto the stack, then write it out in reverse.
            std::uint32_t depth = 0;
            std::uint32_t c = code;
            if (code >= next) {
                lzw->stack[depth++] = first;
                c = prev;
            }
            while (c > 255) {
                if (depth >= kMaxStackDepth || c >= kMaxCode)
                    return kTiffBadLzw;
                const bool made = c >= kFirstCode && c < written;
                lzw->stack[depth++] = made ? suffix[c] : 0;
                c = made ? entry[c].prefix : 0;
            }
            if (depth >= kMaxStackDepth)
                return kTiffBadLzw;
            first = static_cast<std::uint8_t>(c);
            lzw->stack[depth++] = first;
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(depth, room));
            for (std::uint32_t i = 0; i < n; ++i)
                dst[out + i] = lzw->stack[depth - 1 - i];
            out += n;
            len = n == depth && (code < next || (!frozen && code == next)) ? depth : 0;
        }
        if (!frozen) {
            if (next >= kMaxCode)
                return kTiffBadLzw;
            if (room > 0)
                addEntry(start);
            grow();
        }
        prev = code;
        prevPos = start;
        prevLen = len;
    }
}

int TiffLzwDecodePredict(const TiffStripData& in, std::uint32_t predictor, std::uint32_t samples,
                         std::int64_t width, std::uint8_t* dst, std::int64_t expected,
                         TiffLzwTables* lzw) {
    const int r = TiffLzwDecode(in, dst, expected, lzw);
    if (r != kOk || predictor != 2)
        return r;
    // Horizontal differencing undone: each byte from the samples-th on of a row adds the
    // byte samples places before it.
    const std::int64_t rowBytes = std::int64_t{samples} * width;
    if (rowBytes <= 0)
        return r;
    for (std::int64_t row = 0; row + rowBytes <= expected; row += rowBytes) {
        std::uint8_t* p = dst + row;
        for (std::int64_t i = samples; i < rowBytes; ++i)
            p[i] = static_cast<std::uint8_t>(p[i] + p[i - samples]);
    }
    return r;
}

}  // namespace imagelib
