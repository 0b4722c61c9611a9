// The inflater. Symbols are decoded through lookup tables (png_huffman.h) from a 64-bit
// bit buffer filled from the source's spans where they lie; the output is produced into
// one buffer that keeps the last 32 KiB (the DEFLATE window) in front of the bytes not yet
// handed on, so that a match is copied with wide moves and never reaches outside the bytes
// produced.
#include "formats/png/png_inflate.h"

#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstring>

#include "core/tracked_memory.h"
#include "formats/png/png_huffman.h"

namespace imagelib {
namespace {

constexpr std::size_t kWindow = 32768;  // the farthest a DEFLATE distance reaches
constexpr std::size_t kChunk = 1u << 17;
constexpr std::size_t kMaxMatch = 258;
constexpr std::size_t kWideCopy = 16;  // a match moves this many bytes at a time
constexpr std::size_t kFlushAt = kWindow + kChunk;
// A round of the symbol loop starts below kFlushAt and writes at most two literal pairs,
// then a match whose last wide move may pass its end by kWideCopy - 1 bytes.
constexpr std::size_t kRoundBytes = 2 * 2 + kMaxMatch + kWideCopy - 1;
constexpr std::size_t kOutSize = kFlushAt + kRoundBytes;

constexpr std::uint32_t kMethodDeflate = 8;
constexpr std::uint32_t kMaxWindowBits = 7;  // CINFO: a window of 2^(7 + 8) bytes

constexpr char kBadHeader[] = "PNG ERROR: PngProcessData(), MSG_BAD_PNG_DATA(0).\n";
constexpr char kBadBlockType[] =
    "PNG ERROR: PngProcessData(), MSG_BAD_PNG_DATA(1), bad compression code encountered.\n";
constexpr char kBadSymbol[] = "PNG ERROR: PngExtractHuffSym(), MSG_BAD_PNG_DATA\n";

// Code-length symbols are sent in this order (RFC 1951, 3.2.7).
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                               11, 4,  12, 3, 13, 2, 14, 1, 15};
constexpr unsigned kMaxLitLenCodes = 286;
constexpr unsigned kMaxDistanceCodes = 30;

struct InflateTables {
    std::uint32_t litLen[kLitLenTableSize];
    std::uint32_t distance[kDistanceTableSize];
    std::uint32_t codeLength[kCodeLengthTableSize];
    std::uint8_t out[kOutSize];
    // Never written. Under AddressSanitizer it is poisoned while the inflater runs, so
    // that a write past out stops the program instead of landing in padding.
    std::uint8_t fence[8];
};

// Bits of the input, least significant first, taken from the source's spans in turn.
// After Refill at least 56 bits are held. Past the end of the data the buffer fills with
// zeros; Overrun() tells when any of them was taken, and Refill fails well before that
// could go on for long.
class BitReader {
  public:
    explicit BitReader(const PngInflateSource& source) : source_(&source) {}

    bool Refill() {
        if (end_ - next_ >= 8) {
            // The bytes beyond the counted bits are loaded too; they are the next bytes of
            // the span at their own places, so loading them again later changes nothing.
            std::uint64_t word;
            std::memcpy(&word, next_, 8);
            buf_ |= word << count_;
            next_ += (63 - count_) >> 3;
            count_ |= 56;
            return true;
        }
        return RefillByBytes();
    }
    std::uint64_t Bits() const { return buf_; }
    void Drop(unsigned n) {
        buf_ >>= n;
        count_ -= n;
    }
    unsigned Take(unsigned n) {
        const unsigned v = static_cast<unsigned>(buf_ & ((std::uint64_t{1} << n) - 1));
        Drop(n);
        return v;
    }
    // Bits taken so far, counted from the start of the data.
    std::uint64_t Consumed() const {
        return (before_ + static_cast<std::uint64_t>(next_ - start_) + zeros_) * 8 - count_;
    }
    bool Overrun() const { return zeros_ * 8 > count_; }
    void ToByteBoundary() { Drop(count_ & 7); }
    // Copies up to n bytes from the byte boundary on: the whole bytes held, then straight
    // from the spans. The count copied, fewer than n when the data end.
    std::uint64_t ReadBytes(std::uint8_t* dst, std::uint64_t n) {
        std::uint64_t done = 0;
        while (done < n && count_ >= 8 + zeros_ * 8)
            dst[done++] = static_cast<std::uint8_t>(Take(8));
        if (done == n || zeros_ > 0)
            return done;
        buf_ = 0;  // no bit is held, but bytes loaded ahead may be: they are read below
        while (done < n && (next_ != end_ || NextSpan())) {
            const std::uint64_t have = static_cast<std::uint64_t>(end_ - next_);
            const std::uint64_t k = n - done < have ? n - done : have;
            std::memcpy(dst + done, next_, k);
            next_ += k;
            done += k;
        }
        return done;
    }

