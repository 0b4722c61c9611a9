// The JPEG driver's row of the format table, over libjpeg: greyscale, RGB and YCbCr
// images, scaled by 1/2, 1/4 or 1/8 on request, quantised to the display's colours (or to
// the caller's) or decoded exactly: colour to 24-bit blue-green-red rows, greyscale to
// 8-bit rows over the grey ramp; bottom-up.
#pragma once

#include <cstdint>

#include "engine/format_driver.h"

namespace imagelib {

int JpegDescribe(ImageFormatInfo* info);
// 0; 2 for another colour space; 7 when the header cannot be read or libjpeg fails while
// setting up; 1 for an image too large, stored or scaled, or whose whole-image decoding
// buffers would not each fit a block. On failure nothing is left to end.
int JpegReadHeader(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
// Records the context's output palette; 0.
int JpegReadPalette(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
// 68 while scanlines remain, 69 when the image is done or libjpeg failed (the rows decoded
// so far stay); abort ends the decompressor.
int JpegDecodeStep(SerialImageContext* ctx, int abort);

}  // namespace imagelib
