// Result codes of the BMP driver, beside the library's common codes.
#pragma once

#include "core/result_codes.h"

namespace imagelib {

// The data starts neither with "BM" nor with "BA" followed by "BM" at offset 14 (the
// value is shared with "not a GIF file").
constexpr int kBmpNoFileHeader = kNotGif;
// The data ends inside the file header or the information header.
constexpr int kBmpShortHeader = kReadError;
// Width or height 0, or a negative width (a negative height is a top-down image).
constexpr int kBmpBadSize = kBmpEmptyImage;
constexpr int kBmpBadPlaneCount = 300;   // plane count other than 1
constexpr int kBmpBadBitCount = 301;     // bit count other than 1, 4, 8 or 24
constexpr int kBmpBadHeaderSize = 302;   // header size not 12, nor 16..64 in the allowed steps
constexpr int kBmpBadCompression = 303;  // compression other than none, RLE8 or RLE4
static_assert(kBmpBadPlaneCount == IMAGELIB_BMP_BAD_PLANES &&
                  kBmpBadBitCount == IMAGELIB_BMP_BAD_BIT_COUNT &&
                  kBmpBadHeaderSize == IMAGELIB_BMP_BAD_HEADER_SIZE &&
                  kBmpBadCompression == IMAGELIB_BMP_BAD_COMPRESSION,
              "BMP codes differ from the public ones");

}  // namespace imagelib
