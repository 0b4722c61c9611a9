// The BMP driver's row of the format table.
#pragma once

#include <cstdint>

#include "engine/format_driver.h"

namespace imagelib {

int BmpDescribe(ImageFormatInfo* info);
int BmpReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int BmpReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int BmpDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
