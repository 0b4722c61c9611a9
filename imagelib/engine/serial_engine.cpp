// The load engine's begin step, the step dispatcher SerialImageNext, and the clean-up and
// percent queries on the caller's two words.
#include "engine/serial_engine.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "core/holders.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "engine/format_driver.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr std::int32_t kRowsPerStep = 10;
constexpr std::int32_t kRowsPerStepOneShot = 8192;
constexpr std::uint32_t kKeyBit = 0x80000000;

int DisplayClassOfScreen() {
    const ScreenDc dc;
    const bool palette = (GetDeviceCaps(dc.get(), RASTERCAPS) & RC_PALETTE) != 0;
    const int bits = GetDeviceCaps(dc.get(), BITSPIXEL);
    if (palette)
        return 8;
    return bits <= 4 ? 4 : 16;
}

bool KnownDepth(std::int32_t bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
}

// The header, palette and sizing part of the begin step, after the driver's header was
// read: 68, or an error code that leaves the driver to be ended by the caller.
int BeginAfterHeader(SerialImageContext* ctx, bool reduceRequested) {
    ImageInfo& info = ctx->info;
    // Drivers turn what their formats allow (top-down rows, say) into positive sizes; a
    // size that is still not positive has no image to hold. An image beyond the pixel
    // limit is refused here, for every format, before anything is sized from it.
    if (!ImageSizeAllowed(static_cast<std::uint64_t>(std::max(info.width, 0)),
                          static_cast<std::uint64_t>(std::max(info.height, 0))))
        return kOutOfMemory;
    int r = ImageDriverReadPalette(ctx->stream, ctx->formatIndex, &info, ctx->palette);
    if (r != kOk)
        return r;
    ctx->flags &= ~ImageDriverRow(ctx->formatIndex)->clearedFlags;
    if (ctx->flags & kFlagForce8Bit) {
        ctx->flags |= kFlagReduce;
        info.displayClass = 8;
    } else if (info.bitsPerPixel > 8 && reduceRequested) {
        ctx->flags |= kFlagReduce;
        if (info.displayClass > 8)
            info.displayClass = 8;
    }
    if (!KnownDepth(info.bitsPerPixel))
        return kNotSupported;
    // Room for 24-bit rows (32-bit ones for a 32-bit image) whatever the depth, so that
    // neither the reduction nor the mask cleaning needs another result block.
    std::uint64_t workSize = 0;
    if (!RowsBytes(info.width, info.height, info.bitsPerPixel == 32 ? 32 : 24, &workSize) ||
        !FitsBlock(workSize + kPackedDibRowsOffset))
        return kOutOfMemory;
    ctx->workSize = static_cast<std::int32_t>(workSize);
    ctx->dibHandle = GlobalAlloc(GHND, workSize + kPackedDibRowsOffset);
    ctx->paletteHandle = GlobalAlloc(GHND, kLogPaletteBytes);
    if (ctx->dibHandle == 0 || ctx->paletteHandle == 0)
        return kOutOfMemory;
    ctx->dib = static_cast<std::uint8_t*>(GlobalLock(ctx->dibHandle));
    ctx->logPalette = static_cast<std::uint8_t*>(GlobalLock(ctx->paletteHandle));
    ctx->bits = ctx->dib + kPackedDibRowsOffset;
    ctx->work = ctx->bits;
    ctx->state = kStateDecode;
    ctx->steps = 0;
    return kStepAgain;
}

void StoreFlags(const SerialImageContext* ctx, std::uint32_t* flags) {
    if (flags != nullptr)
        *flags = ctx->flags;
}

// Frees a load through a private pair of words, leaving the caller's words alone.
void FreeContext(SerialImageContext* ctx) {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    ImageContextToWords(ctx, &a, &b);
    SerialImageCleanup(&a, &b);
}

