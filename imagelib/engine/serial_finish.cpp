// The finalise step: the DIB's header and colour table, the logical palette, and the
// hand-over of both blocks to the caller's words.
#include <cstring>

#include "core/load_flags.h"
#include "core/result_codes.h"
#include "engine/serial_engine.h"
#include "win32/global_memory.h"

namespace imagelib {

int SerialImageFinish(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b) {
    const ImageInfo& info = ctx->info;
    const int bpp = info.bitsPerPixel;
    WriteColourTables(ctx->dib, ctx->logPalette, ctx->palette, bpp <= 8 ? 1 << bpp : 0);
    // Rows cleaned in the work rows replace the result rows, unless a reduction has
    // already written its rows from them.
    // The work rows hold 24-bit rows, fewer bytes than the work size of a 32-bit image.
    if ((ctx->flags & kFlagCleanMask) && ctx->work != ctx->bits && info.bitsPerPixel == 24) {
        const std::uint64_t cleaned =
            WorkStride24(info.width) * static_cast<std::uint64_t>(info.height);
        std::memcpy(ctx->bits, ctx->work, static_cast<std::size_t>(cleaned));
    }
    // A placed frame's rows fill its screen, padding included (they were placed when
    // decoding ended); other images give their unpadded pixel bytes, as callers of this
    // library have always found here.
    const std::uint64_t sizeImage =
        ctx->placed == 1
            ? RowStride(info.width, info.bitsPerPixel) * static_cast<std::uint64_t>(info.height)
            : static_cast<std::uint64_t>(info.height) * info.bitsPerPixel * info.width / 8;
    WritePackedDibHeader(ctx->dib, info.width, info.height, info.bitsPerPixel, sizeImage);
    *a = ctx->dibHandle;
    *b = ctx->paletteHandle;
    GlobalUnlock(ctx->dibHandle);
    GlobalUnlock(ctx->paletteHandle);
    return kStepDone;
}

}  // namespace imagelib
