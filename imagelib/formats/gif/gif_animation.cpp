// Animation mode: every image of the file decoded into a PackedDib and a DisplayPalette of
// its own, and the file's blocks turned into the caller's GifAnimRecord array.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "engine/serial_engine.h"
#include "formats/gif/gif_anim.h"
#include "formats/gif/gif_codes.h"
#include "formats/gif/gif_keys.h"
#include "formats/gif/gif_state.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr std::uint64_t kRecordBlockExtra = 4164;  // always room for a closing empty record
constexpr std::uint64_t kRecordBlockUnit = 4096;
constexpr std::uint8_t kInterlacedBit = 0x40;
// A stray byte of this value where a block should begin reads as a second screen.
constexpr std::uint8_t kGifScreenByte = 0xFF;

// The frame's colours: m entries of its local table or of the context's palette; the
// key colours are chosen over the n entries of its table.
struct FrameColours {
    PaletteEntry3 table[256];
    std::int32_t m;
    std::int32_t n;
};

bool ColoursOf(const SerialImageContext* ctx, const GifState& st, GifWalker& walker,
               const GifBlock& image, FrameColours* c) {
    *c = FrameColours{};
    if (image.tableBits != 0) {
        if (!walker.ReadAt(image.table, c->table, GifTableBytes(image.tableBits)))
            return false;
        c->m = 1 << image.tableBits;
        c->n = c->m;
    } else {
        std::memcpy(c->table, ctx->palette, sizeof c->table);
        c->m = 1 << st.screenDepth;
        c->n = 1 << st.colourTableBits;
    }
    return true;
}

// One image: its bitmap, palette and pixels into frame. 0 or an error code.
int DecodeFrame(SerialImageContext* ctx, GifState& st, GifWalker& walker, const GifBlock& image,
                const GifControl& control, GifFrame* frame, std::uint64_t* pixelsSoFar) {
    const bool maskMode = control.transparent && (ctx->flags & kFlagImageAndMask);
    const std::uint64_t width = image.width;
    const std::uint64_t height = image.height;
    const std::uint64_t bitmapWidth = width * (maskMode ? 2 : 1);
    std::uint64_t pixels = 0;
    std::uint64_t rowsBytes = 0;
    if (!CheckedMul(bitmapWidth, height, &pixels) || pixels > kMaxImagePixels ||
        *pixelsSoFar + pixels > kMaxAnimationPixels ||
        !RowsBytes(bitmapWidth, height, 8, &rowsBytes))
        return kOutOfMemory;
    *pixelsSoFar += pixels;
    FrameColours colours;
    if (!ColoursOf(ctx, st, walker, image, &colours))
        return kReadError;
    const std::uint64_t stride = RowStride(bitmapWidth, 8);
    frame->bitmap = GlobalAlloc(GHND, rowsBytes + kPackedDibRowsOffset);
    if (frame->bitmap == 0)
        return kOutOfMemory;
    frame->palette = GlobalAlloc(GHND, kLogPaletteBytes);
    if (frame->palette == 0)
        return kOutOfMemory;
    frame->bitmapWidth = static_cast<std::int32_t>(bitmapWidth);
    auto* dib = static_cast<std::uint8_t*>(GlobalLock(frame->bitmap));
    auto* pal = static_cast<std::uint8_t*>(GlobalLock(frame->palette));
    WritePackedDibHeader(dib, static_cast<std::int64_t>(bitmapWidth),
                         static_cast<std::int64_t>(height), 8, rowsBytes);
    WriteColourTables(dib, pal, colours.table, colours.m);

    GifPixelSink& sink = st.sink;
    std::uint8_t* bits = dib + kPackedDibRowsOffset;
    GifStartSink(sink, bits, static_cast<std::int64_t>(stride), image.width, image.height,
                 (image.packed & kInterlacedBit) != 0);
    sink.maskMode = 0;
    const std::uint8_t t = control.transparentIndex;
    GifKeyChoice keys{};
    if (maskMode) {
        keys = GifChooseKeys(colours.table, colours.n, t);
        for (std::int32_t k = 0; k < keys.changedCount; ++k)
            WritePaletteEntry(dib, pal, keys.changed[k], colours.table[keys.changed[k]]);
        if (keys.noWhite || (keys.blackAppended && keys.imageKey >= colours.m) || keys.maskKey == t)
            ctx->flags |= kFlagCleanMask;
        GifSinkTakeKeys(sink, keys, t);
        sink.halfWidth = image.width;
    }

    int r = kOk;
    // An image without data sub-blocks keeps its zero-filled rows (transparent ones in
    // mask mode, like every pixel its data do not reach).
    if (image.subBlocks > 0) {
        const std::uint8_t size = image.minCodeSize;
        if (size < kLzwMinCodeSize || size > kLzwMaxCodeSize) {
            r = kGifBadCodeSize;
        } else {
            // The decoder reads the data where it lies, from its first sub-block on;
            // every frame starts from a fresh table.
            StreamReader in(ctx->stream);
            in.Seek(image.data + 1);
            GifStartReader(st.reader, ctx->stream, size);
            GifStartLzw(st.lzw, *st.tables, size);
            while (!GifDecodeLzw(st.lzw, *st.tables, st.reader, sink, sink.height)) {
            }
            // The walk goes on after the image, wherever the decoder stopped.
            in.Seek(image.end);
        }
    }
    if (maskMode) {
        GifSinkFillTransparent(sink);
        const GifMaskRows rows{bits, static_cast<std::int64_t>(stride), image.width, image.height};
        const std::int32_t white = GifWhitenMaskKey(colours.table, rows, keys, t);
        if (white >= 0)
            WritePaletteEntry(dib, pal, white, colours.table[white]);
    }
    GlobalUnlock(frame->bitmap);
    GlobalUnlock(frame->palette);
    return r;
}

