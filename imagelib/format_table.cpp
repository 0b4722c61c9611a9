// The five format drivers, in the order detection tries them. Every format has a magic
// of its own, so the order decides nothing but speed; BMP comes first because the bitmap
// builders send every image they take through it.
#include <cstdint>

#include "core/load_flags.h"
#include "engine/format_driver.h"
#include "formats/bmp/bmp_driver.h"
#include "formats/bmp/bmp_state.h"
#include "formats/gif/gif_driver.h"
#include "formats/gif/gif_state.h"
#include "formats/jpeg/jpeg_driver.h"
#include "formats/jpeg/jpeg_state.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_driver.h"
#include "formats/tiff/tiff_driver.h"
#include "formats/tiff/tiff_state.h"

namespace imagelib {
namespace {

// What each format keeps of the flags word after its header: JPEG has read all it needs;
// GIF has no alpha; PNG keeps everything; BMP and TIFF have neither mask nor alpha. Each
// load gets a state area of its driver's size.
constexpr ImageFormatDriver kDrivers[kFormatCount] = {
    {BmpDescribe, BmpReadHeader, BmpReadPalette, BmpDecodeStep, kFlagImageAndMask | kFlagKeepAlpha,
     sizeof(BmpState)},
    {JpegDescribe, JpegReadHeader, JpegReadPalette, JpegDecodeStep, 0xFFFFFFFF,
     sizeof(JpegDecodeState)},
    {GifDescribe, GifReadHeader, GifReadPalette, GifDecodeStep, kFlagKeepAlpha, sizeof(GifState)},
    {TiffDescribe, TiffReadHeader, TiffReadPalette, TiffDecodeStep,
     kFlagImageAndMask | kFlagKeepAlpha, sizeof(TiffImage)},
    {PngDescribe, PngReadHeader, PngReadPalette, PngDecodeStep, 0, sizeof(PngDriverArea)},
};

}  // namespace

const ImageFormatDriver* ImageDriverRow(std::uint32_t format) {
    return format < kFormatCount ? &kDrivers[format] : nullptr;
}

}  // namespace imagelib
