// The TIFF driver's row of the format table.
#pragma once

#include <cstdint>

#include "engine/format_driver.h"

namespace imagelib {

int TiffDescribe(ImageFormatInfo* info);
int TiffReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int TiffReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int TiffDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
