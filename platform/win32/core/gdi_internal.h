// What the GDI stand-in's files share: the object table, the device contexts' palettes and
// the screen's colours. Not part of the public interface.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "win32/gdi.h"

namespace win32gdi {

struct Rgb {
    BYTE r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct FreeBytes {
    void operator()(BYTE* p) const { std::free(p); }
};

struct Bitmap {
    LONG width;
    LONG height;
    int bitsPixel;
    LONG widthBytes;
    // Made at 4 or 8 bits on a palette screen: the pixels index the palette of the context
    // that reads or writes them. Otherwise indexes name the fixed colours of their depth.
    bool paletteIndexed;
    std::unique_ptr<BYTE, FreeBytes> bits;  // widthBytes × height, top row first

    std::uint64_t Bytes() const { return std::uint64_t(widthBytes) * std::uint64_t(height); }
    BYTE* Row(LONG y) const { return bits.get() + std::uint64_t(widthBytes) * std::uint64_t(y); }
};

struct Palette {
    std::vector<Rgb> colours;
};

// Row sizes in 64 bits, so that no product of caller-given sizes can wrap.
inline std::uint64_t DeviceRowBytes(std::uint64_t width, unsigned bits) {
    return (width * bits + 15) / 16 * 2;
}
inline std::uint64_t DibRowBytes(std::uint64_t width, unsigned bits) {
    return (width * bits + 31) / 32 * 4;
}

// rowBytes × rows when it is at most kGdiMaxBitmapBytes, else 0; no product can wrap.
inline std::uint64_t CheckedImageBytes(std::uint64_t rowBytes, std::uint64_t rows) {
    if (rowBytes == 0 || rows == 0 || rowBytes > kGdiMaxBitmapBytes ||
        rows > kGdiMaxBitmapBytes / rowBytes)
        return 0;
    return rowBytes * rows;
}

// A black bitmap, or nothing when a size is not positive, the depth is not one a device
// has, its bytes pass kGdiMaxBitmapBytes, or memory runs out.
std::optional<Bitmap> MakeBitmap(LONG width, LONG height, int bitsPixel, bool paletteIndexed);
// The depths a screen's bitmaps can have.
bool IsDeviceDepth(int bits);

// The object table (gdi_objects.cpp). Add* give 0 when the table cannot grow.
HBITMAP AddBitmap(Bitmap&& bitmap);
HPALETTE AddPalette(Palette&& palette);
Bitmap* FindBitmap(HGDIOBJ handle);
const Palette* FindPalette(HGDIOBJ handle);  // the stock palette too
HPALETTE StockDefaultPalette();
// True when the test hook makes the current call fail; every counted call asks once.
bool CallFails();

// The screen and its contexts (screen_dc.cpp).
int ScreenBits();
bool ScreenHasPalette();
bool IsLiveDc(HDC dc);
HPALETTE SelectedPalette(HDC dc);  // 0 for an unknown context
bool SelectedAnywhere(HPALETTE palette);

// The colours (palettes.cpp).
const std::vector<Rgb>& DefaultPaletteColours();  // the 20 colours of the stock palette
// What the pixel values of a bitmap of bits ≤ 8 per pixel show, read or written through dc:
// at most 1 << bits colours.
std::vector<Rgb> DeviceColours(int bits, bool paletteIndexed, HDC dc);

}  // namespace win32gdi
