// The BMP driver: Windows and OS/2 bitmap files, also the first bitmap of an OS/2 bitmap
// array; 1, 4, 8 and 24 bits, uncompressed, RLE8 or RLE4. The rows are left as the file
// stores them (bottom-up, padded to 4 bytes, at the file's depth); a top-down file is
// turned bottom-up.
#include "formats/bmp/bmp_driver.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/checked_size.h"
#include "core/row_flip.h"
#include "core/stream_reader.h"
#include "engine/serial_engine.h"
#include "formats/bmp/bmp_codes.h"
#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

constexpr std::uint16_t kMagicArray = 0x4142;   // "BA", an OS/2 bitmap array
constexpr std::uint16_t kMagicBitmap = 0x4D42;  // "BM"
constexpr std::int64_t kArrayHeaderRest = 12;   // array size, next element, screen size
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kMinInfoHeaderSize = 16;
constexpr std::uint32_t kMaxInfoHeaderSize = 64;
constexpr std::uint32_t kCorePaletteOffset = kFileHeaderSize + kCoreHeaderSize;

bool ValidHeaderSize(std::uint32_t size) {
    if (size < kMinInfoHeaderSize || size > kMaxInfoHeaderSize) {
        return false;
    }
    // OS/2 2.x headers may stop after any field, the 16-bit ones included.
    return size % 4 == 0 || size == 42 || size == 46;
}

bool ValidBitCount(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24;
}

// The checks the core and the information header share; 0 when the image can be loaded.
// A negative height is a top-down image, stored with its size turned positive.
int CheckAndStore(ImageInfo* info, BmpState& st, std::int64_t width, std::int64_t height,
                  std::uint32_t planes, std::uint32_t bits) {
    if (width <= 0 || height == 0) {
        return kBmpBadSize;
    }
    if (planes != 1) {
        return kBmpBadPlaneCount;
    }
    if (!ValidBitCount(bits)) {
        return kBmpBadBitCount;
    }
    st.topDown = height < 0 ? 1 : 0;
    height = height < 0 ? -height : height;
    if (!ImageSizeAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
        return kOutOfMemory;
    }
    info->width = static_cast<std::int32_t>(width);
    info->height = static_cast<std::int32_t>(height);
    info->bitsPerPixel = static_cast<std::int32_t>(bits);
    return kOk;
}

int ReadCoreHeader(StreamReader& in, ImageInfo* info, BmpState& st) {
    std::uint8_t fields[kCoreHeaderSize - 4];
    if (!in.Read(fields, sizeof fields)) {
        return kBmpShortHeader;
    }
    st.infoHeader = 0;
    st.compression = kBmpCompressionNone;
    st.coloursUsed = 0;
    return CheckAndStore(info, st, LoadU16LE(fields), LoadU16LE(fields + 2), LoadU16LE(fields + 4),
                         LoadU16LE(fields + 6));
}

// The fields behind the size, as far as the header reaches; the ones it does not reach
// are zero. A file that ends inside its header has no image to read.
int ReadInfoHeader(StreamReader& in, ImageInfo* info, BmpState& st, std::uint32_t size) {
    constexpr std::uint32_t kCompressionEnds = 16;  // compression is there above this size
    constexpr std::uint32_t kColoursUsedEnds = 32;
    std::uint8_t fields[kMaxInfoHeaderSize - 4] = {};
    if (!in.Read(fields, size - 4)) {
        return kBmpShortHeader;
    }
    const auto width = static_cast<std::int32_t>(LoadU32LE(fields));
    const auto height = static_cast<std::int32_t>(LoadU32LE(fields + 4));
    const std::uint16_t planes = LoadU16LE(fields + 8);
    const std::uint16_t bits = LoadU16LE(fields + 10);
    const std::uint32_t compression = size > kCompressionEnds ? LoadU32LE(fields + 12) : 0;
    std::uint32_t coloursUsed = size > kColoursUsedEnds ? LoadU32LE(fields + 28) : 0;
    // 0 means the whole palette of the depth, except at 24 bits, which have none.
    if (coloursUsed == 0 && bits != 24 && bits < 32) {
        coloursUsed = 1u << bits;
    }
    st.infoHeader = 1;
    st.compression = compression;
    st.coloursUsed = coloursUsed;
    return CheckAndStore(info, st, width, height, planes, bits);
}

BmpRows RowsOf(SerialImageContext* ctx) {
    const ImageInfo& info = ctx->info;
    BmpRows rows{};
    rows.bits = ctx->bits;
    rows.width = info.width;
    rows.height = info.height;
    rows.stride = static_cast<std::int64_t>(RowStride(info.width, info.bitsPerPixel));
    rows.total = rows.stride * rows.height;
    return rows;
}

// Reads up to rowsPerStep stored rows; a top-down file's rows go straight to their
// bottom-up place. True at the end. Missing data reads as zero: a file that ends early
// keeps the part of the row it holds, and the rows after it stay as they started, zero.
// The step's rows in the file's order, in one read whatever their width (a top-down file is
// turned over when it is complete). A row cut short ends the image: what the data holds of
// it is kept, the rest stays zero.
bool ReadUncompressed(StreamReader& in, BmpState& st, const BmpRows& rows,
                      std::int64_t rowsPerStep) {
    const std::int64_t count = std::min(rows.height - st.rowsDone, rowsPerStep);
    const std::int64_t want = count * rows.stride;
    if (in.ReadSome(rows.bits + st.rowsDone * rows.stride, want) < want) {
        st.rowsDone = rows.height;
        return true;
    }
    st.rowsDone += count;
    return st.rowsDone >= rows.height;
}

