// CreateGIFButtonFromBitmaps: up to three GDI bitmaps (a button's normal look and two
// further states) reduced to one 256-colour palette and written as the frames of one GIF.
#include <cstdint>
#include <cstring>

#include "builders/bitmap_rows24.h"
#include "builders/palette_dc.h"
#include "colour/colour_reduce.h"
#include "colour/palettes.h"
#include "core/checked_size.h"
#include "core/holders.h"
#include "core/load_flags.h"
#include "core/packed_dib.h"
#include "core/result_codes.h"
#include "formats/gif/gif_writer.h"
#include "imagelib.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kWriterCalled = 0;
constexpr std::uint32_t kFailed = 1;
constexpr int kMostFrames = 3;

// The first entry of exactly the colour (red, green, blue); -1 when none is, or no colour.
std::int32_t TransparentIndex(const PaletteEntry3* palette, const std::uint8_t* colour) {
    if (colour == nullptr)
        return -1;
    for (int i = 0; i < kFullPaletteCount; ++i) {
        if (palette[i].red == colour[0] && palette[i].green == colour[1] &&
            palette[i].blue == colour[2])
            return i;
    }
    return -1;
}

std::uint32_t GifButton(const HBITMAP (&bitmaps)[kMostFrames], HPALETTE palette,
                        const wchar_t* path, const std::uint8_t* transparentColour,
                        const RGBQUAD* callerColours) {
    Request24 request;
    if (bitmaps[0] == 0 || !BitmapRequest24(bitmaps[0], &request))
        return kFailed;
    const std::int32_t width = request.width();
    const std::int32_t height = request.height();
    std::uint64_t frameBytes = 0;
    TrackedBlock work;
    TrackedBlock header;
    if (!RowsBytes(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), 8,
                   &frameBytes) ||
        !work.Allocate(request.bytes()) || !header.Allocate(kPackedDibRowsOffset))
        return kFailed;
    PaletteEntry3 colours[kFullPaletteCount];
    ImageChooseGifPalette(callerColours, colours);
    // The 8-bit header of every frame, a BITMAPINFO with 256 colours.
    WritePackedDibHeader(header.get(), width, height, 8, frameBytes);
    WriteColourTable(header.get(), colours, kFullPaletteCount);
    const std::int32_t transparentIndex = TransparentIndex(colours, transparentColour);

    PaletteScreenDc dc;
    if (!dc.Open(palette))
        return kFailed;
    TrackedBlock frames[kMostFrames];
    const std::uint8_t* frameRows[kMostFrames] = {};
    int frameCount = 0;
    for (int f = 0; f < kMostFrames && (f == 0 || bitmaps[f] != 0); ++f) {
        // Every frame has a buffer of its own, zero-filled, and is read at the normal
        // bitmap's size into the one work buffer.
        if (!frames[f].Allocate(frameBytes) ||
            !ReadBitmapRows24(dc.get(), bitmaps[f], request, work.get()))
            return kFailed;
        const ReduceRows rows{work.get(), frames[f].get(), width, height, kFlagNearestColour};
        if (ImageReduceToGifPalette(rows, callerColours != nullptr) != kStepDone)
            return kFailed;
        frameRows[frameCount++] = frames[f].get();
    }
    const int written =
        GifWriteFile(path, frameCount, frameRows, reinterpret_cast<const BITMAPINFO*>(header.get()),
                     transparentIndex);
    return written == kOk ? kWriterCalled : kFailed;
}

}  // namespace
}  // namespace imagelib

extern "C" uint32_t CreateGIFButtonFromBitmaps(uint32_t normal, uint32_t second, uint32_t third,
                                               uint32_t palette, const wchar_t* path,
                                               const uint8_t* transparentColour,
                                               const void* colours) {
    const HBITMAP bitmaps[] = {normal, second, third};
    return imagelib::GifButton(bitmaps, palette, path, transparentColour,
                               static_cast<const RGBQUAD*>(colours));
}
