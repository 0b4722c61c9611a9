// GifWriteFile: frames that share the screen, each covering all of it.
#include "formats/gif/gif_writer.h"

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "formats/gif/gif_blocks.h"
#include "formats/gif/gif_lzw_encoder.h"
#include "formats/gif/gif_out_file.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kTransparentFlag = 0x01;

bool SideWritable(std::int32_t side) {
    return side > 0 && static_cast<std::uint32_t>(side) <= kGifMaxSide;
}

// 0 when the arguments are good enough to create the file.
int CheckArguments(const wchar_t* path, std::int32_t frameCount,
                   const std::uint8_t* const* frameRows, const BITMAPINFO* bitmapInfo,
                   std::int32_t transparentIndex) {
    if (bitmapInfo == nullptr)
        return kOutOfMemory;
    if (!GifDepthWritable(bitmapInfo->bmiHeader.biBitCount))
        return kNotSupported;
    if (path == nullptr || !SideWritable(bitmapInfo->bmiHeader.biWidth) ||
        !SideWritable(bitmapInfo->bmiHeader.biHeight) ||
        !GifTransparentIndexWritable(transparentIndex))
        return kOutOfMemory;
    if (frameCount > 0 && frameRows == nullptr)
        return kOutOfMemory;
    for (std::int32_t f = 0; f < frameCount; ++f) {
        if (frameRows[f] == nullptr)
            return kOutOfMemory;
    }
    return kOk;
}

}  // namespace

int GifWriteFile(const wchar_t* path, std::int32_t frameCount, const std::uint8_t* const* frameRows,
                 const BITMAPINFO* bitmapInfo, std::int32_t transparentIndex) {
    const int bad = CheckArguments(path, frameCount, frameRows, bitmapInfo, transparentIndex);
    if (bad != kOk)
        return bad;
    const BITMAPINFOHEADER& header = bitmapInfo->bmiHeader;
    const auto width = static_cast<std::uint32_t>(header.biWidth);
    const auto height = static_cast<std::uint32_t>(header.biHeight);
    const int bits = header.biBitCount;

    GifOutFile out(path);
    if (!out.IsOpen())
        return kNotFound;
    if (!GifWriteHead(&out, width, height, bitmapInfo))
        return kWriteError;
    for (std::int32_t f = 0; f < frameCount; ++f) {
        if (transparentIndex != -1 &&
            !GifWriteGraphicControl(&out, kTransparentFlag, 0,
                                    static_cast<std::uint32_t>(transparentIndex)))
            return kWriteError;
        if (!GifWriteImageDescriptor(&out, 0, 0, width, height, bits))
            return kWriteError;
        const GifPixelRows image{frameRows[f], width, height, RowStride(width, bits), bits};
        const int r = GifEncodeImage(out.get(), image);
        if (r != kOk)
            return r;
    }
    return GifFinishFile(&out);
}

}  // namespace imagelib
