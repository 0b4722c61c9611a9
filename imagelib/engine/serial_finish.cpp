// The finalise step: the DIB's header and colour table, the logical palette, placement of
// a frame on its logical screen, and the hand-over of both blocks to the caller's words.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "core/result_codes.h"
#include "engine/serial_engine.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

struct KeyIndexes {
    int black = -1;
    int white = -1;
};

// Copies the colours into the colour table and the logical palette and finds the first
// black and the first white entry.
KeyIndexes WriteColours(SerialImageContext* ctx) {
    const int bpp = ctx->info.bitsPerPixel;
    const int n = bpp <= 8 ? 1 << bpp : 0;
    WriteColourTables(ctx->dib, ctx->logPalette, ctx->palette, n);
    KeyIndexes keys;
    for (int i = 0; i < n; ++i) {
        const PaletteEntry3& c = ctx->palette[i];
        if (keys.black < 0 && c.red == 0 && c.green == 0 && c.blue == 0)
            keys.black = i;
        if (keys.white < 0 && c.red == 255 && c.green == 255 && c.blue == 255)
            keys.white = i;
    }
    return keys;
}

// Copies len bytes of a source row to byte offset of a destination row that holds limit
// bytes, clipped to that row.
void CopyClipped(std::uint8_t* dstRow, std::int64_t offset, std::int64_t limit,
                 const std::uint8_t* src, std::int64_t len) {
    std::int64_t from = 0;
    if (offset < 0) {
        from = -offset;
        offset = 0;
    }
    const std::int64_t n = std::min(len - from, limit - offset);
    if (n > 0)
        std::memcpy(dstRow + offset, src + from, static_cast<std::size_t>(n));
}

// Places the frame's rows on a new DIB the size of its logical screen; the frame is
// clipped to the screen. False when the new block cannot be allocated.
bool PlaceOnScreen(SerialImageContext* ctx, const KeyIndexes& keys) {
    const std::int64_t bpp = ctx->info.bitsPerPixel;
    const std::int64_t screenW = std::max(ctx->screenWidth, 0);
    const std::int64_t screenH = std::max(ctx->screenHeight, 0);
    const std::uint64_t dstStride = RowStride(screenW, bpp);
    // The screen is an image of its own: within the pixel limit and one block.
    std::uint64_t pixels = 0;
    std::uint64_t imageSize = 0;
    if (!CheckedMul(screenW, screenH, &pixels) || pixels > kMaxImagePixels ||
        static_cast<std::uint64_t>(screenH) > kMaxImageRows ||
        !RowsBytes(screenW, screenH, bpp, &imageSize) ||
        !FitsBlock(imageSize + kPackedDibRowsOffset))
        return false;
    const HGLOBAL handle = GlobalAlloc(GHND, imageSize + kPackedDibRowsOffset);
    if (handle == 0)
        return false;
    auto* dib = static_cast<std::uint8_t*>(GlobalLock(handle));
    std::memcpy(dib, ctx->dib, kPackedDibRowsOffset);  // the colour table written already
    WritePackedDibHeader(dib, screenW, screenH, static_cast<std::int32_t>(bpp), imageSize);

    std::uint8_t* rows = dib + kPackedDibRowsOffset;
    const std::uint8_t* src = ctx->bits;
    const std::uint64_t srcStride = RowStride(ctx->info.width, bpp);
    const std::int64_t height = ctx->info.height;
    const std::int64_t left = ctx->frameLeft * bpp / 8;
    // Rows are stored bottom-up: the frame's first stored row lies this many rows up.
    const std::int64_t firstRow = screenH - ctx->frameTop - height;
    const bool withMask = (ctx->flags & kFlagImageAndMask) != 0;
    const std::int64_t rowBytes = screenW * bpp / 8;
    const std::int64_t half = screenW * bpp / 16;               // H: half of a screen row
    const std::int64_t frameHalf = ctx->info.width * bpp / 16;  // h: half of a frame row

    for (std::int64_t y = 0; y < screenH; ++y) {
        std::uint8_t* row = rows + y * dstStride;
        if (withMask) {
            std::memset(row, static_cast<std::uint8_t>(keys.black), static_cast<std::size_t>(half));
            std::memset(row + half, static_cast<std::uint8_t>(keys.white),
                        static_cast<std::size_t>(half));
        } else {
            std::memset(row, ctx->backgroundIndex, static_cast<std::size_t>(dstStride));
        }
    }
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t dstY = firstRow + y;
        if (dstY < 0 || dstY >= screenH)
            continue;
        std::uint8_t* row = rows + dstY * dstStride;
        const std::uint8_t* in = src + y * srcStride;
        if (withMask) {
            // The image half and the mask half each stay inside their own half.
            CopyClipped(row, left, half, in, frameHalf);
            CopyClipped(row + half, left, half, in + frameHalf, frameHalf);
        } else {
            CopyClipped(row, left, rowBytes, in, ctx->info.width * bpp / 8);
        }
    }
    GlobalUnlock(ctx->dibHandle);
    GlobalFree(ctx->dibHandle);
    ctx->dibHandle = handle;
    ctx->dib = dib;
    ctx->bits = rows;
    ctx->work = rows;
    return true;
}

}  // namespace

int SerialImageFinish(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b) {
    const ImageInfo& info = ctx->info;
    const KeyIndexes keys = WriteColours(ctx);
    // Rows cleaned in the work rows replace the result rows, unless a reduction has
    // already written its rows from them.
    // The work rows hold 24-bit rows, fewer bytes than the work size of a 32-bit image.
    if ((ctx->flags & kFlagCleanMask) && ctx->work != ctx->bits && info.bitsPerPixel == 24) {
        const std::uint64_t cleaned =
            WorkStride24(info.width) * static_cast<std::uint64_t>(info.height);
        std::memcpy(ctx->bits, ctx->work, static_cast<std::size_t>(cleaned));
    }
    if (ctx->placed == 1) {
        std::uint8_t* oldWork = ctx->work != ctx->bits ? ctx->work : nullptr;
        if (!PlaceOnScreen(ctx, keys))
            return kOutOfMemory;
        // The work rows are no longer the reducer's: keep them for the clean-up to free.
        if (oldWork != nullptr)
            ctx->work = oldWork;
    } else {
        // The unpadded pixel bytes, as callers of this library have always found here.
        WritePackedDibHeader(
            ctx->dib, info.width, info.height, info.bitsPerPixel,
            static_cast<std::uint64_t>(info.height) * info.bitsPerPixel * info.width / 8);
    }
    *a = ctx->dibHandle;
    *b = ctx->paletteHandle;
    GlobalUnlock(ctx->dibHandle);
    GlobalUnlock(ctx->paletteHandle);
    return kStepDone;
}

}  // namespace imagelib
