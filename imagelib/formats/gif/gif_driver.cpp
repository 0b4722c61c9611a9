// The GIF driver. Its data is recognised, but this build does not decode it yet: every
// load of it ends at the header with 2 (not supported).
#include "formats/gif/gif_driver.h"

#include "core/result_codes.h"

namespace imagelib {

int GifDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"GIF", 0x4947, 0};
    return kOk;
}

int GifReadHeader(const wchar_t*, ImageMemStream*, ImageInfo*, std::uint32_t) {
    return kNotSupported;
}

int GifReadPalette(ImageMemStream*, ImageInfo*, PaletteEntry3*) {
    return kNotSupported;
}

int GifDecodeStep(SerialImageContext*, int) {
    return kNotSupported;
}

}  // namespace imagelib
