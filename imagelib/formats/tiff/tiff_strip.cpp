// One strip decoded by its compression: uncompressed bytes copied, PackBits runs expanded
// a whole run at a time, LZW in tiff_lzw.cpp; whole, or a window at a time.
#include "formats/tiff/tiff_strip.h"

#include <algorithm>
#include <cstring>

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "formats/tiff/tiff_state.h"

namespace imagelib {
namespace {

constexpr std::int64_t kPackBitsBlock = 128;
constexpr std::uint8_t kNoOp = 0x80;  // the PackBits header -128
// Bytes of earlier output an LZW window keeps when it moves on: table strings that lie in
// them stay known and are copied, not walked.
constexpr std::int64_t kLzwHistory = 64 * 1024;

std::uint64_t stripBytesRead = 0;  // see TiffStripBytesRead

int LzwPieces(const TiffStripData& in, std::int64_t expected, TiffLzwTables* lzw,
              std::uint8_t* window, TiffStripSink& sink) {
    TiffLzwRun r = TiffLzwBegin(in);
    std::int64_t base = 0;   // the strip offset of the window's first byte
    std::int64_t given = 0;  // the strip bytes handed to the sink
    int result = kTiffLzwWindowFull;
    while (result == kTiffLzwWindowFull) {
        const bool last = expected - base <= kTiffWindowBytes;
        const std::int64_t limit = last ? expected - base : kTiffWindowBytes;
        result = TiffLzwDecodeRun(r, lzw, window, limit, last);
        if (result != kOk && result != kTiffLzwWindowFull)
            break;
        const std::int64_t made = base + r.out - given;
        if (made > 0)
            sink.Take(window + (given - base), made);
        given += std::max<std::int64_t>(made, 0);
        if (result == kOk) {
            if (given < expected)
                sink.TakeZeros(expected - given);
            break;
        }
        // The previous string must stay: the next code may repeat it.
        const std::int64_t shift =
            std::min(r.prevPos, std::max<std::int64_t>(r.out - kLzwHistory, 0));
        std::memmove(window, window + shift, static_cast<std::size_t>(r.out - shift));
        TiffLzwShift(r, lzw, shift);
        base += shift;
    }
    TiffCountStripBytes(r.codes.p - in.bytes);
    return result;
}

TiffPackBitsRun PackBitsBegin(const TiffStripData& in, TiffNoOpRuns& noOps) {
    return TiffPackBitsRun{in.bytes, in.bytes + in.size, &noOps, 0, 0, 0, 0};
}

// The bytes a PackBits strip looked at.
void CountPackBits(const TiffPackBitsRun& r, const TiffStripData& in) {
    TiffCountStripBytes(r.p - in.bytes - r.jumped);
}

}  // namespace

TiffNoOpRuns::~TiffNoOpRuns() {
    ImageFree(runEnds_);
}

const std::uint8_t* TiffNoOpRuns::Pass(const std::uint8_t* p, const std::uint8_t* end,
                                       std::int64_t* jumped) {
    const std::uint8_t* q = p;
    while (q < end && *q == kNoOp) {
        const std::int64_t at = q - base_;
        if (runEnds_ != nullptr && at % kTiffNoOpBlock == 0) {
            const std::uint8_t* runEnd = std::min(base_ + runEnds_[at / kTiffNoOpBlock], end);
            *jumped += runEnd - q;
            return runEnd;
        }
        ++q;
    }
    // Once the table is made, or could not be, nothing more is counted.
    if (runEnds_ == nullptr && passed_ <= size_) {
        passed_ += q - p;
        if (passed_ > size_)
            MakeTable();
    }
    return q;
}

void TiffNoOpRuns::MakeTable() {
    const std::int64_t blocks = (size_ + kTiffNoOpBlock - 1) / kTiffNoOpBlock;
    if (blocks == 0 || blocks > std::int64_t{kMaxBlockBytes / sizeof(std::uint32_t)})
        return;
    runEnds_ = static_cast<std::uint32_t*>(
        ImageAlloc(static_cast<std::uint32_t>(blocks * sizeof(std::uint32_t))));
    if (runEnds_ == nullptr)
        return;
    // From the last block back: a block of no-op bytes only ends where the next one's run
    // ends.
    auto runEnd = static_cast<std::uint32_t>(size_);
    for (std::int64_t b = blocks - 1; b >= 0; --b) {
        const std::int64_t first = b * kTiffNoOpBlock;
        const std::int64_t stop = std::min(first + kTiffNoOpBlock, size_);
        std::int64_t i = first;
        while (i < stop && base_[i] == kNoOp)
            ++i;
        if (i < stop)
            runEnd = static_cast<std::uint32_t>(i);
        runEnds_[b] = runEnd;
    }
}

int TiffPackBitsDecodeRun(TiffPackBitsRun& r, std::uint8_t* dst, std::int64_t limit) {
    const std::uint8_t* p = r.p;
    const std::uint8_t* const end = r.end;
    std::int64_t out = 0;
    // What is left of a run that the last piece cut.
    if (r.copyLeft > 0) {
        const std::int64_t n = std::min(r.copyLeft, limit);
        if (end - p < n)
            return kReadError;
        std::memcpy(dst, p, static_cast<std::size_t>(n));
        p += n;
        out += n;
        r.copyLeft -= n;
    }
    if (r.fillLeft > 0 && out < limit) {
        const std::int64_t n = std::min(r.fillLeft, limit - out);
        std::memset(dst + out, r.fill, static_cast<std::size_t>(n));
        out += n;
        r.fillLeft -= n;
    }
    // A run is at most 128 bytes. With room for that many on both sides a run is moved as a
    // whole block of 128 of a fixed size (which the compiler turns into a few wide moves);
    // the bytes past the run are written over by the next ones, and the piece is complete
    // only when every byte of it was written by a run.
    while (limit - out >= kPackBitsBlock + 1 && end - p >= kPackBitsBlock + 1) {
        const auto header = static_cast<std::int8_t>(*p++);
        if (header >= 0) {
            std::memcpy(dst + out, p, kPackBitsBlock);
            p += header + 1;
            out += header + 1;
        } else if (header != -128) {
            std::memset(dst + out, *p++, kPackBitsBlock);
            out += 1 - header;
        } else {
            p = r.noOps->Pass(p - 1, end, &r.jumped);
        }
    }
    int result = kOk;
    while (out < limit) {
        // Data that end before the strip is complete make it unreadable.
        if (p == end) {
            result = kReadError;
            break;
        }
        const auto header = static_cast<std::int8_t>(*p++);
        if (header >= 0) {
            // A literal run: the next header + 1 bytes.
            const std::int64_t n = std::min<std::int64_t>(header + 1, limit - out);
            if (end - p < n) {
                result = kReadError;
                break;
            }
            std::memcpy(dst + out, p, static_cast<std::size_t>(n));
            p += n;
            out += n;
            r.copyLeft = header + 1 - n;
        } else if (header != -128) {
            // A repeat run: the next byte 1 - header times.
            if (p == end) {
                result = kReadError;
                break;
            }
            r.fill = *p++;
            const std::int64_t n = std::min<std::int64_t>(1 - header, limit - out);
            std::memset(dst + out, r.fill, static_cast<std::size_t>(n));
            out += n;
            r.fillLeft = 1 - header - n;
        } else {
            // -128 is no run at all.
            p = r.noOps->Pass(p - 1, end, &r.jumped);
        }
    }
    r.p = p;
    return result;
}

int TiffPackBitsDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                       TiffNoOpRuns& noOps) {
    TiffPackBitsRun r = PackBitsBegin(in, noOps);
    // What is left of the last run once the strip is complete is not stored.
    const int result = TiffPackBitsDecodeRun(r, dst, expected);
    CountPackBits(r, in);
    return result;
}

