// The TIFF driver's part of the load context (TiffImage), filled by the header reader and
// read by the decode steps, and the image reader the decode steps run.
#pragma once

#include <cstdint>

#include "core/mem_stream.h"
#include "engine/serial_context.h"

namespace imagelib {

constexpr std::uint16_t kTagImageWidth = 256;
constexpr std::uint16_t kTagImageLength = 257;
constexpr std::uint16_t kTagBitsPerSample = 258;
constexpr std::uint16_t kTagCompression = 259;
constexpr std::uint16_t kTagPhotometric = 262;
constexpr std::uint16_t kTagFillOrder = 266;
constexpr std::uint16_t kTagStripOffsets = 273;
constexpr std::uint16_t kTagOrientation = 274;
constexpr std::uint16_t kTagSamplesPerPixel = 277;
constexpr std::uint16_t kTagRowsPerStrip = 278;
constexpr std::uint16_t kTagStripByteCounts = 279;
constexpr std::uint16_t kTagPlanarConfiguration = 284;
constexpr std::uint16_t kTagPredictor = 317;
constexpr std::uint16_t kTagColorMap = 320;
constexpr std::uint16_t kTagInkSet = 332;

constexpr std::uint32_t kTiffCompressionNone = 1;
constexpr std::uint32_t kTiffCompressionLzw = 5;
constexpr std::uint32_t kTiffCompressionPackBits = 32773;

constexpr std::uint32_t kTiffWhiteIsZero = 0;
constexpr std::uint32_t kTiffBlackIsZero = 1;
constexpr std::uint32_t kTiffRgb = 2;
constexpr std::uint32_t kTiffPalette = 3;
constexpr std::uint32_t kTiffSeparated = 5;

constexpr std::uint32_t kTiffTopLeft = 1;
constexpr std::uint32_t kTiffBottomLeft = 4;
constexpr std::uint32_t kTiffPlanarSeparate = 2;
constexpr std::uint32_t kTiffHorizontalDifferencing = 2;

// With fewer strips than this their offsets are copied at the header; with more they are
// read from the file again when the image is decoded.
constexpr std::uint32_t kTiffStoredStrips = 400;

struct TiffImage {
    std::uint32_t phase;  // decode phase, 0 to 3
    PaletteEntry3 palette[256];
    std::uint32_t rowsPerStrip;  // 1 to the height
    std::uint32_t samples;
    std::uint32_t bitsPerSample;
    std::uint32_t compression;
    std::uint32_t photometric;
    std::uint32_t orientation;
    std::uint32_t planar;
    std::uint32_t predictor;
    std::uint32_t stripCount;
    // Whether StripByteCounts is present: a strip's data then ends at its byte count,
    // else at the end of the file.
    std::uint32_t hasByteCounts;
    std::uint32_t stripOffsets[kTiffStoredStrips - 1];
    std::uint32_t stripByteCounts[kTiffStoredStrips - 1];
};

// Reads the whole image as unpadded rows (bytes per row: (width x depth + 7) / 8), bottom
// row first, 24-bit pixels as blue, green, red, into dst; 0 or an error code.
int TiffReadImage(ImageMemStream* s, const ImageInfo& info, const TiffImage& t, std::uint8_t* dst);

// n triples from src to dst with the first and third byte of each swapped; src may be dst.
void TiffSwapRgb(const std::uint8_t* src, std::uint8_t* dst, std::int64_t n);

}  // namespace imagelib
