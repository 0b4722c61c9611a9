// The PNG driver's row of the format table.
#pragma once

#include <cstdint>

#include "core/format_driver.h"

namespace imagelib {

int PngDescribe(ImageFormatInfo* info);
int PngReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int PngReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int PngDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
