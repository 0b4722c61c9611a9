// TIFF LZW: codes of 9 to 12 bits, most significant bit first, the width growing one code
// early (10 bits once code 510 is in the table); 256 clears the table, 257 ends the data.
//
// Speed: most strings of a photograph are a few bytes long, so a code's table word holds
// a string of up to 7 bytes itself and is stored to the output as one 8-byte word; a new
// entry's word is the previous word with one byte more. A longer string is copied from
// where it was written before (its string is the previous code's string plus one byte, so
// it lies in the output right where the previous code's string began). Only codes whose
// string is not known so (after odd data, or once the output was cut at the expected
// count) walk their prefix chain through the stack, which is bounded.
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
constexpr int kMinWidth = 9;
constexpr int kMaxWidth = 12;
constexpr std::uint32_t kMaxCode = 4096;
// The next code once the table is full: no entry is made until a clear.
constexpr std::uint32_t kFrozen = kMaxCode - 1;
constexpr std::uint32_t kMaxStackDepth = 4096;

// A table word (see TiffLzwTables): the top byte is 0 for a string not known, 1 to 7 for
// the length of a string held in the low bytes, kLongWord for a longer one at an output
// offset (low 32 bits) with its length (the 16 bits above them).
constexpr std::uint32_t kShortMax = 7;
constexpr std::uint32_t kLongWord = 0x80;
constexpr std::int64_t kMaxLongOffset = 0xFFFFFFFF;
constexpr std::uint32_t kMaxLongLength = 0xFFFF;

inline std::uint32_t WordTop(std::uint64_t w) {
    return static_cast<std::uint32_t>(w >> 56);
}

inline bool ShortWord(std::uint64_t w) {
    return WordTop(w) - 1 < kShortMax;
}

inline std::uint32_t LongLength(std::uint64_t w) {
    return static_cast<std::uint32_t>(w >> 32) & 0xFFFF;
}

inline std::uint32_t LongOffset(std::uint64_t w) {
    return static_cast<std::uint32_t>(w);
}

inline std::uint64_t LongWord(std::int64_t offset, std::uint32_t len) {
    if (offset > kMaxLongOffset || len > kMaxLongLength)
        return 0;
    return std::uint64_t{kLongWord} << 56 | std::uint64_t{len} << 32 |
           static_cast<std::uint32_t>(offset);
}

// The length of a known word's string.
inline std::uint32_t WordLength(std::uint64_t w) {
    return ShortWord(w) ? WordTop(w) : LongLength(w);
}

// The word of n bytes of output at offset (n of 1 or more).
inline std::uint64_t WordOf(const std::uint8_t* dst, std::int64_t offset, std::uint32_t n) {
    if (n > kShortMax)
        return LongWord(offset, n);
    std::uint64_t w = std::uint64_t{n} << 56;
    for (std::uint32_t i = 0; i < n; ++i)
        w |= std::uint64_t{dst[offset + i]} << (8 * i);
    return w;
}

// The word of a new entry: the previous string, known by its word and written whole at
// prevPos, followed by the byte first (which the output holds right after it). A short
// word's bytes past its length are 0, so the byte is added in.
inline std::uint64_t Extend(std::uint64_t prev, std::int64_t prevPos, std::uint8_t first) {
    const std::uint32_t top = WordTop(prev);
    if (top - 1 < kShortMax - 1)
        return prev + (std::uint64_t{first} << (8 * top)) + (std::uint64_t{1} << 56);
    if (top == 0)
        return 0;
    return LongWord(prevPos, (top == kShortMax ? kShortMax : LongLength(prev)) + 1);
}

// Writes the first n bytes of a known word's string to dst + out, never past n.
inline void WriteString(std::uint8_t* dst, std::int64_t out, std::uint64_t w, std::uint32_t n) {
    if (ShortWord(w)) {
        for (std::uint32_t i = 0; i < n; ++i)
            dst[out + i] = static_cast<std::uint8_t>(w >> (8 * i));
    } else {
        std::memmove(dst + out, dst + LongOffset(w), n);
    }
}

