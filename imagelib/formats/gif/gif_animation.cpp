// Animation mode: every image of the block list decoded into a PackedDib and a
// DisplayPalette of its own, and the list turned into the caller's GifAnimRecord array.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "formats/gif/gif_anim.h"
#include "formats/gif/gif_codes.h"
#include "formats/gif/gif_keys.h"
#include "formats/gif/gif_state.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

// A frame's DisplayPalette block: the LOGPALETTE of 256 entries and a spare entry.
constexpr std::uint64_t kRecordBlockExtra = 4164;  // always room for a closing empty record
constexpr std::uint64_t kRecordBlockUnit = 4096;

// Transparency as the last graphic control extension before a frame set it.
struct FrameTransparency {
    bool present = false;
    std::uint8_t index = 0;
};

// Up to four bytes of an entry's data; what the entry does not hold reads as 0.
void FirstBytes(const GifDataBlock* entry, std::uint8_t (&out)[4]) {
    std::memset(out, 0, sizeof out);
    if (entry != nullptr && entry->data != nullptr)
        std::memcpy(out, entry->data, std::min<std::size_t>(entry->length, sizeof out));
}

// The frame's colours: m entries of its local table or of the context's palette; the
// key colours are chosen over the n entries of its table.
struct FrameColours {
    PaletteEntry3 table[256];
    std::int32_t m;
    std::int32_t n;
};

FrameColours ColoursOf(const SerialImageContext* ctx, const GifState& st,
                       const GifBlockNode* node) {
    FrameColours c{};
    if (node->hasLocalTable)
        std::memcpy(c.table, node->localTable, sizeof c.table);
    else
        std::memcpy(c.table, ctx->palette, sizeof c.table);
    c.m = 1 << node->paletteBits;
    c.n = 1 << (node->hasLocalTable ? node->paletteBits : st.colourTableBits);
    return c;
}

// One image node: its bitmap, palette and pixels. 0 or an error code.
int DecodeFrame(SerialImageContext* ctx, GifState& st, GifBlockNode* node,
                const FrameTransparency& tr, std::uint64_t* pixelsSoFar) {
    const bool maskMode = tr.present && (ctx->flags & kFlagImageAndMask);
    const std::uint64_t width = node->width;
    const std::uint64_t height = node->height;
    const std::uint64_t bitmapWidth = width * (maskMode ? 2 : 1);
    std::uint64_t pixels = 0;
    std::uint64_t rowsBytes = 0;
    if (!CheckedMul(bitmapWidth, height, &pixels) || pixels > kMaxImagePixels ||
        *pixelsSoFar + pixels > kMaxAnimationPixels ||
        !RowsBytes(bitmapWidth, height, 8, &rowsBytes))
        return kOutOfMemory;
    *pixelsSoFar += pixels;
    const std::uint64_t stride = RowStride(bitmapWidth, 8);
    node->frameBitmap = GlobalAlloc(GHND, rowsBytes + kPackedDibRowsOffset);
    if (node->frameBitmap == 0)
        return kOutOfMemory;
    node->framePalette = GlobalAlloc(GHND, kLogPaletteBytes);
    if (node->framePalette == 0)
        return kOutOfMemory;
    node->bitmapWidth = static_cast<std::int32_t>(bitmapWidth);
    auto* dib = static_cast<std::uint8_t*>(GlobalLock(node->frameBitmap));
    auto* pal = static_cast<std::uint8_t*>(GlobalLock(node->framePalette));
    WritePackedDibHeader(dib, static_cast<std::int64_t>(bitmapWidth),
                         static_cast<std::int64_t>(height), 8, rowsBytes);

    FrameColours colours = ColoursOf(ctx, st, node);
    WriteColourTables(dib, pal, colours.table, colours.m);

    GifPixelSink& sink = st.sink;
    std::uint8_t* bits = dib + kPackedDibRowsOffset;
    GifStartSink(sink, bits, static_cast<std::int64_t>(stride), node->width, node->height,
                 node->interlaced != 0);
    sink.maskMode = 0;
    if (maskMode) {
        const GifKeyChoice keys = GifChooseKeys(colours.table, colours.n, tr.index);
        for (std::int32_t k = 0; k < keys.changedCount; ++k)
            WritePaletteEntry(dib, pal, keys.changed[k], colours.table[keys.changed[k]]);
        if (keys.noWhite || (keys.blackAppended && keys.imageKey >= colours.m) ||
            keys.maskKey == tr.index)
            ctx->flags |= kFlagCleanMask;
        sink.maskMode = 1;
        sink.transparentIndex = tr.index;
        sink.imageKey = keys.imageKey;
        sink.maskKey = keys.maskKey;
        sink.halfWidth = node->width;
    }

    int r = kOk;
    // An image without data sub-blocks keeps its zero-filled rows.
    if (node->data != nullptr) {
        StreamReader in(ctx->stream);
        std::uint8_t size = 0;
        if (!in.Seek(node->data->position) || !in.U8(&size)) {
            r = kReadError;
        } else if (size < kLzwMinCodeSize || size > kLzwMaxCodeSize) {
            r = kGifBadCodeSize;
        } else {
            // Every frame starts from a fresh table: nothing of one frame's end reaches
            // the next.
            GifStartReader(st.reader, ctx->stream, size);
            GifStartLzw(st.lzw, *st.tables, size);
            while (!GifDecodeLzw(st.lzw, *st.tables, st.reader, sink, sink.height)) {
            }
        }
    }
    GlobalUnlock(node->frameBitmap);
    GlobalUnlock(node->framePalette);
    return r;
}

