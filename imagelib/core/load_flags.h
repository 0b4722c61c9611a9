// Bits of the flags word that callers pass by pointer and the engine and drivers change.
#pragma once

#include <cstdint>

namespace imagelib {

constexpr std::uint32_t kFlagMapToDisplayPalette = 0x10;  // palette step maps the colours
constexpr std::uint32_t kFlagReduce = 0x20;               // reduce to the display's depth
constexpr std::uint32_t kFlagReduce4NoEntry0 = 0x40;      // 16-colour search skips entry 0
constexpr std::uint32_t kFlagReduce4PlainGreys = 0x80;    // 16-colour search: greys unweighted
constexpr std::uint32_t kFlagJpegAutoScale = 0x100;       // JPEG: scale chosen from the size
constexpr std::uint32_t kFlagJpegScaleHalf = 0x200;
constexpr std::uint32_t kFlagJpegScaleQuarter = 0x400;
constexpr std::uint32_t kFlagJpegScaleEighth = 0x800;
constexpr std::uint32_t kFlagUserPalette = 0x1000;   // JPEG: quantise to SetImagePalette's colours
constexpr std::uint32_t kFlagImageAndMask = 0x2000;  // image half left, mask half right
constexpr std::uint32_t kFlagGifFirstFrameOnly = 0x4000;
constexpr std::uint32_t kFlagReportTransparent = 0x8000;
constexpr std::uint32_t kFlagForce8Bit = 0x10000;       // adds kFlagReduce, display class 8
constexpr std::uint32_t kFlagKeepAlpha = 0x20000;       // PNG: 32-bit rows with alpha
constexpr std::uint32_t kFlagAnimation = 0x100000;      // context outlives the finalise step
constexpr std::uint32_t kFlagOneShot = 0x200000;        // 8192 rows per step instead of 10
constexpr std::uint32_t kFlagNearestColour = 0x400000;  // reduce without dithering
constexpr std::uint32_t kFlagCleanMask = 0x800000;      // set by the GIF decoder

}  // namespace imagelib
