// Placement of a decoded frame on its logical screen. It runs as soon as decoding ends, so
// that the background is filled with the frame's own palette index and everything after it
// (mask cleaning, colour reduction, the display palette) sees the whole screen.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "engine/serial_engine.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

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

}  // namespace

bool ImagePlaceOnScreen(SerialImageContext* ctx) {
    ImageInfo& info = ctx->info;
    const std::int64_t bpp = info.bitsPerPixel;
    // Frames are placed as their decoder wrote them, a whole byte per pixel or more.
    if (bpp % 8 != 0)
        return false;
    const std::int64_t screenW = std::max(ctx->screenWidth, 0);
    const std::int64_t screenH = std::max(ctx->screenHeight, 0);
    const std::uint64_t dstStride = RowStride(screenW, bpp);
    // The screen is an image of its own: within the limits and one block. Its rows are to
    // be whitened as 24-bit rows when the mask needs cleaning.
    std::uint64_t imageSize = 0;
    std::uint64_t blockRows = 0;
    if (!ImageSizeAllowed(screenW, screenH) || !RowsBytes(screenW, screenH, bpp, &imageSize) ||
        !RowsBytes(screenW, screenH, (ctx->flags & kFlagCleanMask) ? 24 : bpp, &blockRows) ||
        !FitsBlock(blockRows + kPackedDibRowsOffset))
        return false;
    const HGLOBAL handle = GlobalAlloc(GHND, blockRows + kPackedDibRowsOffset);
    if (handle == 0)
        return false;
    auto* dib = static_cast<std::uint8_t*>(GlobalLock(handle));
    std::uint8_t* rows = dib + kPackedDibRowsOffset;
    const std::uint8_t* src = ctx->bits;
    const std::uint64_t srcStride = RowStride(info.width, bpp);
    const std::int64_t height = info.height;
    const std::int64_t left = ctx->frameLeft * bpp / 8;
    // Rows are stored bottom-up: the frame's first stored row lies this many rows up.
    const std::int64_t firstRow = screenH - ctx->frameTop - height;
    const bool withMask = (ctx->flags & kFlagImageAndMask) != 0;
    const std::int64_t rowBytes = screenW * bpp / 8;
    const std::int64_t half = screenW * bpp / 16;          // half of a screen row
    const std::int64_t frameHalf = info.width * bpp / 16;  // half of a frame row

    for (std::int64_t y = 0; y < screenH; ++y) {
        std::uint8_t* row = rows + y * dstStride;
        if (withMask) {
            // Outside the frame the screen is transparent: both halves show what the
            // frame's own transparent pixels show, and the mask cleaning whitens it alike.
            std::memset(row, ctx->imageKey, static_cast<std::size_t>(half));
            std::memset(row + half, ctx->maskKey, static_cast<std::size_t>(half));
        } else {
            std::memset(row, ctx->backgroundIndex, static_cast<std::size_t>(rowBytes));
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
            CopyClipped(row, left, rowBytes, in, info.width * bpp / 8);
        }
    }
    GlobalUnlock(ctx->dibHandle);
    GlobalFree(ctx->dibHandle);
    ctx->dibHandle = handle;
    ctx->dib = dib;
    ctx->bits = rows;
    ctx->work = rows;
    ctx->workSize = static_cast<std::int32_t>(blockRows);
    info.width = static_cast<std::int32_t>(screenW);
    info.height = static_cast<std::int32_t>(screenH);
    return true;
}

}  // namespace imagelib
