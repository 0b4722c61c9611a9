// Bits of the flags word that callers pass by pointer and the engine and drivers change.
#pragma once

#include <cstdint>

namespace imagelib {

constexpr std::uint32_t kFlagMapToDisplayPalette = 0x10;  // palette step maps the colours
constexpr std::uint32_t kFlagReduce = 0x20;               // reduce to the display's depth
constexpr std::uint32_t kFlagUserPalette = 0x1000;        // JPEG: quantise to SetImagePalette's colours
constexpr std::uint32_t kFlagImageAndMask = 0x2000;
constexpr std::uint32_t kFlagGifFirstFrameOnly = 0x4000;
constexpr std::uint32_t kFlagReportTransparent = 0x8000;
constexpr std::uint32_t kFlagForce8Bit = 0x10000;
constexpr std::uint32_t kFlagKeepAlpha = 0x20000;
constexpr std::uint32_t kFlagAnimation = 0x100000;
constexpr std::uint32_t kFlagOneShot = 0x200000;
constexpr std::uint32_t kFlagNearestColour = 0x400000;
constexpr std::uint32_t kFlagCleanMask = 0x800000;

}  // namespace imagelib
