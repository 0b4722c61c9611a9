// The PNG driver. Its data is recognised, but this build does not decode it yet: every
// load of it ends at the header with 2 (not supported).
#include "formats/png/png_driver.h"

#include "core/result_codes.h"

namespace imagelib {

int PngDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"PNG", 0x5089, 0};
    return kOk;
}

int PngReadHeader(const wchar_t*, ImageMemStream*, ImageInfo*, std::uint32_t) {
    return kNotSupported;
}

int PngReadPalette(ImageMemStream*, ImageInfo*, PaletteEntry3*) {
    return kNotSupported;
}

int PngDecodeStep(SerialImageContext*, int) {
    return kNotSupported;
}

}  // namespace imagelib