// The frame count of a list: the images the reader counted.
std::uint32_t FrameCount(const GifFrame* frames) {
    return ImageBlockSize(frames) / sizeof(GifFrame);
}

int DecodeAll(SerialImageContext* ctx, GifState& st) {
    if (!GifEnsureTables(st))
        return kOutOfMemory;
    GifWalker walker(ctx->stream);
    GifHead head;
    int r = walker.ReadHead(&head);
    if (r != kOk)
        return r;
    const std::uint32_t count = FrameCount(st.frames);
    std::uint32_t done = 0;
    std::uint64_t pixels = 0;
    r = GifWalkAnimation(walker, (ctx->flags & kFlagGifFirstFrameOnly) != 0,
                         [&](const GifBlock& b, const GifControl& control) {
                             if (b.kind != kGifImage)
                                 return kOk;
                             if (done >= count)
                                 return kReadError;
                             return DecodeFrame(ctx, st, walker, b, control, &st.frames[done++],
                                                &pixels);
                         });
    ctx->info.percent = ImageDecodePercent(ctx, done, count);
    return r == kOk ? kStepDone : r;
}

// Every block of the walk that yields a record, or would (the block's size counts them):
// the screen, images, graphic control and application extensions with data, and stray
// bytes that read as a screen.
bool Counts(const GifBlock& b) {
    if (b.kind == kGifScreenByte || b.kind == kGifImage)
        return true;
    return b.kind == kGifExtension && b.subBlocks > 0 &&
           (b.label == kGifGraphicControl || b.label == kGifApplication);
}

std::uint32_t Colour(const PaletteEntry3& c) {
    return std::uint32_t(c.red) | std::uint32_t(c.green) << 8 | std::uint32_t(c.blue) << 16;
}

