// Reading a GDI bitmap as 24-bit rows.
#include "builders/bitmap_rows24.h"

#include "core/checked_size.h"
#include "win32/gdi.h"

namespace imagelib {
namespace {

constexpr WORD kBits24 = 24;

}  // namespace

std::uint64_t Request24::stride() const {
    return RowStride(static_cast<std::uint64_t>(width()), kBits24);
}

bool MakeRequest24(std::int32_t width, std::int32_t height, Request24* out) {
    if (width <= 0 || height <= 0)
        return false;
    std::uint64_t bytes = 0;
    if (!RowsBytes(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), kBits24,
                   &bytes))
        return false;
    BITMAPINFOHEADER& h = out->header();
    h = BITMAPINFOHEADER{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = kBits24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(bytes);
    return true;
}

bool BitmapRequest24(HBITMAP bitmap, Request24* out) {
    BITMAP bm{};
    if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm)
        return false;
    return MakeRequest24(bm.bmWidth, bm.bmHeight, out);
}

bool ReadBitmapRows24(HDC dc, HBITMAP bitmap, Request24& request, std::uint8_t* rows) {
    const auto height = static_cast<UINT>(request.height());
    const std::uint64_t stride = request.stride();
    if (stride == 3 * static_cast<std::uint64_t>(request.width())) {
        return GetDIBits(dc, bitmap, 0, height, rows, &request.info, DIB_RGB_COLORS) ==
               static_cast<int>(height);
    }
    for (UINT r = 0; r < height; ++r) {
        if (GetDIBits(dc, bitmap, r, 1, rows + r * stride, &request.info, DIB_RGB_COLORS) != 1)
            return false;
    }
    return true;
}

}  // namespace imagelib
