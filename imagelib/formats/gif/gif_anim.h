// The block list of an animation load and the records built from it. The GIF reader
// records every block of the file here (animation mode); the animation decoder gives each
// image node its own bitmap and palette; the record builder turns the list into the
// caller's GifAnimRecord array. The animated GIF writer takes the same records.
#pragma once

#include <cstdint>

#include "core/checked_size.h"
#include "engine/serial_context.h"
#include "formats/gif/gif_anim_record.h"
#include "imagelib.h"
#include "win32/types.h"

namespace imagelib {

// Introducer bytes of the blocks (the records' kinds are in gif_anim_record.h).
constexpr std::uint8_t kGifExtension = 0x21;
constexpr std::uint8_t kGifImage = 0x2C;
constexpr std::uint8_t kGifTrailer = 0x3B;
constexpr std::uint8_t kGifScreenNode = 0xFF;  // kind of the list's first node
constexpr std::uint8_t kGifGraphicControl = 0xF9;
constexpr std::uint8_t kGifApplication = 0xFF;

// All frames of one animation together hold at most this many pixels (mask halves
// included): a few kilobytes of empty frames could otherwise each claim the largest image.
constexpr std::uint64_t kMaxAnimationPixels = 4 * kMaxImagePixels;

// One data sub-block of an extension (a copy of its bytes) or of an image (its place).
struct GifDataBlock {
    std::uint8_t label;      // the extension's label, or the image's LZW minimum code size
    std::uint8_t length;     // 1 to 255
    std::uint32_t position;  // image: stream offset of the minimum-code-size byte; else 0
    std::uint8_t* data;      // extension: length bytes (tracked block); image: null
    GifDataBlock* next;
};

// One block of the file. Every node and its entries are tracked blocks.
struct GifBlockNode {
    std::uint8_t kind;  // introducer byte, or kGifScreenNode for the logical screen
    std::uint16_t width;
    std::uint16_t height;
    std::uint16_t left;
    std::uint16_t top;
    std::uint8_t backgroundIndex;  // screen node
    std::uint8_t interlaced;       // image node
    std::uint8_t hasLocalTable;
    std::uint8_t localTable[768];  // red, green, blue per entry
    std::int32_t paletteBits;      // the screen depth, or the local table's bits
    HGLOBAL frameBitmap;           // PackedDib of a decoded image node
    HGLOBAL framePalette;          // its DisplayPalette
    std::int32_t bitmapWidth;      // the frame bitmap's width (doubled with a mask half)
    GifDataBlock* data;
    GifDataBlock* lastData;  // where the next entry is appended
    GifBlockNode* next;
};

// Frees the list from node on: every entry and its data copy, and with freeFrames also
// each node's frame bitmap and palette.
void GifFreeBlockList(GifBlockNode* node, bool freeFrames);

// Decodes every image node of the context's block list into a bitmap and palette of its
// own: 69, 1 (out of memory), 7 (no minimum code size) or 1102. With abort only the
// decoder's tables (and a list its creator has not claimed) are freed.
int GifDecodeAnimation(SerialImageContext* ctx, int abort);

// The record array of a decoded list, in one zero-filled global block: 0 and *list = the
// block, the list freed; 1 when the block cannot be allocated (list kept, *list unchanged).
int GifBuildAnimList(SerialImageContext* ctx, HGLOBAL* list);

// The animation loader takes the block list over after the begin step: from then on the
// decoder's abort leaves it alone, and the loader frees it (GifFreeBlockList) on every
// path that does not end in GifBuildAnimList. The list's head.
GifBlockNode* GifClaimBlockList(SerialImageContext* ctx);
// Forgets the list without freeing it (its owner has freed it).
void GifDropBlockList(SerialImageContext* ctx);

// The number of image descriptors of a GIF file: 0, 3 (cannot open), 5 (not a GIF) or 7
// (short read, also a file without a trailer); *count is 0 after a failure.
int GifCountFrames(const wchar_t* path, std::int32_t* count);

}  // namespace imagelib