  private:
    bool RefillByBytes() {
        while (count_ <= 56) {
            std::uint64_t byte = 0;
            if (next_ != end_ || NextSpan())
                byte = *next_++;
            else
                ++zeros_;
            buf_ |= byte << count_;
            count_ += 8;
        }
        return zeros_ <= 8;
    }
    // Moves to the next span that is not empty; false at the end of the data.
    bool NextSpan() {
        const std::uint8_t* bytes = nullptr;
        std::uint64_t n = 0;
        while (!ended_) {
            if (!source_->next(source_->origin, &bytes, &n)) {
                ended_ = true;
            } else if (n > 0) {
                before_ += static_cast<std::uint64_t>(end_ - start_);
                start_ = next_ = bytes;
                end_ = bytes + n;
                return true;
            }
        }
        return false;
    }

    const PngInflateSource* source_;
    const std::uint8_t* start_ = nullptr;  // the current span
    const std::uint8_t* next_ = nullptr;   // its next byte to load
    const std::uint8_t* end_ = nullptr;
    std::uint64_t before_ = 0;  // bytes of the spans before it
    std::uint64_t zeros_ = 0;   // zero bytes loaded past the end of the data
    bool ended_ = false;
    std::uint64_t buf_ = 0;
    unsigned count_ = 0;  // bits held in buf_
};

struct Inflater {
    InflateTables* t;
    const PngInflateSink* sink;
    std::size_t op;       // next output byte in t->out
    std::size_t flushed;  // bytes of t->out already handed on
    bool fixedTables;     // the tables hold the fixed codes
};

// Hands the new bytes on, then keeps only the window in front of the buffer.
void Flush(Inflater& z) {
    if (z.op > z.flushed)
        z.sink->put(z.sink->target, z.t->out + z.flushed, z.op - z.flushed);
    if (z.op > kWindow) {
        std::memmove(z.t->out, z.t->out + z.op - kWindow, kWindow);
        z.op = kWindow;
    }
    z.flushed = z.op;
}

// Copies a match of len bytes from dist bytes back. dist is at least 1 and never more
// than the bytes in front of dst; up to kWideCopy - 1 bytes past the match may be written.
inline void CopyMatch(std::uint8_t* dst, std::size_t dist, std::size_t len) {
    const std::uint8_t* src = dst - dist;
    std::uint8_t* const end = dst + len;
    if (dist >= kWideCopy) {
        do {
            std::memcpy(dst, src, kWideCopy);
            dst += kWideCopy;
            src += kWideCopy;
        } while (dst < end);
        return;
    }
    if (dist >= 8) {
        do {
            std::memcpy(dst, src, 8);
            dst += 8;
            src += 8;
        } while (dst < end);
        return;
    }
    if (dist == 1) {
        std::memset(dst, *src, len);
        return;
    }
    // A short period: after the first 8 bytes the pattern repeats at a multiple of dist
    // that is at least 8, so the rest moves 8 bytes at a time.
    for (int i = 0; i < 8 && dst < end; ++i)
        *dst++ = *src++;
    const std::size_t period = (8 + dist - 1) / dist * dist;
    src = dst - period;
    while (dst < end) {
        std::memcpy(dst, src, 8);
        dst += 8;
        src += 8;
    }
}

inline std::uint32_t Lookup(const std::uint32_t* table, unsigned tableBits, std::uint64_t bits) {
    std::uint32_t e = table[bits & ((1u << tableBits) - 1)];
    if (HuffKind(e) == kHuffSubtable)
        e = table[HuffValue(e) + ((bits >> tableBits) & ((1u << HuffExtraBits(e)) - 1))];
    return e;
}

// Writes the one or two literals of e at dst; two bytes are always stored (the second
// is overwritten by what follows when the entry holds one).
inline std::size_t PutLiterals(std::uint8_t* dst, std::uint32_t e) {
    const auto bytes = static_cast<std::uint16_t>(HuffValue(e));
    std::memcpy(dst, &bytes, 2);
    return HuffLiteralCount(e);
}

// One Huffman block's symbols up to its end-of-block code; false on corrupt data. The
// bit reader is worked on as a local copy: the output bytes written through a byte
// pointer could otherwise alias it and keep it out of registers. After a refill three
// literal lookups (at most 15 bits each) fit the 56 bits held; a length code and its
// extra bits fit what is left after two, and the distance gets a refill of its own.
bool PngExtractHuffSym(Inflater& z, BitReader& reader) {
    BitReader br = reader;
    const std::uint32_t* lit = z.t->litLen;
    const std::uint32_t* dist = z.t->distance;
    std::uint8_t* const out = z.t->out;
    std::size_t op = z.op;
    bool ok = false;
    for (;;) {
        if (op >= kFlushAt) {
            z.op = op;
            Flush(z);
            op = z.op;
        }
        if (!br.Refill())
            break;
        std::uint32_t e = Lookup(lit, kLitLenTableBits, br.Bits());
        if (HuffIsLiterals(e)) {
            br.Drop(HuffCodeBits(e));
            op += PutLiterals(out + op, e);
            e = Lookup(lit, kLitLenTableBits, br.Bits());
            if (HuffIsLiterals(e)) {
                br.Drop(HuffCodeBits(e));
                op += PutLiterals(out + op, e);
                e = Lookup(lit, kLitLenTableBits, br.Bits());
                if (HuffIsLiterals(e)) {
                    br.Drop(HuffCodeBits(e));
                    op += PutLiterals(out + op, e);
                    continue;
                }
                // Only 26 bits may be left: enough for a length, not for its distance.
            }
        }
        br.Drop(HuffCodeBits(e));
        if (HuffKind(e) != kHuffLength) {
            ok = HuffKind(e) == kHuffEnd;
            break;
        }
        const std::size_t len = HuffValue(e) + br.Take(HuffExtraBits(e));
        if (!br.Refill())
            break;
        e = Lookup(dist, kDistanceTableBits, br.Bits());
        br.Drop(HuffCodeBits(e));
        if (HuffKind(e) != kHuffLength)
            break;
        const std::size_t d = HuffValue(e) + br.Take(HuffExtraBits(e));
        // Before the first slide op counts every byte produced; after it op is kWindow or
        // more, which no distance passes.
        if (d > op)
            break;
        CopyMatch(out + op, d, len);
        op += len;
    }
    z.op = op;
    reader = br;
    return ok;
}

bool PngFixedHuffTables(Inflater& z) {
    if (z.fixedTables)
        return true;
    std::uint8_t lengths[kLitLenSymbols];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    std::uint8_t distances[kDistanceSymbols];
    std::memset(distances, 5, sizeof distances);
    z.fixedTables = PngBuildHuffCodes(lengths, kLitLenSymbols, HuffAlphabet::kLitLen, z.t->litLen,
                                      kLitLenTableBits, kLitLenTableSize) &&
                    PngBuildHuffCodes(distances, kDistanceSymbols, HuffAlphabet::kDistance,
                                      z.t->distance, kDistanceTableBits, kDistanceTableSize);
    return z.fixedTables;
}

// The code lengths of a dynamic block (RFC 1951, 3.2.7) into lengths; false when they
// are corrupt: a repeat with nothing before it, or runs past the count.
bool ReadCodeLengths(Inflater& z, BitReader& br, std::uint8_t* lengths, unsigned total) {
    unsigned n = 0;
    while (n < total) {
        if (!br.Refill())
            return false;
        const std::uint32_t e = z.t->codeLength[br.Bits() & (kCodeLengthTableSize - 1)];
        br.Drop(HuffCodeBits(e));
        const unsigned symbol = HuffValue(e);
        if (symbol < 16) {
            lengths[n++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (n == 0)
                return false;
            value = lengths[n - 1];
            repeat = 3 + br.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + br.Take(3);
        } else {
            repeat = 11 + br.Take(7);
        }
        if (repeat > total - n)
            return false;
        std::memset(lengths + n, value, repeat);
        n += repeat;
    }
    return true;
}

bool PngReadDynamicTables(Inflater& z, BitReader& br) {
    z.fixedTables = false;
    if (!br.Refill())
        return false;
    const unsigned litCount = 257 + br.Take(5);
    const unsigned distCount = 1 + br.Take(5);
    const unsigned codeLengthCount = 4 + br.Take(4);
    if (litCount > kMaxLitLenCodes || distCount > kMaxDistanceCodes)
        return false;
    std::uint8_t codeLengths[kCodeLengthSymbols] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        if (!br.Refill())
            return false;
        codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(br.Take(3));
    }
    if (!PngBuildHuffCodes(codeLengths, kCodeLengthSymbols, HuffAlphabet::kCodeLength,
                           z.t->codeLength, kCodeLengthTableBits, kCodeLengthTableSize))
        return false;
    std::uint8_t lengths[kMaxLitLenCodes + kMaxDistanceCodes];
    if (!ReadCodeLengths(z, br, lengths, litCount + distCount))
        return false;
    if (lengths[256] == 0)  // a block must be able to end
        return false;
    return PngBuildHuffCodes(lengths, litCount, HuffAlphabet::kLitLen, z.t->litLen,
                             kLitLenTableBits, kLitLenTableSize) &&
           PngBuildHuffCodes(lengths + litCount, distCount, HuffAlphabet::kDistance, z.t->distance,
                             kDistanceTableBits, kDistanceTableSize);
}

// A stored block (RFC 1951, 3.2.4): LEN, its complement, then LEN bytes as they are.
bool CopyStored(Inflater& z, BitReader& br) {
    br.ToByteBoundary();
    if (!br.Refill())
        return false;
    const unsigned len = br.Take(16);
    const unsigned nlen = br.Take(16);
    if (br.Overrun() || len != (~nlen & 0xFFFFu))
        return false;
    std::size_t left = len;
    while (left > 0) {
        if (z.op >= kFlushAt)
            Flush(z);
        const std::size_t n = left < kFlushAt - z.op ? left : kFlushAt - z.op;
        if (br.ReadBytes(z.t->out + z.op, n) != n)
            return false;
        z.op += n;
        left -= n;
    }
    return true;
}

// kShortStored: a stored block whose bytes are not all there, which ends the stream
// without a message.
enum class BlockEnd { kMore, kLast, kBadType, kBadData, kShortStored };

BlockEnd InflateBlock(Inflater& z, BitReader& br) {
    if (!br.Refill())
        return BlockEnd::kBadData;
    const bool last = br.Take(1) != 0;
    const unsigned type = br.Take(2);
    bool ok = false;
    switch (type) {
        case 0:
            if (!CopyStored(z, br))
                return BlockEnd::kShortStored;
            return last ? BlockEnd::kLast : BlockEnd::kMore;
        case 1:
            ok = PngFixedHuffTables(z);
            break;
        case 2:
            ok = PngReadDynamicTables(z, br);
            break;
        default:
            return BlockEnd::kBadType;
    }
    if (!ok || !PngExtractHuffSym(z, br))
        return BlockEnd::kBadData;
    return last ? BlockEnd::kLast : BlockEnd::kMore;
}

}  // namespace