inline std::uint8_t FirstByte(const std::uint8_t* dst, std::uint64_t w) {
    return ShortWord(w) ? static_cast<std::uint8_t>(w) : dst[LongOffset(w)];
}

// Copies a string of n bytes from earlier output at src to dst, 16 bytes at a time; it
// may write up to 15 bytes past n, so there must be room for n + 16.
inline void CopyLong(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; i += 16) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, src + i, 8);
        std::memcpy(&b, src + i + 8, 8);
        std::memcpy(dst + i, &a, 8);
        std::memcpy(dst + i + 8, &b, 8);
    }
}

constexpr std::uint32_t kNoCode = 0xFFFFFFFF;

// The code width for the next code to be made: 9 bits up to code 510, 10 from 511 (one
// code early), up to 12.
inline int CodeWidth(std::uint32_t next) {
    return std::min(32 - __builtin_clz(next + 1), kMaxWidth);
}

// The common codes, one after the other: a known string with room to spare, or the string
// of the code about to be made (the previous one plus its own first byte) when that is
// short, written below stop. Returns the first code read that is none of them, or kNoCode
// when the data or the room left are too few for the checks below. The state lives in few
// locals here (the width follows from next; output places are pointers), so that it stays
// in registers.
[[gnu::always_inline]] inline std::uint32_t TiffLzwDecodeKnown(TiffLzwRun& r, TiffLzwTables* lzw,
                                                               std::uint8_t* dst,
                                                               std::int64_t stop) {
    TiffLzwCodes codes = r.codes;
    std::uint32_t next = r.next;
    std::uint32_t prev = r.prev;
    std::uint8_t* q = dst + r.out;
    std::uint8_t* prevQ = dst + r.prevPos;
    std::uint64_t prevWord = r.prevWord;
    std::uint8_t* const qEnd = dst + stop;
    std::uint32_t code = kNoCode;
    for (;;) {
        // A batch of codes that need no bounds checked one by one: the reader holds at most
        // 63 bits and a code takes at most 12, so that after k codes it has moved at most
        // 8 + 1.5 k bytes on and still finds 8 bytes to load; and a short string, stored as
        // 8 bytes, moves the output at most 7 on.
        std::int64_t batch = std::min((codes.end - codes.p - 16) * 2 / 3, (qEnd - q) / 8);
        if (batch <= 0)
            break;
        for (; batch > 0; --batch) {
            code = codes.TiffLzwReadCodeFast(CodeWidth(next));
            std::uint64_t w;
            if (code < next) {
                w = lzw->word[code];
            } else if (code == next && next != kFrozen && WordTop(prevWord) - 1 < kShortMax - 1) {
                w = Extend(prevWord, 0, static_cast<std::uint8_t>(prevWord));
            } else {
                break;
            }
            std::uint32_t len = WordTop(w);
            std::uint8_t first;
            if (len - 1 < kShortMax) {
                std::memcpy(q, &w, 8);
                first = static_cast<std::uint8_t>(w);
            } else if (len == kLongWord) {
                len = LongLength(w);
                if (qEnd - q < std::int64_t{len} + 16)
                    break;
                const std::uint8_t* src = dst + LongOffset(w);
                first = src[0];
                CopyLong(q, src, len);
                // The room left is no longer what the batch was sized by.
                batch = 1;
            } else {
                break;
            }
            // While the table is full this makes entry kFrozen over and over, which nothing
            // reads: it is never below next, and never counted as made.
            lzw->word[next] = Extend(prevWord, prevQ - dst, first);
            lzw->prefix[next] = static_cast<std::uint16_t>(prev);
            lzw->suffix[next] = first;
            if (next != kFrozen)
                ++next;
            prev = code;
            prevQ = q;
            prevWord = w;
            q += len;
            code = kNoCode;
        }
        if (code != kNoCode)
            break;
    }
    r.codes = codes;
    r.next = next;
    r.prev = prev;
    r.out = q - dst;
    r.prevPos = prevQ - dst;
    r.prevWord = prevWord;
    if (prevWord != 0)
        r.first = *prevQ;
    return code;
}

