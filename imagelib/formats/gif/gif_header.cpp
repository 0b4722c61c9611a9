// The front half of the GIF driver: signature, logical screen, colour tables and the walk
// over the file's blocks, in single mode (stop at the first image, the stream left at its
// data) or in animation mode (every block recorded in the block list); and the palette.
#include <algorithm>
#include <cstring>

#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "formats/gif/gif_codes.h"
#include "formats/gif/gif_driver.h"
#include "formats/gif/gif_state.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kTableFollows = 0x80;  // packed bit: a colour table follows
constexpr std::uint8_t kInterlacedBit = 0x40;
constexpr std::uint8_t kTransparencyBit = 0x01;   // graphic control packed byte
constexpr std::int64_t kGraphicControlBytes = 4;  // packed, delay (u16), transparent index

// The walk's state: one reader, the mode, and the list's tail.
struct Walk {
    StreamReader in;
    ImageInfo* info;
    GifState& st;
    std::uint32_t flags;
    bool animation;
    GifBlockNode* tail;
    std::int32_t frames;
};

std::int32_t TableBits(std::uint8_t packed) {
    return (packed & 7) + 1;
}

// 1, 4 or 8 from the screen descriptor's low three bits.
std::int32_t ScreenDepth(std::uint8_t packed) {
    const int p = packed & 7;
    return p == 0 ? 1 : p <= 3 ? 4 : 8;
}

// A zero-filled node linked at the end of the list; null when memory runs out.
GifBlockNode* AppendNode(Walk& w, std::uint8_t kind) {
    auto* node = static_cast<GifBlockNode*>(ImageAlloc(sizeof(GifBlockNode)));
    if (node == nullptr)
        return nullptr;
    node->kind = kind;
    node->paletteBits = w.st.screenDepth;
    if (w.tail == nullptr)
        w.st.blockList = node;
    else
        w.tail->next = node;
    w.tail = node;
    return node;
}

GifDataBlock* AppendData(GifBlockNode* node, std::uint8_t label, std::uint8_t length,
                         std::uint32_t position) {
    auto* entry = static_cast<GifDataBlock*>(ImageAlloc(sizeof(GifDataBlock)));
    if (entry == nullptr)
        return nullptr;
    entry->label = label;
    entry->length = length;
    entry->position = position;
    if (node->lastData == nullptr)
        node->data = entry;
    else
        node->lastData->next = entry;
    node->lastData = entry;
    return entry;
}

int ReadImage(Walk& w, GifBlockNode* node) {
    std::uint8_t d[9];
    if (!w.in.Read(d, sizeof d))
        return kReadError;
    const std::uint16_t left = LoadU16LE(d);
    const std::uint16_t top = LoadU16LE(d + 2);
    const std::uint16_t width = LoadU16LE(d + 4);
    const std::uint16_t height = LoadU16LE(d + 6);
    const std::uint8_t packed = d[8];
    ImageInfo* info = w.info;
    w.st.interlaced = (packed & kInterlacedBit) ? 1 : 0;
    if (w.animation) {
        node->interlaced = w.st.interlaced;
        node->width = width;
        node->height = height;
        node->left = left;
        node->top = top;
        // The image sizes are compared, not where the images reach.
        info->width = std::max<std::int32_t>(info->width, width);
        info->height = std::max<std::int32_t>(info->height, height);
    } else {
        SerialImageContext* ctx = ContextOf(info);
        ctx->screenWidth = info->width;
        ctx->screenHeight = info->height;
        info->width = width;
        info->height = height;
        ctx->frameLeft = left;
        ctx->frameTop = top;
        const bool inside = std::int32_t{left} + width <= ctx->screenWidth &&
                            std::int32_t{top} + height <= ctx->screenHeight;
        const bool smaller =
            left != 0 || top != 0 || width < ctx->screenWidth || height < ctx->screenHeight;
        ctx->placed = inside && smaller ? 1 : 0;
    }
    if (packed & kTableFollows) {
        const std::int32_t bits = TableBits(packed);
        std::uint8_t* table = w.animation ? node->localTable : w.st.colourTable;
        if (!w.in.Read(table, 3 << bits))
            return kReadError;
        if (w.animation) {
            node->hasLocalTable = 1;
            node->paletteBits = bits;
        } else {
            w.st.colourTableBits = bits;
        }
    }
    ++w.frames;
    if (!w.animation)
        return kOk;  // the stream stands at the image's minimum code size
    // Only where the data lies is kept; the animation decoder reads it from there.
    const auto position = static_cast<std::uint32_t>(w.in.Position());
    std::uint8_t minCodeSize = 0;
    if (!w.in.U8(&minCodeSize))
        return kReadError;
    for (;;) {
        std::uint8_t length = 0;
        if (!w.in.U8(&length))
            return kReadError;
        if (length == 0)
            return kOk;
        if (AppendData(node, minCodeSize, length, position) == nullptr)
            return kOutOfMemory;
        if (!w.in.Skip(length))
            return kReadError;
    }
}

