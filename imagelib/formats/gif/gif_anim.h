// Animation loads. The GIF reader walks the file once to size the load and count its
// images (animation mode), the animation decoder walks it again and gives each image a
// bitmap and palette of its own, kept in the load's frame list, and the record builder
// walks it a last time to turn the blocks into the caller's GifAnimRecord array. The
// animated GIF writer takes the same records.
#pragma once

#include <cstdint>

#include "core/checked_size.h"
#include "engine/serial_context.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_walk.h"
#include "imagelib.h"
#include "win32/types.h"

namespace imagelib {

// All frames of one animation together hold at most this many pixels (mask halves
// included): a few kilobytes of empty frames could otherwise each claim the largest image.
constexpr std::uint64_t kMaxAnimationPixels = 4 * kMaxImagePixels;

// One image of an animation load, in file order. The list is one tracked block sized for
// the images the reader counted (ImageBlockSize tells how many).
struct GifFrame {
    HGLOBAL bitmap;            // PackedDib, once decoded
    HGLOBAL palette;           // DisplayPalette
    std::int32_t bitmapWidth;  // the bitmap's width (doubled with a mask half)
};

// Walks the blocks an animation load takes from the cursor (the first block after the
// head): every block up to the trailer, or only up to the first image when firstImageOnly.
// visit(block, control) sees each block but the trailer; for an image, control is the
// graphic control extension that reaches it (the last one after the previous image), or
// none. 0, 7 when the data ends first, or what visit returned when not 0.
template <typename Visit>
int GifWalkAnimation(GifWalker& walker, bool firstImageOnly, Visit&& visit) {
    GifControl control;
    for (std::int32_t images = 0; !(firstImageOnly && images >= 1);) {
        GifBlock block;
        int r = walker.Next(&block);
        if (r != 0)
            return r;
        if (block.kind == kGifTrailer)
            return 0;
        if (GifIsControl(block))
            control = GifControlOf(block);
        r = visit(block, control);
        if (r != 0)
            return r;
        if (block.kind == kGifImage) {
            ++images;
            control = GifControl();
        }
    }
    return 0;
}

// Frees a frame list and, with freeFrames, every frame's bitmap and palette.
void GifFreeFrames(GifFrame* frames, bool freeFrames);

// Decodes every image of the file into a bitmap and palette of its own, kept in the
// context's frame list: 69, 1 (out of memory), 7 (no minimum code size) or 1102. With
// abort only the decoder's tables (and a list its creator has not claimed) are freed.
int GifDecodeAnimation(SerialImageContext* ctx, int abort);

// The record array of a decoded animation, in one zero-filled global block: 0 and *list =
// the block, the frame list freed (its frames now belong to the records); 1 when the block
// cannot be allocated (list kept, *list unchanged).
int GifBuildAnimList(SerialImageContext* ctx, HGLOBAL* list);

// The animation loader takes the frame list over after the begin step: from then on the
// decoder's abort leaves it alone, and the loader frees it (GifFreeFrames) on every path
// that does not end in GifBuildAnimList. The list (null for a file without images).
GifFrame* GifClaimFrames(SerialImageContext* ctx);
// Forgets the list without freeing it (its owner has freed it).
void GifDropFrames(SerialImageContext* ctx);

// The number of image descriptors of a GIF file: 0, 3 (cannot open), 5 (not a GIF), 7
// (short read, also a file without a trailer) or 1 (out of memory); *count is 0 after a
// failure.
int GifCountFrames(const wchar_t* path, std::int32_t* count);

}  // namespace imagelib