// The record of one block, or false when the block yields none. A stray byte of the
// screen's kind is a screen record of size 0.
bool RecordOf(const SerialImageContext* ctx, const GifBlock& b, const GifFrame* frame,
              GifAnimRecord* rec) {
    *rec = GifAnimRecord{};
    if (b.kind == kGifScreenByte) {
        rec->kind = kGifRecordScreen;
        rec->background = Colour(ctx->palette[0]);
        return true;
    }
    if (b.kind == kGifImage) {
        rec->kind = kGifRecordFrame;
        rec->width = static_cast<std::uint32_t>(frame->bitmapWidth);
        rec->height = b.height;
        rec->left = b.left;
        rec->top = b.top;
        rec->dib = frame->bitmap;
        rec->palette = frame->palette;
        return true;
    }
    if (b.kind != kGifExtension || b.subBlocks == 0)
        return false;
    if (b.label == kGifGraphicControl) {
        const GifControl c = GifControlOf(b);
        rec->kind = kGifRecordGraphicControl;
        rec->delay = c.delay;
        rec->transparent = c.packed & 0x01;
        rec->transparentIndex = c.transparentIndex;
        rec->disposalHigh = c.packed & 0x08;
        rec->userInput = c.packed & 0x02;
        rec->disposalLow = c.packed & 0x04;
        return true;
    }
    // A loop count: the second sub-block begins with 1; the identifier is not compared.
    if (b.label == kGifApplication && b.subBlocks >= 2 && b.second[0] == 1) {
        rec->kind = kGifRecordLoop;
        rec->loopCount = LoadU16LE(b.second + 1);
        return true;
    }
    return false;
}

}  // namespace

void GifFreeFrames(GifFrame* frames, bool freeFrames) {
    if (frames == nullptr)
        return;
    if (freeFrames) {
        const std::uint32_t count = FrameCount(frames);
        for (std::uint32_t i = 0; i < count; ++i) {
            GlobalFree(frames[i].bitmap);
            GlobalFree(frames[i].palette);
        }
    }
    ImageFree(frames);
}

GifFrame* GifClaimFrames(SerialImageContext* ctx) {
    GifState& st = DriverState<GifState>(&ctx->info);
    st.framesClaimed = 1;
    return st.frames;
}

void GifDropFrames(SerialImageContext* ctx) {
    DriverState<GifState>(&ctx->info).frames = nullptr;
}

int GifDecodeAnimation(SerialImageContext* ctx, int abort) {
    GifState& st = DriverState<GifState>(&ctx->info);
    if (abort) {
        GifFreeTables(st);
        if (!st.framesClaimed) {
            GifFreeFrames(st.frames, true);
            st.frames = nullptr;
        }
        return kStepDone;
    }
    st.firstCall = 0;
    return DecodeAll(ctx, st);
}

int GifBuildAnimList(SerialImageContext* ctx, HGLOBAL* list) {
    GifState& st = DriverState<GifState>(&ctx->info);
    const bool firstOnly = (ctx->flags & kFlagGifFirstFrameOnly) != 0;
    // The walks cannot fail: the reader took the same walk over the same data.
    GifWalker walker(ctx->stream);
    GifHead head;
    std::uint64_t count = 1;  // the screen's record, then one per block that yields one
    int r = walker.ReadHead(&head);
    if (r == kOk)
        r = GifWalkAnimation(walker, firstOnly, [&](const GifBlock& b, const GifControl&) {
            count += Counts(b) ? 1 : 0;
            return kOk;
        });
    if (r != kOk)
        return r;
    const std::uint64_t bytes =
        (count * sizeof(GifAnimRecord) + kRecordBlockExtra) & ~(kRecordBlockUnit - 1);
    const HGLOBAL block = FitsBlock(bytes) ? GlobalAlloc(GHND, bytes) : 0;
    if (block == 0)
        return kOutOfMemory;
    auto* records = static_cast<GifAnimRecord*>(GlobalLock(block));
    GifAnimRecord& screen = records[0];
    screen.kind = kGifRecordScreen;
    screen.width = head.screenWidth;
    screen.height = head.screenHeight;
    screen.background = Colour(ctx->palette[head.background]);
    std::uint64_t written = 1;
    const std::uint32_t frames = FrameCount(st.frames);
    std::uint32_t frame = 0;
    walker.ReadHead(&head);
    GifWalkAnimation(walker, firstOnly, [&](const GifBlock& b, const GifControl&) {
        const bool image = b.kind == kGifImage;
        if (image && frame >= frames)
            return kReadError;
        GifAnimRecord rec;
        if (RecordOf(ctx, b, image ? &st.frames[frame] : nullptr, &rec)) {
            if (written >= count)
                return kReadError;
            records[written++] = rec;
        }
        frame += image ? 1 : 0;
        return kOk;
    });
    GifFreeFrames(st.frames, false);
    st.frames = nullptr;
    GlobalUnlock(block);
    *list = block;
    return kOk;
}

}  // namespace imagelib
