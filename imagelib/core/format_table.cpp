// The five format drivers, in the order detection tries them. Every format has a magic
// of its own, so the order decides nothing but speed; BMP comes first because the bitmap
// builders send every image they take through it.
#include <cstdint>

#include "core/format_driver.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "formats/bmp/bmp_driver.h"
#include "formats/gif/gif_driver.h"
#include "formats/jpeg/jpeg_driver.h"
#include "formats/png/png_driver.h"
#include "formats/tiff/tiff_driver.h"

namespace imagelib {
namespace {

// What each format keeps of the flags word after its header: JPEG has read all it needs;
// GIF has no alpha; PNG keeps everything; BMP and TIFF have neither mask nor alpha.
constexpr ImageFormatDriver kDrivers[kFormatCount] = {
    {BmpDescribe, BmpReadHeader, BmpReadPalette, BmpDecodeStep, kFlagImageAndMask | kFlagKeepAlpha},
    {JpegDescribe, JpegReadHeader, JpegReadPalette, JpegDecodeStep, 0xFFFFFFFF},
    {GifDescribe, GifReadHeader, GifReadPalette, GifDecodeStep, kFlagKeepAlpha},
    {TiffDescribe, TiffReadHeader, TiffReadPalette, TiffDecodeStep,
     kFlagImageAndMask | kFlagKeepAlpha},
    {PngDescribe, PngReadHeader, PngReadPalette, PngDecodeStep, 0},
};

}  // namespace

const ImageFormatDriver* ImageDriverRow(std::uint32_t format) {
    return format < kFormatCount ? &kDrivers[format] : nullptr;
}

int ImageDriverReadHeader(const wchar_t* path, ImageMemStream* s, std::uint32_t format,
                          ImageInfo* info, std::uint32_t flags) {
    const ImageFormatDriver* row = ImageDriverRow(format);
    if (row == nullptr || row->readHeader == nullptr)
        return kNotSupported;
    return row->readHeader(path, s, info, flags);
}

int ImageDriverReadPalette(ImageMemStream* s, std::uint32_t format, ImageInfo* info,
                           PaletteEntry3* palette) {
    const ImageFormatDriver* row = ImageDriverRow(format);
    if (row == nullptr || row->readPalette == nullptr)
        return kNotSupported;
    return row->readPalette(s, info, palette);
}

int ImageDriverDecodeStep(SerialImageContext* ctx, int abort) {
    const ImageFormatDriver* row = ImageDriverRow(ctx->formatIndex);
    if (row == nullptr || row->decodeStep == nullptr)
        return kNotSupported;
    return row->decodeStep(ctx, abort);
}

}  // namespace imagelib
