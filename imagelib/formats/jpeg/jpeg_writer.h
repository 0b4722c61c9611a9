// The JPEG writer: 24-bit DIB rows (blue, green, red, bottom-up) to a JPEG file.
#pragma once

#include <cstdint>

#include "win32/types.h"

namespace imagelib {

// Writes height rows of width pixels from bits to the file at path; width and height come
// from the header. quality 1..100 sets libjpeg's baseline tables at that quality, 0 or less
// keeps its default (75). paddedRows non-zero: each row holds 3 bytes for the width rounded
// up to 4 pixels; 0: the 24-bit DIB stride. The caller's rows are never changed.
// 0 written; 1 a missing argument, a width or height that is not 1..65500, or no memory;
// 3 the file cannot be created; 8 libjpeg or the file failed while writing.
int JpegWriteFile(const wchar_t* path, int quality, const std::uint8_t* bits,
                  const BITMAPINFOHEADER* header, std::uint32_t paddedRows);

}  // namespace imagelib
