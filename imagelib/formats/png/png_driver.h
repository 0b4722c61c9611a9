// The PNG driver's row of the format table, and the PNG writer.
#pragma once

#include <cstdint>

#include "engine/format_driver.h"

namespace imagelib {

int PngDescribe(ImageFormatInfo* info);
int PngReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
int PngReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
int PngDecodeStep(SerialImageContext* ctx, int abort);

// Writing PNG is not supported: 2 whatever the arguments.
int PngWriteFile(const void* unused1, const void* unused2, const void* unused3, const void* unused4,
                 const void* unused5);

}  // namespace imagelib
