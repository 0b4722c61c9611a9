// Moving pixels between device-independent bitmaps (bottom-up rows padded to 4 bytes)
// and device-dependent bitmaps (top-down rows at the device's depth).
#include <cstring>
#include <new>
#include <optional>

#include "gdi_internal.h"
#include "pixel_format.h"

namespace {

using win32gdi::Bitmap;
using win32gdi::PixelFormat;
using win32gdi::Rgb;

constexpr DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);

bool IsSourceDepth(WORD bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24;
}

// The DIB's rows, when header describes width × height rows the calls here read or write;
// 0 otherwise. A size of more than kGdiMaxBitmapBytes is refused before anything is read.
std::uint64_t DibBytes(const BITMAPINFOHEADER& header, LONG width, LONG height) {
    if (header.biSize != kInfoHeaderSize || header.biCompression != BI_RGB ||
        header.biWidth != width || header.biHeight != height || width <= 0 || height <= 0)
        return 0;
    return win32gdi::CheckedImageBytes(
        win32gdi::DibRowBytes(std::uint64_t(width), header.biBitCount), std::uint64_t(height));
}

// The colours of a DIB's table: biClrUsed entries, or all its depth can index when 0.
std::vector<Rgb> DibColours(const BITMAPINFO& info) {
    const WORD bits = info.bmiHeader.biBitCount;
    if (bits > 8)
        return {};
    const DWORD most = DWORD{1} << bits;
    const DWORD used = info.bmiHeader.biClrUsed;
    const DWORD count = used == 0 || used > most ? most : used;
    // The table runs on past the one entry the declaration shows.
    const RGBQUAD* table = &info.bmiColors[0];
    std::vector<Rgb> colours(count);
    for (DWORD i = 0; i < count; ++i)
        colours[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue};
    return colours;
}

std::vector<Rgb> BitmapColours(const Bitmap& b, HDC dc) {
    if (b.bitsPixel > 8)
        return {};
    return win32gdi::DeviceColours(b.bitsPixel, b.paletteIndexed, dc);
}

void FillFromDib(Bitmap& b, const BYTE* bits, const BITMAPINFO& info, HDC dc) {
    const PixelFormat source(info.bmiHeader.biBitCount, DibColours(info));
    PixelFormat device(b.bitsPixel, BitmapColours(b, dc));
    const std::uint64_t stride =
        win32gdi::DibRowBytes(std::uint64_t(b.width), info.bmiHeader.biBitCount);
    for (LONG y = 0; y < b.height; ++y) {
        const BYTE* from = bits + stride * std::uint64_t(y);
        BYTE* to = b.Row(b.height - 1 - y);
        for (LONG x = 0; x < b.width; ++x)
            device.Write(to, x, source.Read(from, x));
    }
}

}  // namespace

extern "C" {

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
    if (win32gdi::CallFails() || !win32gdi::IsLiveDc(dc) || header == nullptr ||
        header->biSize != kInfoHeaderSize)
        return 0;
    const bool fill = (init & CBM_INIT) != 0;
    if (fill && (bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS ||
                 !IsSourceDepth(info->bmiHeader.biBitCount) ||
                 DibBytes(info->bmiHeader, header->biWidth, header->biHeight) == 0))
        return 0;
    const int depth = win32gdi::ScreenBits();
    const bool indexed = depth > 1 && depth <= 8 && win32gdi::ScreenHasPalette();
    std::optional<Bitmap> made =
        win32gdi::MakeBitmap(header->biWidth, header->biHeight, depth, indexed);
    if (!made)
        return 0;
    if (fill) {
        try {
            FillFromDib(*made, static_cast<const BYTE*>(bits), *info, dc);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    return win32gdi::AddBitmap(std::move(*made));
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
    if (win32gdi::CallFails() || !win32gdi::IsLiveDc(dc) || bits == nullptr || info == nullptr ||
        usage != DIB_RGB_COLORS)
        return 0;
    const Bitmap* b = win32gdi::FindBitmap(bitmap);
    if (b == nullptr || info->bmiHeader.biBitCount != 24 ||
        DibBytes(info->bmiHeader, b->width, b->height) == 0)
        return 0;
    const UINT height = UINT(b->height);
    if (lines == 0 || start >= height || lines > height - start)
        return 0;
    // Everything that may run out of memory comes before the first byte is written.
    std::optional<PixelFormat> device;
    try {
        device.emplace(b->bitsPixel, BitmapColours(*b, dc));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const std::uint64_t stride = win32gdi::DibRowBytes(std::uint64_t(b->width), 24);
    const std::uint64_t used = 3 * std::uint64_t(b->width);
    for (UINT k = 0; k < lines; ++k) {
        BYTE* to = static_cast<BYTE*>(bits) + stride * k;
        const BYTE* from = b->Row(LONG(height - 1 - (start + k)));
        for (LONG x = 0; x < b->width; ++x) {
            const Rgb c = device->Read(from, x);
            to[3 * x] = c.b;
            to[3 * x + 1] = c.g;
            to[3 * x + 2] = c.r;
        }
        std::memset(to + used, 0, stride - used);
    }
    return int(lines);
}

}  // extern "C"