// Decoding ended: close the driver and choose the next state.
int AfterDecode(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b, std::uint32_t* flags,
                std::int32_t* transparentIndex) {
    ImageDriverDecodeStep(ctx, 1);
    // The driver is ended: a later clean-up must not end it a second time.
    ctx->state = 0;
    const bool cleanMask = (ctx->flags & kFlagCleanMask) && ImageHasMaskLayout(ctx);
    // The frame goes onto its screen before anything changes what its indices mean.
    if ((ctx->placed == 1 && !ImagePlaceOnScreen(ctx)) || (cleanMask && !ImageCleanMask(ctx))) {
        ctx->state = kStateIdle;
        SerialImageCleanup(a, b);
        return kOutOfMemory;
    }
    if (ctx->flags & kFlagReduce) {
        ctx->state = kStateReduce;
    } else if (ctx->flags & kFlagMapToDisplayPalette) {
        ctx->state = kStatePalette;
    } else {
        ctx->state = kStateFinalise;
    }
    StoreFlags(ctx, flags);
    if (transparentIndex != nullptr && (ctx->flags & kFlagReportTransparent)) {
        *transparentIndex = ctx->transparentIndex;
    }
    ctx->steps = 0;
    return kStepAgain;
}

int DecodeStep(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b, std::uint32_t* flags,
               std::int32_t* transparentIndex) {
    const int r = ImageDriverDecodeStep(ctx, 0);
    ++ctx->steps;
    if (r == kStepAgain)
        return r;
    if (r == kStepDone)
        return AfterDecode(ctx, a, b, flags, transparentIndex);
    ctx->state |= kStateIdle;
    SerialImageCleanup(a, b);
    return r;
}

int ReduceStep(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b, std::uint32_t* flags) {
    // As many rows per call as the decoding takes; the reducer converts one per call.
    int r = kStepAgain;
    for (std::int32_t i = 0; i < std::max(1, ctx->rowsPerStep) && r == kStepAgain; ++i)
        r = SerialImageReduceStep(ctx, 0);
    ++ctx->steps;
    if (r == kStepAgain)
        return r;
    // An error ends the load like a failed decoding: freed, and the words cleared, as the
    // header promises for every error of SerialImageNext.
    if (r != kStepDone) {
        ctx->state |= kStateIdle;
        SerialImageCleanup(a, b);
        return r;
    }
    SerialImageReduceStep(ctx, 1);
    StoreFlags(ctx, flags);
    ctx->state = kStatePalette;
    return kStepAgain;
}

int FinaliseStep(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b) {
    SerialImageFinish(ctx, a, b);
    ctx->state = kStateHandedOver;
    ctx->info.percent = 100;
    // An animation load's creator frees the context itself, through its own copy of the
    // key; the caller's words already hold the result.
    if (ctx->flags & kFlagAnimation)
        return kStepDone;
    FreeContext(ctx);
    return kStepDone;
}

}  // namespace

void ImageContextToWords(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b) {
    const std::uint32_t key = ImageBlockKey(ctx);
    *a = key >> 16;
    *b = key & 0xFFFF;
}

SerialImageContext* ImageContextFromWords(std::uint32_t a, std::uint32_t b) {
    // A context's words each fit 16 bits and A carries the key bit; a result's A is a
    // global handle, which never fits 16 bits, so the two can never be confused.
    if (a > 0xFFFF || b > 0xFFFF)
        return nullptr;
    const std::uint32_t key = a << 16 | b;
    // Only contexts are named to callers; words naming any other block name no load.
    if ((key & kKeyBit) == 0 || !ImageIsLiveContext(key))
        return nullptr;
    return static_cast<SerialImageContext*>(ImageBlockFromKey(key));
}

bool ImageHasMaskLayout(const SerialImageContext* ctx) {
    return (ctx->flags & kFlagImageAndMask) &&
           !(ctx->formatIndex == kFormatGif && (ctx->flags & kFlagAnimation));
}

SerialImageContext* ImageNewContext() {
    auto* ctx = static_cast<SerialImageContext*>(ImageAllocContext(sizeof(SerialImageContext)));
    if (ctx == nullptr)
        return nullptr;
    ctx->state = kStateIdle;
    ctx->transparentIndex = -1;
    return ctx;
}

