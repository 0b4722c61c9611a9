// The GIF animation record of the public header, tied to its 68-byte layout: loaded lists
// and the animated writer exchange arrays of it with callers, 68 bytes apart.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagelib.h"

namespace imagelib {

// Kinds in the low byte of slot 0.
constexpr std::uint32_t kGifRecordScreen = 0x69;
constexpr std::uint32_t kGifRecordFrame = 0x2C;
constexpr std::uint32_t kGifRecordGraphicControl = 0xF9;
constexpr std::uint32_t kGifRecordLoop = 0xFF;

static_assert(sizeof(GifAnimRecord) == 68, "a GIF animation record is 68 bytes");
static_assert(offsetof(GifAnimRecord, delay) == 20 && offsetof(GifAnimRecord, disposalHigh) == 40 &&
                  offsetof(GifAnimRecord, bitmap) == 52 && offsetof(GifAnimRecord, dib) == 60 &&
                  offsetof(GifAnimRecord, palette) == 64,
              "GIF animation record slots out of place");

}  // namespace imagelib