// The decoder proper, on a run that is a local of its one caller, so that the compiler
// keeps the run's fields in registers rather than in the caller's memory; one copy for
// the strip's last window (or the whole strip) and one for a window short of it.
template <bool last>
int DecodeCodes(TiffLzwRun& r, TiffLzwTables* lzw, std::uint8_t* dst, std::int64_t limit) {
    std::uint64_t* const word = lzw->word;
    std::uint16_t* const prefix = lzw->prefix;
    std::uint8_t* const suffix = lzw->suffix;
    // Short of the strip's end the common codes stop a longest string and its overshoot
    // before the limit, so that the code they stop at is written whole below.
    const std::int64_t stop = last ? limit : limit - kTiffLzwWindowSlack / 2;
    for (;;) {
        if (!last && limit - r.out < kTiffLzwWindowSlack)
            return kTiffLzwWindowFull;
        std::uint32_t code = TiffLzwDecodeKnown(r, lzw, dst, stop);
        if (code == kNoCode)
            code = r.codes.TiffLzwReadCode(CodeWidth(r.next));
        if (code == kTiffLzwEndOfData)
            return kReadError;
        if (code == kEndOfInformation)
            return kOk;
        if (code == kClearCode) {
            r.written = std::max(r.written, r.next);
            r.next = kFirstCode;
            code = r.codes.TiffLzwReadCode(kMinWidth);
            if (code == kEndOfInformation)
                return kOk;
            if (code == kTiffLzwEndOfData)
                return kReadError;
            // The code after a clear is taken as a byte, whatever its value.
            r.prevPos = r.out;
            r.prevWord = code < 256 && r.out < limit ? word[code] : 0;
            if (r.out < limit)
                dst[r.out++] = static_cast<std::uint8_t>(code);
            r.prev = code;
            r.first = static_cast<std::uint8_t>(code);
            continue;
        }
        const std::uint32_t next = r.next;
        const bool frozen = next == kFrozen;
        const std::int64_t room = limit - r.out;
        const std::int64_t start = r.out;
        std::uint32_t len = 0;  // set when this code's output is its table string, written whole
        if (__builtin_expect(room <= 0, 0)) {
            // The strip is complete and this code is where its data go on past it (its end
            // code, or the end of its data, was taken above): they are not decoded.
            return kOk;
        } else if (code < next && word[code] != 0 && (code < 256 || code >= kFirstCode)) {
            const std::uint64_t w = word[code];
            const std::uint32_t whole = WordLength(w);
            r.first = FirstByte(dst, w);
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(whole, room));
            WriteString(dst, start, w, n);
            r.out += n;
            len = n == whole ? whole : 0;
        } else if (code >= next && r.prevWord != 0) {
            // The previous string followed by its own first byte.
            const std::uint32_t prevLen = WordLength(r.prevWord);
            const std::uint32_t whole = prevLen + 1;
            r.first = dst[r.prevPos];
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(whole, room));
            std::memmove(dst + start, dst + r.prevPos, std::min(n, prevLen));
            if (n == whole)
                dst[start + prevLen] = r.first;
            r.out += n;
            len = n == whole && !frozen && code == next ? whole : 0;
        } else {
            // Walk the prefix chain onto the stack, then write it out in reverse.
            r.written = std::max(r.written, next);
            std::uint32_t depth = 0;
            std::uint32_t c = code;
            if (code >= next) {
                lzw->stack[depth++] = r.first;
                c = r.prev;
            }
            while (c > 255) {
                if (depth >= kMaxStackDepth || c >= kMaxCode)
                    return kTiffBadLzw;
                const bool made = c >= kFirstCode && c < r.written;
                lzw->stack[depth++] = made ? suffix[c] : 0;
                c = made ? prefix[c] : 0;
            }
            if (depth >= kMaxStackDepth)
                return kTiffBadLzw;
            r.first = static_cast<std::uint8_t>(c);
            lzw->stack[depth++] = r.first;
            const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(depth, room));
            for (std::uint32_t i = 0; i < n; ++i)
                dst[start + i] = lzw->stack[depth - 1 - i];
            r.out += n;
            len = n == depth && (code < next || (!frozen && code == next)) ? depth : 0;
        }
        if (!frozen) {
            // A new entry: the previous string plus the first byte of the one just written,
            // known when both were written whole, one after the other.
            word[next] = Extend(r.prevWord, r.prevPos, r.first);
            prefix[next] = static_cast<std::uint16_t>(r.prev);
            suffix[next] = r.first;
            ++r.next;
        }
        r.prev = code;
        r.prevPos = start;
        r.prevWord = len != 0 ? WordOf(dst, start, len) : 0;
    }
}