int SerialImageBegin(SerialImageContext* ctx) {
    const bool reduceRequested = (ctx->flags & kFlagReduce) != 0;
    ctx->rowsPerStep = (ctx->flags & kFlagOneShot) ? kRowsPerStepOneShot : kRowsPerStep;
    ctx->info.displayClass = DisplayClassOfScreen();
    ctx->transparentIndex = -1;
    if (ImageDetectFormat(ctx->path, &ctx->formatIndex, ctx->stream) != kOk)
        return kNotFound;
    const std::uint32_t stateSize = ImageDriverRow(ctx->formatIndex)->stateSize;
    ctx->info.driverState = ImageAlloc(stateSize);
    if (ctx->info.driverState == nullptr)
        return kOutOfMemory;
    ctx->info.driverStateSize = stateSize;
    ctx->placed = 0;
    int r = ImageDriverReadHeader(ctx->path, ctx->stream, ctx->formatIndex, &ctx->info, ctx->flags);
    if (r != kOk)
        return r;
    r = BeginAfterHeader(ctx, reduceRequested);
    // The driver may hold state from its header on: end it on every failure after it.
    if (r != kStepAgain)
        ImageDriverDecodeStep(ctx, 1);
    return r;
}

}  // namespace imagelib

using namespace imagelib;

extern "C" {

int32_t SerialImageNext(uint32_t* a, uint32_t* b, uint32_t* flags, int32_t* transparentIndex) {
    if (a == nullptr || b == nullptr)
        return kOutOfMemory;
    SerialImageContext* ctx = ImageContextFromWords(*a, *b);
    // Cleared words, a finished result or a freed load: nothing to do, nothing touched.
    if (ctx == nullptr)
        return kStepDone;
    switch (ctx->state) {
        case kStateDecode:
            return DecodeStep(ctx, a, b, flags, transparentIndex);
        case kStateReduce:
            return ReduceStep(ctx, a, b, flags);
        case kStatePalette:
            SerialImagePaletteStep(ctx);
            StoreFlags(ctx, flags);
            ctx->state = kStateFinalise;
            return kStepAgain;
        case kStateFinalise:
            return FinaliseStep(ctx, a, b);
        default:
            ctx->info.percent = 100;
            ctx->state |= kStateIdle;
            SerialImageCleanup(a, b);
            return kStepDone;
    }
}

int32_t SerialImageCleanup(uint32_t* a, uint32_t* b) {
    if (a == nullptr || b == nullptr || (*a == 0 && *b == 0))
        return kOutOfMemory;
    SerialImageContext* ctx = ImageContextFromWords(*a, *b);
    if (ctx != nullptr) {
        if (ctx->state & kStateDecode)
            ImageDriverDecodeStep(ctx, 1);
        if (ctx->state & kStateReduce)
            SerialImageReduceStep(ctx, 1);
        ImageMemStreamFree(ctx->stream);
        if (!(ctx->state & kStateHandedOver)) {
            for (HGLOBAL h : {ctx->dibHandle, ctx->paletteHandle}) {
                if (h != 0) {
                    GlobalUnlock(h);
                    GlobalFree(h);
                }
            }
        }
        ImageFree(ctx->info.driverState);
        if (ctx->work != ctx->bits)
            ImageFree(ctx->work);
        // Frees the rows only when a bitmap builder supplied them as a tracked block.
        ImageFree(ctx->bits);
        ImageFree(ctx);
    } else {
        // Words that name neither a load nor a block (freed before, never issued, handles
        // of another kind) are nothing to free: they are left as they are.
        if (GlobalSize(*a) == 0 && GlobalSize(*b) == 0)
            return kOutOfMemory;
        for (uint32_t* word : {a, b}) {
            const HGLOBAL h = *word;
            if ((GlobalFlags(h) & GMEM_LOCKCOUNT) != 0)
                GlobalUnlock(h);
            GlobalFree(h);
        }
    }
    *a = 0;
    *b = 0;
    return kOk;
}

int32_t ImageLoadCleanup(uint32_t* a, uint32_t* b) {
    return SerialImageCleanup(a, b);
}

int32_t SerialImagePercentComplete(uint32_t* a, uint32_t* b) {
    if (a == nullptr || b == nullptr || (*a == 0 && *b == 0))
        return kOutOfMemory;
    const SerialImageContext* ctx = ImageContextFromWords(*a, *b);
    return ctx != nullptr ? ctx->info.percent : 100;
}

}  // extern "C"
