// GifWriteAnimFile: an animation of placed frames, each with its own graphic control
// extension, under one global colour table.
#include <algorithm>

#include "core/checked_size.h"
#include "core/holders.h"
#include "core/result_codes.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_blocks.h"
#include "formats/gif/gif_lzw_encoder.h"
#include "formats/gif/gif_out_file.h"
#include "formats/gif/gif_writer.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

bool FrameWritable(const GifAnimRecord& r, int bits) {
    if (r.width == 0 || r.width > kGifMaxSide || r.height == 0 || r.height > kGifMaxSide ||
        r.left > kGifMaxSide || r.top > kGifMaxSide || !GifRecordTransparencyWritable(r))
        return false;
    std::uint64_t bytes = 0;
    return RowsBytes(r.width, r.height, static_cast<std::uint64_t>(bits), &bytes) &&
           GlobalSize(r.dib) >= bytes;
}

// The logical screen: record 0's size, widened to hold every frame. False when it would
// pass 16 bits or a frame is not writable.
bool ScreenOf(const GifAnimRecord* records, std::int32_t frameCount, int bits, std::uint32_t* width,
              std::uint32_t* height) {
    *width = records[0].width;
    *height = records[0].height;
    for (std::int32_t i = 0; i < frameCount; ++i) {
        const GifAnimRecord& r = records[i];
        if (!FrameWritable(r, bits))
            return false;
        *width = std::max(*width, r.left + r.width);
        *height = std::max(*height, r.top + r.height);
    }
    return *width <= kGifMaxSide && *height <= kGifMaxSide;
}

// The graphic control's packed byte from the record's kept bits.
std::uint8_t ControlFlags(const GifAnimRecord& r) {
    return static_cast<std::uint8_t>(
        (r.transparent != 0 ? 0x01 : 0) | (r.userInput != 0 ? 0x02 : 0) |
        (r.disposalLow != 0 ? 0x04 : 0) | (r.disposalHigh != 0 ? 0x08 : 0));
}

int WriteFrame(GifOutFile* out, const GifAnimRecord& r, int bits) {
    if (!GifWriteGraphicControl(out, ControlFlags(r), r.delay, r.transparentIndex) ||
        !GifWriteImageDescriptor(out, r.left, r.top, r.width, r.height, bits))
        return kWriteError;
    const LockedGlobal rows(r.dib);
    if (rows.get() == nullptr)
        return kOutOfMemory;
    const GifPixelRows image{rows.get(), r.width, r.height, RowStride(r.width, bits), bits};
    return GifEncodeImage(out->get(), image);
}

}  // namespace

int GifWriteAnimFile(const wchar_t* path, std::int32_t frameCount, std::int32_t loopCount,
                     const GifAnimRecord* records, const BITMAPINFO* bitmapInfo) {
    if (bitmapInfo == nullptr)
        return kOutOfMemory;
    const int bits = bitmapInfo->bmiHeader.biBitCount;
    if (!GifDepthWritable(bits))
        return kNotSupported;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (path == nullptr || records == nullptr || frameCount < 1 ||
        !ScreenOf(records, frameCount, bits, &width, &height))
        return kOutOfMemory;

    GifOutFile out(path);
    if (!out.IsOpen())
        return kNotFound;
    if (!GifWriteHead(&out, width, height, bitmapInfo))
        return kWriteError;
    if (loopCount >= 0 && !GifWriteLoopExtension(&out, static_cast<std::uint32_t>(loopCount)))
        return kWriteError;
    for (std::int32_t i = 0; i < frameCount; ++i) {
        const int r = WriteFrame(&out, records[i], bits);
        if (r != kOk)
            return r;
    }
    return GifFinishFile(&out);
}

}  // namespace imagelib