int TiffDecodeStrip(const TiffStripData& in, std::uint32_t compression, std::uint32_t predictor,
                    std::uint32_t samples, std::int64_t width, std::uint8_t* dst,
                    std::int64_t expected, const TiffStripDecoders& dec) {
    switch (compression) {
        case kTiffCompressionNone:
            if (in.size < expected)
                return kReadError;
            std::memcpy(dst, in.bytes, static_cast<std::size_t>(expected));
            TiffCountStripBytes(expected);
            return kOk;
        case kTiffCompressionLzw:
            return TiffLzwDecodePredict(in, predictor, samples, width, dst, expected, dec.lzw);
        case kTiffCompressionPackBits:
            return TiffPackBitsDecode(in, dst, expected, *dec.noOps);
        default:
            return kNotSupported;
    }
}

int TiffDecodeStripPieces(const TiffStripData& in, std::uint32_t compression, std::int64_t expected,
                          const TiffStripDecoders& dec, std::uint8_t* window, TiffStripSink& sink) {
    switch (compression) {
        case kTiffCompressionNone:
            // The data are handed over where they lie.
            if (in.size < expected)
                return kReadError;
            sink.Take(in.bytes, expected);
            TiffCountStripBytes(expected);
            return kOk;
        case kTiffCompressionPackBits: {
            TiffPackBitsRun r = PackBitsBegin(in, *dec.noOps);
            int result = kOk;
            for (std::int64_t done = 0; done < expected && result == kOk;) {
                const std::int64_t n = std::min(kTiffWindowBytes, expected - done);
                result = TiffPackBitsDecodeRun(r, window, n);
                if (result == kOk)
                    sink.Take(window, n);
                done += n;
            }
            CountPackBits(r, in);
            return result;
        }
        case kTiffCompressionLzw:
            return LzwPieces(in, expected, dec.lzw, window, sink);
        default:
            return kNotSupported;
    }
}

void TiffCountStripBytes(std::int64_t n) {
    stripBytesRead += static_cast<std::uint64_t>(n);
}

std::uint64_t TiffStripBytesRead() {
    return stripBytesRead;
}

}  // namespace imagelib
