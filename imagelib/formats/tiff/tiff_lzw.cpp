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

// Copies n bytes within the output; the source always ends at or before the target.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t n) {
    if (n <= 16) {
        for (std::uint32_t i = 0; i < n; ++i)
            dst[i] = src[i];
    } else {
        std::memmove(dst, src, n);
    }
}

}  // namespace

int TiffLzwDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                  TiffLzwTables* lzw) {
    // Every strip starts from empty tables, as if they were new.
    std::memset(lzw->prefix, 0, sizeof lzw->prefix);
    std::memset(lzw->suffix, 0, sizeof lzw->suffix);
    TiffLzwCodes codes{in.bytes, in.bytes + in.size, 0, 0};
    int width = kMinWidth;
    std::uint32_t limit = kMinLimit;
    std::uint32_t next = kFirstCode;
    bool frozen = false;
    std::uint32_t prev = 0;
    std::uint8_t first = 0;
    std::int64_t out = 0;
    // Where the previous code's string was written, its length, and whether it was written
    // out whole and is the string its code stands for in the table.
    std::int64_t prevPos = 0;
    std::uint32_t prevLen = 0;
    bool prevKnown = false;

    std::uint32_t code = codes.TiffLzwReadCode(width);
    for (;;) {
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
            prevLen = 1;
            prevKnown = code < 256 && out < expected;
            if (out < expected)
                dst[out++] = static_cast<std::uint8_t>(code);
            prev = code;
            first = static_cast<std::uint8_t>(code);
            frozen = false;
            code = codes.TiffLzwReadCode(width);
            continue;
        }
        const std::int64_t start = out;
        bool known = false;  // this code's output is its table string, written whole
        std::uint32_t len = 0;
        if (out >= expected) {
            // The strip is complete: what follows only has to reach its end code.
        } else if (code < 256) {
            dst[out++] = static_cast<std::uint8_t>(code);
            first = static_cast<std::uint8_t>(code);
            len = 1;
            known = true;
        } else if (code >= kFirstCode && code < next && lzw->len[code] != 0) {
            len = lzw->len[code];
            const std::uint8_t* src = dst + lzw->pos[code];
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(len, expected - out));
            first = src[0];
            CopyString(dst + out, src, n);
            out += n;
            known = n == len;
        } else if (code >= next && prevKnown) {
            // The previous string followed by its own first byte.
            len = prevLen + 1;
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(len, expected - out));
            const std::uint8_t* src = dst + prevPos;
            first = src[0];
            CopyString(dst + out, src, std::min(n, prevLen));
            if (n == len)
                dst[out + prevLen] = first;
            out += n;
            known = n == len && !frozen && code == next;
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
                lzw->stack[depth++] = lzw->suffix[c];
                c = lzw->prefix[c];
            }
            if (depth >= kMaxStackDepth)
                return kTiffBadLzw;
            first = static_cast<std::uint8_t>(c);
            lzw->stack[depth++] = first;
            len = depth;
            const auto n =
                static_cast<std::uint32_t>(std::min<std::int64_t>(depth, expected - out));
            for (std::uint32_t i = 0; i < n; ++i)
                dst[out + i] = lzw->stack[depth - 1 - i];
            out += n;
            known = n == depth && (code < next || (!frozen && code == next));
        }
        if (!frozen) {
            if (next >= kMaxCode)
                return kTiffBadLzw;
            if (start < expected) {
                lzw->prefix[next] = static_cast<std::uint16_t>(prev);
                lzw->suffix[next] = first;
                // The new string is the previous one plus this one's first byte: known
                // when both were written whole, one after the other.
                const bool entryKnown = prevKnown && out > start;
                lzw->len[next] = entryKnown ? static_cast<std::uint16_t>(prevLen + 1) : 0;
                lzw->pos[next] = static_cast<std::uint32_t>(prevPos);
            }
            ++next;
            if (next == limit - 1) {
                if (width < kMaxWidth) {
                    ++width;
                    limit *= 2;
                } else {
                    frozen = true;
                }
            }
        }
        prev = code;
        prevPos = start;
        prevLen = len;
        prevKnown = known;
        code = codes.TiffLzwReadCode(width);
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
