// A GDI bitmap's pixels read as 24-bit rows: what the rotation, GIF and JPEG builders
// start from.
#pragma once

#include <cstdint>

#include "win32/types.h"

namespace imagelib {

// The 24-bit request that GetDIBits fills: a BITMAPINFOHEADER for width x height, BI_RGB,
// rows of stride24 bytes (3 per pixel, padded to 4) bottom-up, blue, green, red.
struct Request24 {
    BITMAPINFO info{};

    BITMAPINFOHEADER& header() { return info.bmiHeader; }
    std::int32_t width() const { return info.bmiHeader.biWidth; }
    std::int32_t height() const { return info.bmiHeader.biHeight; }
    std::uint64_t stride() const;
    std::uint64_t bytes() const { return info.bmiHeader.biSizeImage; }
};

// The request for width x height; false when either is not positive or the rows would
// not fit one block.
bool MakeRequest24(std::int32_t width, std::int32_t height, Request24* out);

// The request for a bitmap's own size; false when GetObjectW cannot describe the handle
// or the bitmap's size is not one MakeRequest24 takes.
bool BitmapRequest24(HBITMAP bitmap, Request24* out);

// All rows of bitmap into rows (request.bytes() bytes), through dc (whose selected palette
// gives the colours of a palette-indexed bitmap): one GetDIBits call when the rows need
// no padding, else one per row. False when any call does not deliver its rows.
bool ReadBitmapRows24(HDC dc, HBITMAP bitmap, Request24& request, std::uint8_t* rows);

}  // namespace imagelib
