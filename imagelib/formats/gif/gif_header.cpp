// The front half of the GIF driver: signature, logical screen and colour tables, then the
// walk over the file's blocks, in single mode (stop at the first image, the stream left at
// its data) or in animation mode (every block walked, the images counted and a frame list
// made for them); and the palette.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "formats/gif/gif_codes.h"
#include "formats/gif/gif_driver.h"
#include "formats/gif/gif_state.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kInterlacedBit = 0x40;

// 1, 4 or 8 from the screen descriptor's low three bits.
std::int32_t ScreenDepth(std::uint8_t packed) {
    const int p = packed & 7;
    return p == 0 ? 1 : p <= 3 ? 4 : 8;
}

// Single mode: the blocks up to the first image, whose descriptor and local table are
// read; the stream is left at its minimum-code-size byte. Of the graphic controls before
// the image, the last one that marks a colour transparent decides: a later control without
// transparency does not undo it.
int WalkToFirstImage(GifWalker& walker, ImageInfo* info, GifState& st) {
    for (;;) {
        GifBlock b;
        const int r = walker.Next(&b, false);
        if (r != kOk)
            return r;
        if (b.kind == kGifTrailer)
            return kGifNoImage;
        if (GifIsControl(b)) {
            const GifControl control = GifControlOf(b);
            // A block too short for a transparent index sets nothing.
            if (control.transparent && b.firstLength >= kGifKeptBytes) {
                st.transparencyPresent = 1;
                st.transparentIndex = control.transparentIndex;
            }
        }
        if (b.kind != kGifImage)
            continue;
        st.interlaced = (b.packed & kInterlacedBit) ? 1 : 0;
        SerialImageContext* ctx = ContextOf(info);
        ctx->screenWidth = info->width;
        ctx->screenHeight = info->height;
        info->width = b.width;
        info->height = b.height;
        ctx->frameLeft = b.left;
        ctx->frameTop = b.top;
        const bool inside = std::int32_t{b.left} + b.width <= ctx->screenWidth &&
                            std::int32_t{b.top} + b.height <= ctx->screenHeight;
        const bool smaller =
            b.left != 0 || b.top != 0 || b.width < ctx->screenWidth || b.height < ctx->screenHeight;
        ctx->placed = inside && smaller ? 1 : 0;
        if (b.tableBits != 0) {
            // The image's own table replaces the global one.
            if (!walker.ReadAt(b.table, st.colourTable, GifTableBytes(b.tableBits)))
                return kReadError;
            st.colourTableBits = b.tableBits;
        }
        return kOk;
    }
}

// Animation mode: every block the load takes, the images counted; the result is as large
// as the largest of the screen and the images (their sizes, not where they reach).
int WalkAnimation(GifWalker& walker, ImageInfo* info, GifState& st, std::uint32_t flags) {
    std::uint64_t images = 0;
    const int r = GifWalkAnimation(
        walker, (flags & kFlagGifFirstFrameOnly) != 0, [&](const GifBlock& b, const GifControl& c) {
            if (b.kind == kGifImage) {
                ++images;
                st.interlaced = (b.packed & kInterlacedBit) ? 1 : 0;
                st.transparencyPresent |= c.transparent ? 1 : 0;
                info->width = std::max<std::int32_t>(info->width, b.width);
                info->height = std::max<std::int32_t>(info->height, b.height);
            }
            return kOk;
        });
    if (r != kOk || images == 0)
        return r;
    std::uint64_t bytes = 0;
    if (!CheckedMul(images, sizeof(GifFrame), &bytes) || bytes > 0xFFFFFFFFu)
        return kOutOfMemory;
    st.frames = static_cast<GifFrame*>(ImageAlloc(static_cast<std::uint32_t>(bytes)));
    return st.frames != nullptr ? kOk : kOutOfMemory;
}

// The sizes the load will allocate, within the library's limits; 0 or 1.
int CheckSizes(ImageInfo* info, bool animation) {
    std::uint64_t pixels = 0;
    if (!CheckedMul(static_cast<std::uint64_t>(std::max(info->width, 0)),
                    static_cast<std::uint64_t>(std::max(info->height, 0)), &pixels) ||
        pixels > kMaxImagePixels)
        return kOutOfMemory;
    const SerialImageContext* ctx = ContextOf(info);
    if (!animation && ctx->placed == 1 &&
        !ImageSizeAllowed(static_cast<std::uint64_t>(ctx->screenWidth),
                          static_cast<std::uint64_t>(ctx->screenHeight)))
        return kOutOfMemory;
    return kOk;
}

int ReadHeader(GifWalker& walker, ImageInfo* info, GifState& st, std::uint32_t flags) {
    GifHead head;
    int r = walker.ReadHead(&head);
    if (r != kOk)
        return r;
    st.colourTableBits = head.tableBits;
    st.screenDepth = ScreenDepth(head.packed);
    if (head.hasTable) {
        if (!walker.ReadAt(head.table, st.colourTable, GifTableBytes(head.tableBits)))
            return kReadError;
    } else {
        // Black at index 0 and white at index 1.
        std::memset(st.colourTable, 0, static_cast<std::size_t>(GifTableBytes(head.tableBits)));
        std::memset(st.colourTable + 3, 255, 3);
    }
    info->width = head.screenWidth;
    info->height = head.screenHeight;
    ContextOf(info)->backgroundIndex = head.background;
    r = st.animation ? WalkAnimation(walker, info, st, flags) : WalkToFirstImage(walker, info, st);
    if (r != kOk)
        return r;
    info->bitsPerPixel = 8;
    if (st.transparencyPresent && (flags & kFlagImageAndMask)) {
        // Image half and mask half side by side: twice the width.
        info->width *= 2;
        ContextOf(info)->screenWidth *= 2;
    }
    return CheckSizes(info, st.animation != 0);
}

}  // namespace

int GifDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"GIF", 0x4947, 0};
    return kOk;
}

int GifReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t flags) {
    GifState& st = DriverState<GifState>(info);
    st = GifState();
    st.animation = (flags & kFlagAnimation) ? 1 : 0;
    GifWalker walker(s);
    const int r = ReadHeader(walker, info, st, flags);
    if (r != kOk) {
        // Nothing of a failed walk outlives it.
        GifFreeFrames(st.frames, false);
        st.frames = nullptr;
    }
    return r;
}

int GifReadPalette(ImageMemStream*, ImageInfo* info, PaletteEntry3* palette) {
    GifState& st = DriverState<GifState>(info);
    // Entries beyond the table are grey.
    std::memset(palette, 128, 3 * 256);
    std::memcpy(palette, st.colourTable, 3u << st.colourTableBits);
    st.firstCall = 1;
    return kOk;
}

}  // namespace imagelib
