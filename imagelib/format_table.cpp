// The five format drivers, in the order detection tries them. Every format has a magic
// of its own, so the order decides nothing but speed; BMP comes first because the bitmap
// builders send every image they take through it.
#include <cstdint>

#include "format_driver.h"
#include "result_codes.h"

namespace imagelib {
namespace {

constexpr ImageFormatInfo kJpegInfo{L"JPG JPEG", 0xD8FF, 0};
constexpr ImageFormatInfo kGifInfo{L"GIF", 0x4947, 0};
constexpr ImageFormatInfo kTiffInfo{L"TIF", 0x4D4D, 0x4949};
constexpr ImageFormatInfo kPngInfo{L"PNG", 0x5089, 0};

}  // namespace

int JpegDescribe(ImageFormatInfo* info) {
    *info = kJpegInfo;
    return kOk;
}
int GifDescribe(ImageFormatInfo* info) {
    *info = kGifInfo;
    return kOk;
}
int TiffDescribe(ImageFormatInfo* info) {
    *info = kTiffInfo;
    return kOk;
}
int PngDescribe(ImageFormatInfo* info) {
    *info = kPngInfo;
    return kOk;
}

namespace {

// A row whose decoder is not built has no operations beyond describe: the dispatchers
// answer 2 (not supported) for it, so such a load ends at its header.
constexpr ImageFormatDriver kDrivers[kFormatCount] = {
    {BmpDescribe, BmpReadHeader, BmpReadPalette, BmpDecodeStep},
    {JpegDescribe, nullptr, nullptr, nullptr},
    {GifDescribe, nullptr, nullptr, nullptr},
    {TiffDescribe, nullptr, nullptr, nullptr},
    {PngDescribe, nullptr, nullptr, nullptr},
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
