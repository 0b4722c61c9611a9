// The engine's reduce and palette steps: colours down to the display's depth through the
// colour reducer, and the display's palette in place of the image's.
#include <algorithm>

#include "colour/colour_reduce.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "engine/serial_engine.h"

namespace imagelib {
namespace {

// A 4-bit image already fits a 16-colour (or deeper) display: only its palette is mapped.
// On a palette display it is reduced like any other image, so that its rows and its depth
// agree with the 256-entry display palette.
bool KeepsFourBitRows(const SerialImageContext* ctx) {
    return ctx->info.bitsPerPixel == 4 && !(ctx->flags & kFlagForce8Bit) &&
           ctx->info.displayClass != 8;
}

}  // namespace

bool ImageReductionFollows(const SerialImageContext* ctx) {
    const int displayClass = ctx->info.displayClass;
    if (!(ctx->flags & kFlagReduce) || (displayClass != 4 && displayClass != 8))
        return false;
    // The mask cleaning turns the rows into 24-bit ones before the reduce step sees them.
    return (ctx->flags & kFlagCleanMask) != 0 || !KeepsFourBitRows(ctx);
}

std::int32_t ImageDecodePercent(const SerialImageContext* ctx, std::int64_t done,
                                std::int64_t total) {
    const std::int64_t scale = ImageReductionFollows(ctx) ? 50 : 100;
    if (total <= 0)
        return static_cast<std::int32_t>(scale);
    done = std::clamp<std::int64_t>(done, 0, total);
    return static_cast<std::int32_t>(done * scale / total);
}

int SerialImageReduceStep(SerialImageContext* ctx, int abort) {
    ImageInfo& info = ctx->info;
    const int displayClass = info.displayClass;
    const bool reducing = displayClass == 4 || displayClass == 8;
    const auto reduce = displayClass == 4 ? ImageReduceToDisplay4 : ImageReduceToDisplay8;
    ReduceRows rows{ctx->work, ctx->bits, info.width, info.height, ctx->flags};
    rows.maskLayout = ImageHasMaskLayout(ctx);
    if (abort) {
        // Ends a reduction under way (an idle reducer frees nothing); the depth stays.
        if (reducing)
            reduce(&ctx->reducer, rows, 1);
        return kStepDone;
    }
    // Until the 24-bit work rows exist (the mask cleaning may have made them already),
    // a call prepares them; a call after a failed allocation tries again.
    if (ctx->work == ctx->bits) {
        if (KeepsFourBitRows(ctx)) {
            ctx->flags |= kFlagMapToDisplayPalette;
            info.percent = 100;
            return kStepDone;
        }
        return ImageAllocWork24(ctx) ? kStepAgain : kOutOfMemory;
    }
    if (!reducing)
        return kStepDone;
    const int r = reduce(&ctx->reducer, rows, 0);
    info.percent = ImageReducePercent(ctx->reducer, info.height);
    if (r == kStepDone)
        info.bitsPerPixel = displayClass;
    return r;
}

int SerialImagePaletteStep(SerialImageContext* ctx) {
    // Once 24-bit work rows exist, the result rows are either reduced ones, which index the
    // display palette itself, or 24-bit ones, which have none. Rows that keep the image's
    // own indices get their entries mapped to the nearest display colours on a 16-colour
    // display, and keep them on a palette display, whose cube they do not index.
    const bool ownIndexes = ctx->work == ctx->bits;
    const std::uint8_t map = (ctx->flags & kFlagMapToDisplayPalette) && ownIndexes ? 1 : 0;
    if (ctx->info.displayClass == 4) {
        ImageDisplayPalette16(ctx->palette, map);
    } else if (ctx->info.displayClass == 8 && !ownIndexes) {
        ImageDisplayPalette256(ctx->palette);
    }
    return kStepDone;
}

}  // namespace imagelib
