// The JPEG driver. Its data is recognised, but this build does not decode it yet: every
// load of it ends at the header with 2 (not supported).
#include "formats/jpeg/jpeg_driver.h"

#include "core/result_codes.h"

namespace imagelib {

int JpegDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"JPG JPEG", 0xD8FF, 0};
    return kOk;
}

int JpegReadHeader(const wchar_t*, ImageMemStream*, ImageInfo*, std::uint32_t) {
    return kNotSupported;
}

int JpegReadPalette(ImageMemStream*, ImageInfo*, PaletteEntry3*) {
    return kNotSupported;
}

int JpegDecodeStep(SerialImageContext*, int) {
    return kNotSupported;
}

}  // namespace imagelib
