// The TIFF driver. Its data is recognised, but this build does not decode it yet: every
// load of it ends at the header with 2 (not supported).
#include "formats/tiff/tiff_driver.h"

#include "core/result_codes.h"

namespace imagelib {

int TiffDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"TIF", 0x4D4D, 0x4949};
    return kOk;
}

int TiffReadHeader(const wchar_t*, ImageMemStream*, ImageInfo*, std::uint32_t) {
    return kNotSupported;
}

int TiffReadPalette(ImageMemStream*, ImageInfo*, PaletteEntry3*) {
    return kNotSupported;
}

int TiffDecodeStep(SerialImageContext*, int) {
    return kNotSupported;
}

}  // namespace imagelib