int DecodeAll(SerialImageContext* ctx, GifState& st) {
    if (!GifEnsureTables(st))
        return kOutOfMemory;
    FrameTransparency tr;
    std::uint64_t pixels = 0;
    for (GifBlockNode* node = st.blockList; node != nullptr; node = node->next) {
        if (node->kind == kGifExtension && node->data != nullptr &&
            node->data->label == kGifGraphicControl) {
            std::uint8_t d[4];
            FirstBytes(node->data, d);
            tr.present = (d[0] & 1) != 0;
            tr.index = d[3];
        } else if (node->kind == kGifImage) {
            const int r = DecodeFrame(ctx, st, node, tr, &pixels);
            if (r != kOk)
                return r;
        }
    }
    return kStepDone;
}

void FreeNode(GifBlockNode* node, bool freeFrames) {
    for (GifDataBlock* e = node->data; e != nullptr;) {
        GifDataBlock* next = e->next;
        ImageFree(e->data);
        ImageFree(e);
        e = next;
    }
    if (freeFrames) {
        GlobalFree(node->frameBitmap);
        GlobalFree(node->framePalette);
    }
    ImageFree(node);
}

// The record of one node, or false when the node yields none.
bool RecordOf(const SerialImageContext* ctx, const GifBlockNode* node, GifAnimRecord* rec) {
    *rec = GifAnimRecord{};
    if (node->kind == kGifScreenNode) {
        const PaletteEntry3& c = ctx->palette[node->backgroundIndex];
        rec->kind = kGifRecordScreen;
        rec->width = node->width;
        rec->height = node->height;
        rec->background =
            std::uint32_t(c.red) | std::uint32_t(c.green) << 8 | std::uint32_t(c.blue) << 16;
        return true;
    }
    if (node->kind == kGifImage) {
        rec->kind = kGifRecordFrame;
        rec->width = static_cast<std::uint32_t>(node->bitmapWidth);
        rec->height = node->height;
        rec->left = node->left;
        rec->top = node->top;
        rec->dib = node->frameBitmap;
        rec->palette = node->framePalette;
        return true;
    }
    if (node->kind != kGifExtension || node->data == nullptr)
        return false;
    std::uint8_t d[4];
    if (node->data->label == kGifGraphicControl) {
        FirstBytes(node->data, d);
        rec->kind = kGifRecordGraphicControl;
        rec->delay = d[1] + d[2] * 256u;
        rec->transparent = d[0] & 0x01;
        rec->transparentIndex = d[3];
        rec->disposalHigh = d[0] & 0x08;
        rec->userInput = d[0] & 0x02;
        rec->disposalLow = d[0] & 0x04;
        return true;
    }
    if (node->data->label == kGifApplication) {
        const GifDataBlock* loop = node->data->next;
        if (loop == nullptr || loop->data == nullptr || loop->data[0] != 1)
            return false;
        FirstBytes(loop, d);
        rec->kind = kGifRecordLoop;
        rec->loopCount = d[1] + d[2] * 256u;
        return true;
    }
    return false;
}

bool Counts(const GifBlockNode* node) {
    if (node->kind == kGifScreenNode || node->kind == kGifImage)
        return true;
    return node->kind == kGifExtension && node->data != nullptr &&
           (node->data->label == kGifGraphicControl || node->data->label == kGifApplication);
}

}  // namespace

void GifFreeBlockList(GifBlockNode* node, bool freeFrames) {
    while (node != nullptr) {
        GifBlockNode* next = node->next;
        FreeNode(node, freeFrames);
        node = next;
    }
}

GifBlockNode* GifClaimBlockList(SerialImageContext* ctx) {
    GifState& st = DriverState<GifState>(&ctx->info);
    st.listClaimed = 1;
    return st.blockList;
}

void GifDropBlockList(SerialImageContext* ctx) {
    DriverState<GifState>(&ctx->info).blockList = nullptr;
}

int GifDecodeAnimation(SerialImageContext* ctx, int abort) {
    GifState& st = DriverState<GifState>(&ctx->info);
    if (abort) {
        GifFreeTables(st);
        if (!st.listClaimed) {
            GifFreeBlockList(st.blockList, true);
            st.blockList = nullptr;
        }
        return kStepDone;
    }
    st.firstCall = 0;
    return DecodeAll(ctx, st);
}

int GifBuildAnimList(SerialImageContext* ctx, HGLOBAL* list) {
    GifState& st = DriverState<GifState>(&ctx->info);
    std::uint64_t count = 0;
    for (const GifBlockNode* node = st.blockList; node != nullptr; node = node->next)
        count += Counts(node) ? 1 : 0;
    const std::uint64_t bytes =
        (count * sizeof(GifAnimRecord) + kRecordBlockExtra) & ~(kRecordBlockUnit - 1);
    const HGLOBAL block = FitsBlock(bytes) ? GlobalAlloc(GHND, bytes) : 0;
    if (block == 0)
        return kOutOfMemory;
    auto* records = static_cast<GifAnimRecord*>(GlobalLock(block));
    std::uint64_t written = 0;
    for (GifBlockNode* node = st.blockList; node != nullptr;) {
        if (RecordOf(ctx, node, &records[written]))
            ++written;
        GifBlockNode* next = node->next;
        FreeNode(node, false);
        node = next;
    }
    st.blockList = nullptr;
    GlobalUnlock(block);
    *list = block;
    return kOk;
}

}  // namespace imagelib
