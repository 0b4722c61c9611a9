// Result codes of the GIF reader, beside the library's common codes.
#pragma once

#include "core/result_codes.h"

namespace imagelib {

constexpr int kGifNotGif = kNotGif;    // the signature is neither "GIF87a" nor "GIF89a"
constexpr int kGifNoImage = 1101;      // single mode: the trailer comes before any image
constexpr int kGifBadCodeSize = 1102;  // an LZW minimum code size outside 2 to 9
static_assert(kGifNoImage == IMAGELIB_GIF_NO_IMAGE && kGifBadCodeSize == IMAGELIB_GIF_BAD_CODE_SIZE,
              "GIF codes differ from the public ones");

}  // namespace imagelib
