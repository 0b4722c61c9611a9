// Result codes of the TIFF driver, beside the library's common codes. The header checks
// give them in a fixed order (see TiffReadHeader); the decoder adds 818.
#pragma once

#include "core/result_codes.h"

namespace imagelib {

constexpr int kTiffBadVersion = 800;        // version not 42
constexpr int kTiffTooManyEntries = 801;    // a directory of more than 200 entries
constexpr int kTiffMissingTag = 804;        // ImageWidth, ImageLength or StripOffsets missing
constexpr int kTiffGreySamples = 805;       // photometric 0 or 1 with samples not 1
constexpr int kTiffGreyBits = 806;          // photometric 0 or 1 with bits not 1, 4 or 8
constexpr int kTiffRgbSamples = 807;        // photometric 2 with samples not 3 or 4
constexpr int kTiffRgbBits = 808;           // photometric 2 with bits per sample not 8
constexpr int kTiffPaletteSamples = 809;    // photometric 3 with samples not 1
constexpr int kTiffPaletteBits = 810;       // photometric 3 with bits not 1, 4 or 8
constexpr int kTiffCmykSamples = 811;       // photometric 5 with samples not 4
constexpr int kTiffCmykBits = 812;          // photometric 5 with bits per sample not 8
constexpr int kTiffCcittHuffman = 813;      // compression 2
constexpr int kTiffCcittT4 = 814;           // compression 3
constexpr int kTiffCcittT6 = 815;           // compression 4
constexpr int kTiffBadCompression = 816;    // any other compression but 1, 5 and 32773
constexpr int kTiffMissingColorMap = 817;   // photometric 3 without a whole ColorMap
constexpr int kTiffBadLzw = 818;            // corrupt LZW data
constexpr int kTiffBadPredictor = 819;      // a predictor where it cannot apply
constexpr int kTiffTransparencyMask = 821;  // photometric 4
constexpr int kTiffYCbCr = 822;             // photometric 6
constexpr int kTiffBadPhotometric = 823;    // photometric above 6
constexpr int kTiffBadFillOrder = 824;      // fill order not 1
constexpr int kTiffPlanarNotRgb = 825;      // separate planes for anything but RGB
constexpr int kTiffBadPlanar = 826;         // planar configuration other than 1 and 2
constexpr int kTiffBadInkSet = 827;         // photometric 5 with ink set not 1
constexpr int kTiffBadOrientation = 828;    // orientation other than 1 and 4

static_assert(
    kTiffBadVersion == IMAGELIB_TIFF_BAD_VERSION &&
        kTiffTooManyEntries == IMAGELIB_TIFF_TOO_MANY_ENTRIES &&
        kTiffMissingTag == IMAGELIB_TIFF_MISSING_TAG &&
        kTiffGreySamples == IMAGELIB_TIFF_GREY_SAMPLES &&
        kTiffGreyBits == IMAGELIB_TIFF_GREY_BITS && kTiffRgbSamples == IMAGELIB_TIFF_RGB_SAMPLES &&
        kTiffRgbBits == IMAGELIB_TIFF_RGB_BITS &&
        kTiffPaletteSamples == IMAGELIB_TIFF_PALETTE_SAMPLES &&
        kTiffPaletteBits == IMAGELIB_TIFF_PALETTE_BITS &&
        kTiffCmykSamples == IMAGELIB_TIFF_CMYK_SAMPLES &&
        kTiffCmykBits == IMAGELIB_TIFF_CMYK_BITS &&
        kTiffCcittHuffman == IMAGELIB_TIFF_CCITT_HUFFMAN &&
        kTiffCcittT4 == IMAGELIB_TIFF_CCITT_T4 && kTiffCcittT6 == IMAGELIB_TIFF_CCITT_T6 &&
        kTiffBadCompression == IMAGELIB_TIFF_BAD_COMPRESSION &&
        kTiffMissingColorMap == IMAGELIB_TIFF_MISSING_COLOR_MAP &&
        kTiffBadLzw == IMAGELIB_TIFF_BAD_LZW && kTiffBadPredictor == IMAGELIB_TIFF_BAD_PREDICTOR &&
        kTiffTransparencyMask == IMAGELIB_TIFF_TRANSPARENCY_MASK &&
        kTiffYCbCr == IMAGELIB_TIFF_YCBCR && kTiffBadPhotometric == IMAGELIB_TIFF_BAD_PHOTOMETRIC &&
        kTiffBadFillOrder == IMAGELIB_TIFF_BAD_FILL_ORDER &&
        kTiffPlanarNotRgb == IMAGELIB_TIFF_PLANAR_NOT_RGB &&
        kTiffBadPlanar == IMAGELIB_TIFF_BAD_PLANAR && kTiffBadInkSet == IMAGELIB_TIFF_BAD_INK_SET &&
        kTiffBadOrientation == IMAGELIB_TIFF_BAD_ORIENTATION,
    "TIFF codes differ from the public ones");

}  // namespace imagelib
