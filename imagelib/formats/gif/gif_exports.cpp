// The GIF exports: loading an animation into frame bitmaps and records, and counting the
// frames of a file.
#include <cstdint>

#include "core/load_flags.h"
#include "core/result_codes.h"
#include "engine/format_driver.h"
#include "engine/serial_engine.h"
#include "formats/gif/gif_anim.h"
#include "imagelib.h"

using namespace imagelib;

namespace {

// Frees a context through a private pair of words, leaving the caller's alone.
void FreeContext(std::uint32_t keyA, std::uint32_t keyB) {
    if (ImageContextFromWords(keyA, keyB) != nullptr)
        SerialImageCleanup(&keyA, &keyB);
}

}  // namespace

extern "C" {

int32_t ImageLoadGIFAnimation(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                              uint32_t* b, uint32_t* list, uint32_t* flags) {
    if (a == nullptr || b == nullptr || list == nullptr)
        return kOutOfMemory;
    SerialImageContext* ctx = ImageNewContext();
    if (ctx == nullptr)
        return kOutOfMemory;
    ImageContextToWords(ctx, a, b);
    const std::uint32_t keyA = *a;
    const std::uint32_t keyB = *b;
    *list = 0;
    ctx->flags = (flags != nullptr ? *flags : 0) | kFlagAnimation | kFlagOneShot;
    ctx->path = path;
    ctx->stream = ImageMemStreamOpen(path, buffer, length, L"rb");
    int r = ctx->stream != nullptr ? SerialImageBegin(ctx) : kNotFound;
    if (r != kStepAgain) {
        SerialImageCleanup(a, b);
        return r;
    }
    // From here on the frames are this function's to hand over or free.
    const bool gif = ctx->formatIndex == kFormatGif;
    GifFrame* frames = gif ? GifClaimFrames(ctx) : nullptr;
    while (r == kStepAgain)
        r = SerialImageNext(a, b, flags, nullptr);
    SerialImageContext* live = ImageContextFromWords(keyA, keyB);
    if (r == kStepDone && gif && live != nullptr && GifBuildAnimList(live, list) != kOk)
        r = kOutOfMemory;
    if (r != kStepDone && gif) {
        GifFreeFrames(frames, true);
        if (live != nullptr)
            GifDropFrames(live);
    }
    FreeContext(keyA, keyB);
    if (r != kStepDone) {
        // A load that stopped in a later step still held the words; a result already
        // handed over is freed with it.
        if (*a != keyA || *b != keyB)
            SerialImageCleanup(a, b);
        *a = 0;
        *b = 0;
        *list = 0;
    }
    return r;
}

int32_t ImageCountGIFFrames(const wchar_t* path, int32_t* count) {
    if (count == nullptr)
        return kOutOfMemory;
    return GifCountFrames(path, count);
}

}  // extern "C"