// The first decoding call: position the stream and set up the decoder; 0, or an error.
int StartDecoding(StreamReader& in, BmpState& st) {
    if (st.compression != kBmpCompressionNone && st.compression != kBmpCompressionRle8 &&
        st.compression != kBmpCompressionRle4) {
        return kBmpBadCompression;
    }
    st.x = 0;
    st.rowsDone = 0;
    // Pixel data that lies beyond the data is missing as a whole: the image stays blank.
    st.ended = in.Seek(st.bitsOffset) ? 0 : 1;
    return kOk;
}

}  // namespace

int BmpDescribe(ImageFormatInfo* info) {
    info->extensions = L"BMP VGA BGA RLE DIB RL4 RL8";
    info->magic1 = kMagicArray;
    info->magic2 = kMagicBitmap;
    return kOk;
}

int BmpReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t) {
    BmpState& st = DriverState<BmpState>(info);
    StreamReader in(s);
    std::uint16_t magic = 0;
    if (!in.Seek(0) || !in.U16LE(&magic)) {
        return kBmpNoFileHeader;
    }
    if (magic == kMagicArray && !(in.Skip(kArrayHeaderRest) && in.U16LE(&magic))) {
        return kBmpNoFileHeader;
    }
    if (magic != kMagicBitmap) {
        return kBmpNoFileHeader;
    }
    st.fileHeaderPos = static_cast<std::uint32_t>(in.Position() - 2);
    // File size and two reserved words, skipped; the bits offset; the header's size.
    std::uint8_t fields[16];
    if (!in.Read(fields, sizeof fields)) {
        return kBmpShortHeader;
    }
    st.bitsOffset = LoadU32LE(fields + 8);
    const std::uint32_t headerSize = LoadU32LE(fields + 12);
    st.headerSize = headerSize;
    if (headerSize == kCoreHeaderSize) {
        return ReadCoreHeader(in, info, st);
    }
    if (!ValidHeaderSize(headerSize)) {
        return kBmpBadHeaderSize;
    }
    return ReadInfoHeader(in, info, st, headerSize);
}

int BmpReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette) {
    BmpState& st = DriverState<BmpState>(info);
    st.firstCall = 1;
    if (info->bitsPerPixel == 24) {
        return kOk;
    }
    // Always from behind the header, never from the bits offset.
    const std::uint32_t entrySize = st.infoHeader ? 4 : 3;
    const std::uint32_t count =
        st.infoHeader ? std::min<std::uint32_t>(st.coloursUsed, 256) : 1u << info->bitsPerPixel;
    const std::int64_t offset =
        std::int64_t{st.fileHeaderPos} +
        (st.infoHeader ? kFileHeaderSize + st.headerSize : kCorePaletteOffset);
    // Missing data reads as zero: entries the file does not hold (all of them when the
    // palette would start past its end) stay black.
    StreamReader in(s);
    std::uint8_t entries[256 * 4] = {};
    if (in.Seek(offset)) {
        in.ReadSome(entries, std::int64_t{count} * entrySize);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = entries + std::size_t{i} * entrySize;
        palette[i] = PaletteEntry3{e[2], e[1], e[0]};
    }
    return kOk;
}

int BmpDecodeStep(SerialImageContext* ctx, int abort) {
    BmpState& st = DriverState<BmpState>(&ctx->info);
    if (abort) {
        st.ended = 1;
        st.firstCall = 0;
        return kStepDone;
    }
    StreamReader in(ctx->stream);
    const BmpRows rows = RowsOf(ctx);
    if (st.firstCall) {
        st.firstCall = 0;
        const int r = StartDecoding(in, st);
        if (r != kOk) {
            return r;
        }
    }
    if (!st.ended) {
        const std::int64_t rowsPerStep = std::max(1, ctx->rowsPerStep);
        bool done = false;
        if (st.compression == kBmpCompressionNone) {
            done = ReadUncompressed(in, st, rows, rowsPerStep);
        } else {
            // RLE8 writes rows of one byte per pixel whatever the bit count says; every
            // write still stays inside the rows at the file's depth.
            const int pixelBits = st.compression == kBmpCompressionRle8 ? 8 : 4;
            BmpRows rleRows = rows;
            rleRows.stride = static_cast<std::int64_t>(RowStride(rows.width, pixelBits));
            done = BmpDecodeRle(in, st, rleRows, pixelBits, rowsPerStep);
        }
        if (done && st.topDown) {
            FlipRows(rows.bits, rows.stride, rows.height);
        }
        if (done) {
            st.ended = 1;
        }
    }
    if (st.ended) {
        st.rowsDone = rows.height;
    }
    ctx->info.percent = ImageDecodePercent(ctx, st.rowsDone, rows.height);
    return st.ended ? kStepDone : kStepAgain;
}

}  // namespace imagelib
