// The GIF driver's decoding step in single mode: the image the header walk stopped at,
// decoded from the memory stream into the context's rows a slice of rows per call. In
// animation mode every call goes to the animation decoder.
#include <algorithm>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "engine/serial_engine.h"
#include "formats/gif/gif_codes.h"
#include "formats/gif/gif_driver.h"
#include "formats/gif/gif_keys.h"
#include "formats/gif/gif_state.h"

namespace imagelib {
namespace {

// Mask mode or plain indices; reports the transparent index as the flags ask.
void ChooseLayout(SerialImageContext* ctx, GifState& st) {
    GifPixelSink& sink = st.sink;
    const std::int32_t width = ctx->info.width;
    if (st.transparencyPresent && (ctx->flags & kFlagImageAndMask)) {
        ctx->transparentIndex = st.transparentIndex;
        const GifKeyChoice keys =
            GifChooseKeys(ctx->palette, 1 << st.colourTableBits, st.transparentIndex);
        GifSinkTakeKeys(sink, keys, st.transparentIndex);
        // A frame placed on its screen gives the rest of the screen the same keys.
        ctx->imageKey = keys.imageKey;
        ctx->maskKey = keys.maskKey;
        if (keys.noWhite)
            ctx->flags |= kFlagCleanMask;
        sink.width = width / 2;  // the reader doubled the width
        sink.halfWidth = width / 2;
        return;
    }
    ctx->flags &= ~kFlagImageAndMask;
    sink.maskMode = 0;
    if (st.transparencyPresent && (ctx->flags & kFlagReportTransparent))
        ctx->transparentIndex = st.transparentIndex;
    else
        ctx->flags &= ~kFlagReportTransparent;
}

int StartImage(SerialImageContext* ctx, GifState& st) {
    if (!GifEnsureTables(st))
        return kOutOfMemory;
    StreamReader in(ctx->stream);
    std::uint8_t size = 0;
    if (!in.U8(&size))
        return kReadError;
    if (size < kLzwMinCodeSize || size > kLzwMaxCodeSize)
        return kGifBadCodeSize;
    st.minCodeSize = size;
    GifStartReader(st.reader, ctx->stream, size);
    const ImageInfo& info = ctx->info;
    GifStartSink(st.sink, ctx->bits, static_cast<std::int64_t>(RowStride(info.width, 8)),
                 info.width, info.height, st.interlaced != 0);
    ChooseLayout(ctx, st);
    GifStartLzw(st.lzw, *st.tables, size);
    return kOk;
}

}  // namespace

bool GifEnsureTables(GifState& st) {
    if (st.tables == nullptr)
        st.tables = static_cast<GifLzwTables*>(ImageAlloc(sizeof(GifLzwTables)));
    return st.tables != nullptr;
}

void GifFreeTables(GifState& st) {
    ImageFree(st.tables);
    st.tables = nullptr;
}

int GifDecodeStep(SerialImageContext* ctx, int abort) {
    GifState& st = DriverState<GifState>(&ctx->info);
    if (st.animation)
        return GifDecodeAnimation(ctx, abort);
    if (abort) {
        GifFreeTables(st);
        return kStepDone;
    }
    if (st.firstCall) {
        st.firstCall = 0;
        const int r = StartImage(ctx, st);
        if (r != kOk)
            return r;
    }
    GifPixelSink& sink = st.sink;
    const std::int64_t untilRows =
        static_cast<std::int64_t>(sink.rowsDone) + std::max(ctx->rowsPerStep, 1);
    const bool done = GifDecodeLzw(st.lzw, *st.tables, st.reader, sink, untilRows);
    if (done)
        GifSinkFillTransparent(sink);
    // Percent follows the rows written, in whatever order they come, so it never falls.
    ctx->info.percent = ImageDecodePercent(ctx, done ? sink.height : sink.rowsDone, sink.height);
    return done ? kStepDone : kStepAgain;
}

}  // namespace imagelib
