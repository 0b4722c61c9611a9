// CreateRotatedImage: a GDI bitmap turned by a whole number of degrees, clockwise on the
// screen for a positive angle, as a new bitmap.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "builders/bitmap_rows24.h"
#include "core/holders.h"
#include "imagelib.h"
#include "win32/gdi.h"

namespace imagelib {
namespace {

// The angle is worked out with this value of pi, as callers of this library have always
// had their pictures turned.
constexpr double kPi = 3.1416;
// A turned side longer than this could not hold one 24-bit row in a block anyway; the
// bound also keeps the conversion to int defined.
constexpr double kMaxSide = 0x7FFFFFF0;

// A side raised to the next multiple of 4 (so that 24-bit rows need no padding).
std::int32_t RoundUp4(std::int32_t side) {
    return (side + 3) & ~3;
}

// The new size: the turned picture's bounding box with fit, else the old size; false
// when it is too large.
bool TurnedSize(const Request24& source, double s, double c, bool fit, std::int32_t* width,
                std::int32_t* height) {
    const double w = source.width();
    const double h = source.height();
    double newW = w;
    double newH = h;
    if (fit) {
        newW = std::fabs(w * c) + std::fabs(h * s) + 0.5;
        newH = std::fabs(w * s) + std::fabs(h * c) + 0.5;
        if (newW >= kMaxSide || newH >= kMaxSide)
            return false;
    }
    *width = RoundUp4(static_cast<std::int32_t>(newW));
    *height = RoundUp4(static_cast<std::int32_t>(newH));
    return true;
}

// Every destination pixel takes the source pixel it turns back to, or the source's
// bottom-left pixel where that lies outside the source.
void Turn(const Request24& source, const std::uint8_t* in, Request24& dest, std::uint8_t* out,
          double s, double c) {
    const std::int64_t w = source.width();
    const std::int64_t h = source.height();
    const std::uint64_t inStride = source.stride();
    const std::uint64_t outStride = dest.stride();
    const std::int64_t cx = w / 2;
    const std::int64_t cy = h / 2;
    const std::int64_t hw = dest.width() / 2;
    const std::int64_t hh = dest.height() / 2;
    for (std::int64_t y = -hh; y < hh; ++y) {
        std::uint8_t* row = out + (y + hh) * outStride;
        for (std::int64_t x = -hw; x < hw; ++x) {
            const double fx = static_cast<double>(x);
            const double fy = static_cast<double>(y);
            const std::int64_t sx = static_cast<std::int64_t>(fx * c - fy * s) + cx;
            const std::int64_t sy = static_cast<std::int64_t>(fx * s + fy * c) + cy;
            const std::uint8_t* pixel = in;
            if (sx >= 0 && sx < w && sy >= 0 && sy < h)
                pixel = in + sy * inStride + 3 * sx;
            std::memcpy(row + 3 * (x + hw), pixel, 3);
        }
    }
}

HBITMAP RotatedImage(HDC dc, HBITMAP bitmap, std::int32_t degrees, bool fit) {
    Request24 source;
    TrackedBlock in;
    if (!BitmapRequest24(bitmap, &source) || !in.Allocate(source.bytes()) ||
        !ReadBitmapRows24(dc, bitmap, source, in.get()))
        return 0;
    const double angle = degrees * kPi / 180.0;
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    std::int32_t width = 0;
    std::int32_t height = 0;
    Request24 dest;
    TrackedBlock out;
    if (!TurnedSize(source, s, c, fit, &width, &height) || !MakeRequest24(width, height, &dest) ||
        !out.Allocate(dest.bytes()))
        return 0;
    Turn(source, in.get(), dest, out.get(), s, c);
    return CreateDIBitmap(dc, &dest.header(), CBM_INIT, out.get(), &dest.info, DIB_RGB_COLORS);
}

}  // namespace
}  // namespace imagelib

extern "C" uint32_t CreateRotatedImage(uint32_t dc, uint32_t bitmap, int32_t degrees, int32_t fit) {
    return imagelib::RotatedImage(dc, bitmap, degrees, fit != 0);
}