// One extension sub-block of length bytes, the stream at its first byte.
int ReadExtensionData(Walk& w, GifBlockNode* node, std::uint8_t label, std::uint8_t length) {
    if (w.animation) {
        GifDataBlock* entry = AppendData(node, label, length, 0);
        if (entry == nullptr)
            return kOutOfMemory;
        entry->data = static_cast<std::uint8_t*>(ImageAlloc(length));
        if (entry->data == nullptr)
            return kOutOfMemory;
        if (!w.in.Read(entry->data, length))
            return kReadError;
        if (label == kGifGraphicControl && (entry->data[0] & kTransparencyBit))
            w.st.transparencyPresent = 1;
        return kOk;
    }
    if ((w.flags & (kFlagImageAndMask | kFlagReportTransparent)) &&
        length >= kGraphicControlBytes) {
        std::uint8_t gce[kGraphicControlBytes];
        if (!w.in.Read(gce, sizeof gce) || !w.in.Skip(length - kGraphicControlBytes))
            return kReadError;
        if (label == kGifGraphicControl && (gce[0] & kTransparencyBit)) {
            w.st.transparencyPresent = 1;
            w.st.transparentIndex = gce[3];
        }
        return kOk;
    }
    return w.in.Skip(length) ? kOk : kReadError;
}

int ReadExtension(Walk& w, GifBlockNode* node) {
    std::uint8_t label = 0;
    if (!w.in.U8(&label))
        return kReadError;
    for (;;) {
        std::uint8_t length = 0;
        if (!w.in.U8(&length))
            return kReadError;
        if (length == 0)
            return kOk;
        const int r = ReadExtensionData(w, node, label, length);
        if (r != kOk)
            return r;
    }
}

int WalkBlocks(Walk& w) {
    for (;;) {
        if (w.frames >= 1 && (!w.animation || (w.flags & kFlagGifFirstFrameOnly)))
            return kOk;
        std::uint8_t introducer = 0;
        if (!w.in.U8(&introducer))
            return kReadError;
        GifBlockNode* node = nullptr;
        if (w.animation && (node = AppendNode(w, introducer)) == nullptr)
            return kOutOfMemory;
        int r = kOk;
        if (introducer == kGifImage) {
            r = ReadImage(w, node);
        } else if (introducer == kGifExtension) {
            r = ReadExtension(w, node);
        } else if (introducer == kGifTrailer) {
            return w.animation ? kOk : kGifNoImage;
        }
        if (r != kOk)
            return r;
    }
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

int ReadHeader(Walk& w) {
    GifState& st = w.st;
    ImageInfo* info = w.info;
    if (!w.in.Seek(0))
        return kReadError;
    std::uint8_t signature[6];
    if (!w.in.Read(signature, sizeof signature))
        return kReadError;
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return kGifNotGif;
    std::uint8_t screen[7];
    if (!w.in.Read(screen, sizeof screen))
        return kReadError;
    const std::uint16_t screenWidth = LoadU16LE(screen);
    const std::uint16_t screenHeight = LoadU16LE(screen + 2);
    const std::uint8_t packed = screen[4];
    st.colourTableBits = TableBits(packed);
    st.screenDepth = ScreenDepth(packed);
    const std::int32_t tableBytes = 3 << st.colourTableBits;
    if (packed & kTableFollows) {
        if (!w.in.Read(st.colourTable, tableBytes))
            return kReadError;
    } else {
        // Black at index 0 and white at index 1.
        std::memset(st.colourTable, 0, static_cast<std::size_t>(tableBytes));
        std::memset(st.colourTable + 3, 255, 3);
    }
    info->width = screenWidth;
    info->height = screenHeight;
    if (w.animation) {
        GifBlockNode* node = AppendNode(w, kGifScreenNode);
        if (node == nullptr)
            return kOutOfMemory;
        node->width = screenWidth;
        node->height = screenHeight;
        node->backgroundIndex = screen[5];
    } else {
        ContextOf(info)->backgroundIndex = screen[5];
    }
    const int r = WalkBlocks(w);
    if (r != kOk)
        return r;
    info->bitsPerPixel = 8;
    if (st.transparencyPresent && (w.flags & kFlagImageAndMask)) {
        // Image half and mask half side by side: twice the width.
        info->width *= 2;
        ContextOf(info)->screenWidth *= 2;
    }
    return CheckSizes(info, w.animation);
}

}  // namespace

int GifDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"GIF", 0x4947, 0};
    return kOk;
}

int GifReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t flags) {
    GifState& st = DriverState<GifState>(info);
    st = GifState();
    Walk w{StreamReader(s), info, st, flags, (flags & kFlagAnimation) != 0, nullptr, 0};
    const int r = ReadHeader(w);
    if (r != kOk) {
        // Nothing of a failed walk outlives it.
        GifFreeBlockList(st.blockList, true);
        st.blockList = nullptr;
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