// The decoder on a copy of the run, which is written back at the end. Each kind is a
// function of its own: both in one function made the common codes' loop slower.
template <bool last>
[[gnu::noinline]] int DecodeOn(TiffLzwRun& r, TiffLzwTables* lzw, std::uint8_t* dst,
                               std::int64_t limit) {
    TiffLzwRun run = r;
    const int result = DecodeCodes<last>(run, lzw, dst, limit);
    r = run;
    return result;
}

}  // namespace

void TiffLzwStart(TiffLzwTables* lzw) {
    for (std::uint32_t c = 0; c < 256; ++c)
        lzw->word[c] = std::uint64_t{1} << 56 | c;
}

TiffLzwRun TiffLzwBegin(const TiffStripData& in) {
    // Entries 258 up to written were made by this strip; all others read as 0, as in
    // tables made new for the strip. Every entry below next was made (a strip is not
    // decoded past its end), so written is brought up to next only at a clear and where it
    // is read.
    return TiffLzwRun{
        TiffLzwCodes{in.bytes, in.bytes + in.size, 0, 0}, kFirstCode, kFirstCode, 0, 0, 0, 0, 0};
}

int TiffLzwDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                  TiffLzwTables* lzw) {
    TiffLzwRun r = TiffLzwBegin(in);
    const int result = TiffLzwDecodeRun(r, lzw, dst, expected, true);
    TiffCountStripBytes(r.codes.p - in.bytes);
    // The string stores may write a few bytes past the output so far; what the strip's
    // data leave unfilled reads as 0 all the same.
    if (result == kOk && r.out < expected)
        std::memset(dst + r.out, 0,
                    static_cast<std::size_t>(std::min<std::int64_t>(expected - r.out, 16)));
    return result;
}

int TiffLzwDecodeRun(TiffLzwRun& r, TiffLzwTables* lzw, std::uint8_t* dst, std::int64_t limit,
                     bool last) {
    return last ? DecodeOn<true>(r, lzw, dst, limit) : DecodeOn<false>(r, lzw, dst, limit);
}

void TiffLzwShift(TiffLzwRun& r, TiffLzwTables* lzw, std::int64_t shift) {
    r.out -= shift;
    r.prevPos -= shift;
    // The previous string is written whole at prevPos, which stays in the window.
    if (r.prevWord != 0 && !ShortWord(r.prevWord))
        r.prevWord = LongWord(r.prevPos, LongLength(r.prevWord));
    for (std::uint32_t c = kFirstCode; c < kTiffLzwTableSize; ++c) {
        const std::uint64_t w = lzw->word[c];
        if (WordTop(w) == kLongWord)
            lzw->word[c] = LongOffset(w) < shift ? 0 : w - static_cast<std::uint64_t>(shift);
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
