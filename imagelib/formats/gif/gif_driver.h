// The GIF driver's row of the format table.
#pragma once

#include <cstdint>

#include "engine/format_driver.h"

namespace imagelib {

int GifDescribe(ImageFormatInfo* info);
int GifReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int GifReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int GifDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
