// TIFF strip decoders: uncompressed, LZW (with horizontal differencing undone) and
// PackBits. Each reads only its strip's bytes and writes at most the expected count. A
// strip is decoded either whole into its place in the image, or a window at a time for a
// reader that converts its bytes on the way (planes, a fourth sample, CMYK), which then
// holds the window and not the strip.
#pragma once

#include <cstdint>
#include <cstring>

namespace imagelib {

// The bytes of one strip: from its offset to its byte count's end or to the end of the
// data, whichever comes first; empty for an offset outside the data.
struct TiffStripData {
    const std::uint8_t* bytes;
    std::int64_t size;
};

constexpr std::uint32_t kTiffLzwTableSize = 4096;
constexpr std::uint32_t kTiffLzwStackSize = 4097;

// The LZW decoder's tables, allocated once per image (TiffLzwStart). Beside the prefix and
// suffix of each code, a code whose string is known keeps a word: a string of up to 7
// bytes itself, a longer one by where it lies whole in earlier output and its length (0
// when not known), so that it is stored or copied, not walked. Entries the current strip
// has not made yet read as 0 (see TiffLzwDecode), so every strip starts from empty tables
// without clearing them.
struct TiffLzwTables {
    std::uint64_t word[kTiffLzwTableSize];
    std::uint16_t prefix[kTiffLzwTableSize];
    std::uint8_t suffix[kTiffLzwTableSize];
    std::uint8_t stack[kTiffLzwStackSize];
};

// Sets up fresh tables: the 256 single-byte strings.
void TiffLzwStart(TiffLzwTables* lzw);

// What the LZW code reader gives past the data.
constexpr std::uint32_t kTiffLzwEndOfData = 65535;

// The LZW code reader over one strip's bytes: a 64-bit window whose top `bits` bits are the
// next ones of the data (the bits below them are 0 or the data's own bits that follow).
struct TiffLzwCodes {
    const std::uint8_t* p;
    const std::uint8_t* end;
    std::uint64_t window;
    int bits;

    // With 8 bytes left at p: the next code of width bits. The window is topped up to 56
    // bits or more first, without a branch.
    std::uint32_t TiffLzwReadCodeFast(int width) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        window |= __builtin_bswap64(w) >> bits;
        p += (63 - bits) >> 3;
        bits |= 56;
        const auto code = static_cast<std::uint32_t>(window >> (64 - width));
        window <<= width;
        bits -= width;
        return code;
    }

    // The next code of width bits, or kTiffLzwEndOfData when fewer bits are left.
    std::uint32_t TiffLzwReadCode(int width) {
        if (end - p >= 8)
            return TiffLzwReadCodeFast(width);
        while (bits < width && p < end) {
            window |= std::uint64_t{*p++} << (56 - bits);
            bits += 8;
        }
        if (bits < width)
            return kTiffLzwEndOfData;
        const auto code = static_cast<std::uint32_t>(window >> (64 - width));
        window <<= width;
        bits -= width;
        return code;
    }
};

// The LZW decoder's state between codes. Output places are offsets from the start of the
// buffer being written (the strip, or the window).
struct TiffLzwRun {
    TiffLzwCodes codes;
    std::uint32_t next;     // kFrozen once the table is full, until a clear
    std::uint32_t written;  // see TiffLzwDecode
    std::uint32_t prev;
    std::uint8_t first;  // the first byte of the previous code's output
    std::int64_t out;
    // Where the previous code's string was written, and its word when it was written out
    // whole and is the string its code stands for in the table (else 0; when not 0, first
    // is the byte at prevPos).
    std::int64_t prevPos;
    std::uint64_t prevWord;
};

// A fresh run over a strip's bytes.
TiffLzwRun TiffLzwBegin(const TiffStripData& in);
// What TiffLzwDecodeRun answers when the window is full: the caller takes the output,
// moves the window on (TiffLzwShift) and calls again.
constexpr int kTiffLzwWindowFull = -1;
// Decodes on into dst, whose bytes 0 to limit the output may fill. last: the strip ends at
// limit (bytes beyond it are not stored, as in TiffLzwDecode); otherwise the decoder stops
// with kTiffLzwWindowFull once fewer than kTiffLzwWindowSlack bytes are left, without
// cutting a string. Results as TiffLzwDecode's otherwise.
constexpr std::int64_t kTiffLzwWindowSlack = 2 * (kTiffLzwStackSize + 16);
int TiffLzwDecodeRun(TiffLzwRun& r, TiffLzwTables* lzw, std::uint8_t* dst, std::int64_t limit,
                     bool last);
// The caller dropped the first shift bytes of the window (shift at most r.prevPos) and
// moved the rest to its start: the output places follow, and table strings that lay in
// the dropped bytes are no longer known (they are walked through the prefix table).
void TiffLzwShift(TiffLzwRun& r, TiffLzwTables* lzw, std::int64_t shift);

