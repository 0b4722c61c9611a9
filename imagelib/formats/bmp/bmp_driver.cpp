// The BMP driver: Windows and OS/2 bitmap files, also the first bitmap of an OS/2 bitmap
// array; 1, 4, 8 and 24 bits, uncompressed, RLE8 or RLE4. The rows are left as the file
// stores them (bottom-up, padded to 4 bytes, at the file's depth); a top-down file is
// turned bottom-up.
#include "formats/bmp/bmp_driver.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "formats/bmp/bmp_codes.h"
#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

constexpr std::uint16_t kMagicArray = 0x4142;   // "BA", an OS/2 bitmap array
constexpr std::uint16_t kMagicBitmap = 0x4D42;  // "BM"
constexpr std::int32_t kArrayHeaderRest = 12;   // array size, next element, screen size
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kMinInfoHeaderSize = 16;
constexpr std::uint32_t kMaxInfoHeaderSize = 64;
constexpr std::uint32_t kCorePaletteOffset = kFileHeaderSize + kCoreHeaderSize;

// The engine gives every image room for 24-bit rows and sizes them in 32 bits, and no
// source holds 2 GiB or more: an image whose 24-bit rows pass that is refused as too large
// before any block is sized.
constexpr std::uint64_t kMaxRowBytes = 0x7FFFFFFF;

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

