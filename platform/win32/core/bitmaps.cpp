// Device-dependent bitmaps: creation, description and their rows as raw bytes.
#include <algorithm>
#include <cstring>

#include "gdi_internal.h"

namespace win32gdi {

bool IsDeviceDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::optional<Bitmap> MakeBitmap(LONG width, LONG height, int bitsPixel, bool paletteIndexed) {
    if (width <= 0 || height <= 0 || !IsDeviceDepth(bitsPixel))
        return std::nullopt;
    const std::uint64_t rowBytes = DeviceRowBytes(std::uint64_t(width), unsigned(bitsPixel));
    const std::uint64_t bytes = CheckedImageBytes(rowBytes, std::uint64_t(height));
    if (bytes == 0)
        return std::nullopt;
    BYTE* bits = static_cast<BYTE*>(std::calloc(1, bytes));
    if (bits == nullptr)
        return std::nullopt;
    return Bitmap{width,          height,         bitsPixel,
                  LONG(rowBytes), paletteIndexed, std::unique_ptr<BYTE, FreeBytes>(bits)};
}

}  // namespace win32gdi

extern "C" {

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (win32gdi::CallFails() || planes != 1)
        return 0;
    const int screen = win32gdi::ScreenBits();
    if (bitsPerPixel != 1 && int(bitsPerPixel) != screen)
        return 0;
    const int depth = int(bitsPerPixel);
    const bool indexed = depth > 1 && depth <= 8 && win32gdi::ScreenHasPalette();
    std::optional<win32gdi::Bitmap> made = win32gdi::MakeBitmap(width, height, depth, indexed);
    if (!made)
        return 0;
    if (bits != nullptr)
        std::memcpy(made->bits.get(), bits, made->Bytes());
    return win32gdi::AddBitmap(std::move(*made));
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
    if (win32gdi::CallFails() || out == nullptr || size < int(sizeof(BITMAP)))
        return 0;
    const win32gdi::Bitmap* b = win32gdi::FindBitmap(object);
    if (b == nullptr)
        return 0;
    const BITMAP record{0, b->width, b->height, b->widthBytes, 1, WORD(b->bitsPixel), nullptr};
    std::memcpy(out, &record, sizeof record);
    return int(sizeof record);
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits) {
    if (win32gdi::CallFails() || bits == nullptr)
        return 0;
    win32gdi::Bitmap* b = win32gdi::FindBitmap(bitmap);
    if (b == nullptr)
        return 0;
    const std::uint64_t n = std::min<std::uint64_t>(count, b->Bytes());
    std::memcpy(b->bits.get(), bits, n);
    return LONG(n);
}

LONG GetBitmapBits(HBITMAP bitmap, LONG count, void* bits) {
    if (win32gdi::CallFails() || bits == nullptr || count <= 0)
        return 0;
    const win32gdi::Bitmap* b = win32gdi::FindBitmap(bitmap);
    if (b == nullptr)
        return 0;
    const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(count), b->Bytes());
    std::memcpy(bits, b->bits.get(), n);
    return LONG(n);
}

}  // extern "C"