// Receives a strip's decoded bytes in order, a piece at a time.
class TiffStripSink {
  public:
    virtual void Take(const std::uint8_t* bytes, std::int64_t n) = 0;
    // n bytes of 0: the part of a strip that its data leave unfilled.
    virtual void TakeZeros(std::int64_t n) = 0;

  protected:
    ~TiffStripSink() = default;
};

// Bytes of the window a strip is decoded through by TiffDecodeStripPieces.
constexpr std::int64_t kTiffWindowBytes = 256 * 1024;

// Runs of no-op PackBits headers (-128) in the source that an image's strips lie in. A run
// is passed a byte at a time until the load has passed more no-op bytes than the source
// holds, which only strips that share their data make it do; then a table of where the
// runs end (one word per kTiffNoOpBlock bytes) is made once, and any later run is passed in
// at most kTiffNoOpBlock steps, so that no strip's work depends on how often its data are
// shared.
constexpr std::int64_t kTiffNoOpBlock = 64;
class TiffNoOpRuns {
  public:
    TiffNoOpRuns(const std::uint8_t* base, std::int64_t size) : base_(base), size_(size) {}
    ~TiffNoOpRuns();
    TiffNoOpRuns(const TiffNoOpRuns&) = delete;
    TiffNoOpRuns& operator=(const TiffNoOpRuns&) = delete;

    // p: a no-op header in the source, end: the end of its strip's data. The first byte
    // after the run (at most end); *jumped grows by the bytes passed without being read.
    const std::uint8_t* Pass(const std::uint8_t* p, const std::uint8_t* end, std::int64_t* jumped);

  private:
    void MakeTable();

    const std::uint8_t* const base_;
    const std::int64_t size_;
    std::int64_t passed_ = 0;           // no-op bytes passed one by one
    std::uint32_t* runEnds_ = nullptr;  // per block: where the run at its start ends
};

// What the strips of one image share while they are decoded.
struct TiffStripDecoders {
    TiffLzwTables* lzw;   // for LZW strips
    TiffNoOpRuns* noOps;  // for PackBits strips
};

// The strip's data decoded by compression, expected bytes in all, handed to the sink in
// pieces through window (kTiffWindowBytes); a predictor is left to the sink. Results as
// TiffDecodeStrip's; after an error the sink may have been given part of the strip.
int TiffDecodeStripPieces(const TiffStripData& in, std::uint32_t compression, std::int64_t expected,
                          const TiffStripDecoders& dec, std::uint8_t* window, TiffStripSink& sink);

// The strip's data decoded by compression into expected bytes at dst: 0, 2 for an
// unknown compression, 7 for data that end too soon, 818 for corrupt LZW data. samples
// and width give the rows that a predictor works on. The decoding stops once the expected
// bytes are out: an LZW strip then reads one code more (or, after a clear, the next one
// too), which is its end code or where its data go on unread; data that end there end too
// soon. A PackBits strip reads nothing more.
int TiffDecodeStrip(const TiffStripData& in, std::uint32_t compression, std::uint32_t predictor,
                    std::uint32_t samples, std::int64_t width, std::uint8_t* dst,
                    std::int64_t expected, const TiffStripDecoders& dec);

int TiffLzwDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                  TiffLzwTables* lzw);
int TiffLzwDecodePredict(const TiffStripData& in, std::uint32_t predictor, std::uint32_t samples,
                         std::int64_t width, std::uint8_t* dst, std::int64_t expected,
                         TiffLzwTables* lzw);
int TiffPackBitsDecode(const TiffStripData& in, std::uint8_t* dst, std::int64_t expected,
                       TiffNoOpRuns& noOps);

// PackBits between pieces: where the data go on, and what is left of a run that the last
// piece cut.
struct TiffPackBitsRun {
    const std::uint8_t* p;
    const std::uint8_t* end;
    TiffNoOpRuns* noOps;
    std::int64_t copyLeft;  // literal bytes still to copy from p
    std::int64_t fillLeft;  // repeats of fill still to write
    std::uint8_t fill;
    std::int64_t jumped;  // no-op bytes passed without being read
};
// Decodes on until limit bytes are written to dst: 0, or 7 when the data end first.
int TiffPackBitsDecodeRun(TiffPackBitsRun& r, std::uint8_t* dst, std::int64_t limit);

// Adds a strip's read bytes to the count below.
void TiffCountStripBytes(std::int64_t n);
// Test hook: the bytes of strip data the strip decoders have read since the process
// started (LZW: as far as its code reader got; PackBits: those it looked at; uncompressed:
// the strip's expected bytes).
std::uint64_t TiffStripBytesRead();

}  // namespace imagelib