PngInflateResult PngInflate(const PngInflateSource& source, const PngInflateSink& sink,
                            std::uint64_t* consumed) {
    BitReader br(source);
    br.Refill();
    const std::uint32_t cmf = br.Take(8);
    br.Drop(8);  // the flags byte (FLG) is not looked at
    if (br.Overrun() || (cmf & 15) != kMethodDeflate || (cmf >> 4) > kMaxWindowBits) {
        std::fputs(kBadHeader, stdout);
        return PngInflateResult::kBadData;
    }
    auto* tables = static_cast<InflateTables*>(ImageAlloc(sizeof(InflateTables)));
    if (tables == nullptr)
        return PngInflateResult::kNoMemory;
    ASAN_POISON_MEMORY_REGION(tables->fence, sizeof tables->fence);
    Inflater z{tables, &sink, 0, 0, false};
    BlockEnd end = BlockEnd::kMore;
    while (end == BlockEnd::kMore)
        end = InflateBlock(z, br);
    if (end == BlockEnd::kLast && br.Overrun())
        end = BlockEnd::kBadData;
    if (end == BlockEnd::kLast) {
        Flush(z);
        if (consumed != nullptr)
            *consumed = (br.Consumed() + 7) / 8;
    }
    ASAN_UNPOISON_MEMORY_REGION(tables->fence, sizeof tables->fence);
    ImageFree(tables);
    if (end == BlockEnd::kLast)
        return PngInflateResult::kOk;
    if (end != BlockEnd::kShortStored)
        std::fputs(end == BlockEnd::kBadType ? kBadBlockType : kBadSymbol, stdout);
    return PngInflateResult::kBadData;
}

namespace {

struct OneSpan {
    const std::uint8_t* data;
    std::uint64_t size;
    bool given;
};

bool NextOfOne(void* origin, const std::uint8_t** bytes, std::uint64_t* n) {
    auto* span = static_cast<OneSpan*>(origin);
    if (span->given)
        return false;
    span->given = true;
    *bytes = span->data;
    *n = span->size;
    return true;
}

}  // namespace

PngInflateResult PngInflate(const std::uint8_t* data, std::uint64_t size,
                            const PngInflateSink& sink, std::uint64_t* consumed) {
    OneSpan span{data, size, false};
    return PngInflate(PngInflateSource{&span, NextOfOne}, sink, consumed);
}

}  // namespace imagelib