std::uint32_t U32At(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t U16At(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
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
    height = std::abs(height);
    if (RowStride(width, 24) * static_cast<std::uint64_t>(height) > kMaxRowBytes) {
        return kOutOfMemory;
    }
    info->width = static_cast<std::int32_t>(width);
    info->height = static_cast<std::int32_t>(height);
    info->bitsPerPixel = static_cast<std::int32_t>(bits);
    return kOk;
}

int ReadCoreHeader(ImageMemStream* s, ImageInfo* info, BmpState& st) {
    const std::uint16_t width = ImageReadU16LE(s);
    const std::uint16_t height = ImageReadU16LE(s);
    const std::uint16_t planes = ImageReadU16LE(s);
    const std::uint16_t bits = ImageReadU16LE(s);
    st.infoHeader = 0;
    st.compression = kBmpCompressionNone;
    st.coloursUsed = 0;
    return CheckAndStore(info, st, width, height, planes, bits);
}

// The fields behind the size, as far as the header reaches; the ones it does not reach,
// and bytes past the end of the data, read as zero.
int ReadInfoHeader(ImageMemStream* s, ImageInfo* info, BmpState& st, std::uint32_t size) {
    constexpr std::uint32_t kCompressionEnds = 16;  // compression is there above this size
    constexpr std::uint32_t kColoursUsedEnds = 32;
    std::uint8_t fields[kMaxInfoHeaderSize - 4] = {};
    ImageMemStreamRead(fields, 1, size - 4, s);
    const auto width = static_cast<std::int32_t>(U32At(fields));
    const auto height = static_cast<std::int32_t>(U32At(fields + 4));
    const std::uint16_t planes = U16At(fields + 8);
    const std::uint16_t bits = U16At(fields + 10);
    const std::uint32_t compression = size > kCompressionEnds ? U32At(fields + 12) : 0;
    std::uint32_t coloursUsed = size > kColoursUsedEnds ? U32At(fields + 28) : 0;
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
// bottom-up place. A file that ends early leaves the missing rows zero. True at the end.
bool ReadUncompressed(ImageMemStream* s, BmpState& st, const BmpRows& rows,
                      std::int64_t rowsPerStep) {
    const std::int64_t stop = std::min(rows.height, st.rowsDone + rowsPerStep);
    for (; st.rowsDone < stop; ++st.rowsDone) {
        const std::int64_t row = st.topDown ? rows.height - 1 - st.rowsDone : st.rowsDone;
        const auto stride = static_cast<std::uint32_t>(rows.stride);
        if (ImageMemStreamRead(rows.bits + row * rows.stride, 1, stride, s) <
            static_cast<std::int32_t>(stride)) {
            st.rowsDone = rows.height;
            return true;
        }
    }
    return st.rowsDone >= rows.height;
}

void FlipRows(const BmpRows& rows) {
    for (std::int64_t top = 0, bottom = rows.height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(rows.bits + top * rows.stride, rows.bits + (top + 1) * rows.stride,
                         rows.bits + bottom * rows.stride);
    }
}

void EndDecoding(BmpState& st) {
    ImageFree(st.reader);
    st.reader = nullptr;
    st.ended = 1;
}

// The first decoding call: position the stream and set up the decoder; 0, or an error.
int StartDecoding(SerialImageContext* ctx, BmpState& st, const BmpRows& rows) {
    if (st.compression != kBmpCompressionNone && st.compression != kBmpCompressionRle8 &&
        st.compression != kBmpCompressionRle4) {
        return kBmpBadCompression;
    }
    st.x = 0;
    st.rowsDone = 0;
    st.ended = 0;
    // Skipped and missing pixels are index 0; RLE4 ors its nibbles into the bytes.
    HugeMemSet(rows.bits, 0, static_cast<std::uint32_t>(rows.total));
    if (st.bitsOffset > 0x7FFFFFFF) {
        st.ended = 1;  // the pixel data lies beyond any source: the image stays blank
        return kOk;
    }
    ImageMemStreamSeek(ctx->stream, static_cast<std::int32_t>(st.bitsOffset), kSeekSet);
    if (st.compression != kBmpCompressionNone) {
        st.reader = ImageByteReaderOpen(ctx->stream);
        if (st.reader == nullptr) {
            return kOutOfMemory;
        }
    }
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
    ImageMemStreamSeek(s, 0, kSeekSet);
    std::uint16_t magic = ImageReadU16LE(s);
    if (magic == kMagicArray) {
        ImageMemStreamSeek(s, kArrayHeaderRest, kSeekCur);
        magic = ImageReadU16LE(s);
    }
    if (magic != kMagicBitmap) {
        return kBmpNoFileHeader;
    }
    st.fileHeaderPos = static_cast<std::uint32_t>(ImageMemStreamTell(s) - 2);
    ImageReadU32LE(s);  // file size
    ImageReadU32LE(s);  // two reserved words
    st.bitsOffset = ImageReadU32LE(s);
    const std::uint32_t headerSize = ImageReadU32LE(s);
    st.headerSize = headerSize;
    if (headerSize == kCoreHeaderSize) {
        return ReadCoreHeader(s, info, st);
    }
    if (!ValidHeaderSize(headerSize)) {
        return kBmpBadHeaderSize;
    }
    return ReadInfoHeader(s, info, st, headerSize);
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
    const std::uint32_t offset =
        st.fileHeaderPos + (st.infoHeader ? kFileHeaderSize + st.headerSize : kCorePaletteOffset);
    ImageMemStreamSeek(s, static_cast<std::int32_t>(offset), kSeekSet);
    std::uint8_t entries[256 * 4] = {};
    ImageMemStreamRead(entries, 1, count * entrySize, s);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = entries + std::size_t{i} * entrySize;
        palette[i] = PaletteEntry3{e[2], e[1], e[0]};
    }
    return kOk;
}

int BmpDecodeStep(SerialImageContext* ctx, int abort) {
    BmpState& st = DriverState<BmpState>(&ctx->info);
    if (abort) {
        EndDecoding(st);
        st.firstCall = 0;
        return kStepDone;
    }
    const BmpRows rows = RowsOf(ctx);
    if (st.firstCall) {
        const int r = StartDecoding(ctx, st, rows);
        st.firstCall = 0;
        if (r != kOk) {
            return r;
        }
    }
    if (!st.ended) {
        const std::int64_t rowsPerStep = std::max(1, ctx->rowsPerStep);
        bool done = false;
        if (st.compression == kBmpCompressionNone) {
            done = ReadUncompressed(ctx->stream, st, rows, rowsPerStep);
        } else {
            // RLE8 writes rows of one byte per pixel whatever the bit count says; every
            // write still stays inside the rows at the file's depth.
            const int pixelBits = st.compression == kBmpCompressionRle8 ? 8 : 4;
            BmpRows rleRows = rows;
            rleRows.stride = static_cast<std::int64_t>(RowStride(rows.width, pixelBits));
            done = BmpDecodeRle(st, rleRows, pixelBits, rowsPerStep);
            if (done && st.topDown) {
                FlipRows(rows);
            }
        }
        if (done) {
            EndDecoding(st);
            st.rowsDone = rows.height;
        }
    }
    // The reducer reports the second half of the progress when it will run: 0x20 on any
    // image but a 4-bit one, which it reduces only for a palette display.
    const bool reduced = (ctx->flags & kFlagReduce) != 0 &&
                         (ctx->info.bitsPerPixel != 4 || ctx->info.displayClass == 8);
    const std::int64_t scale = reduced ? 50 : 100;
    const std::int64_t done = std::min<std::int64_t>(st.rowsDone, rows.height);
    ctx->info.percent =
        static_cast<std::int32_t>(rows.height > 0 ? done * scale / rows.height : scale);
    return st.ended ? kStepDone : kStepAgain;
}

}  // namespace imagelib
