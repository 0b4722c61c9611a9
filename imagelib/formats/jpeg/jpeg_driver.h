// The JPEG driver's row of the format table.
#pragma once

#include <cstdint>

#include "core/format_driver.h"

namespace imagelib {

int JpegDescribe(ImageFormatInfo* info);
int JpegReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int JpegReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int JpegDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
