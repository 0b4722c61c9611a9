// Result codes of the PNG driver, beside the library's common codes.
#pragma once

#include "core/result_codes.h"

namespace imagelib {

// IHDR unreadable (short data, length not 13, type not IHDR) or holding values PNG does not
// allow: a bit depth the colour type does not have, an unknown colour type, a zero width or
// height, or rows longer than 32 bits can count.
constexpr int kPngBadHeader = 1900;
constexpr int kPngShortPlte = 1902;  // PLTE data shorter than its entries
constexpr int kPngShortBkgd = 1903;  // bKGD data shorter than the colour type's value
constexpr int kPngShortTrns = 1904;  // tRNS data shorter than the colour type's value
constexpr int kPngBadData = 1905;    // the zlib stream cannot be inflated
constexpr int kPngNoData = 1906;     // no IDAT, or only empty ones
static_assert(kPngBadHeader == IMAGELIB_PNG_BAD_HEADER &&
                  kPngShortPlte == IMAGELIB_PNG_SHORT_PLTE &&
                  kPngShortBkgd == IMAGELIB_PNG_SHORT_BKGD &&
                  kPngShortTrns == IMAGELIB_PNG_SHORT_TRNS &&
                  kPngBadData == IMAGELIB_PNG_BAD_DATA && kPngNoData == IMAGELIB_PNG_NO_DATA,
              "PNG codes differ from the public ones");

}  // namespace imagelib
