#include "core/packed_dib.h"

namespace imagelib {
namespace {

constexpr WORD kLogPaletteVersion = 0x300;

static_assert(kPackedDibRowsOffset == 1064, "callers find the rows at byte 1064");
static_assert(sizeof(LOGPALETTE) - sizeof(PALETTEENTRY) + 256 * sizeof(PALETTEENTRY) <=
                  kLogPaletteBytes,
              "256 entries fit the palette block");

}  // namespace

void WritePackedDibHeader(std::uint8_t* dib, std::int64_t width, std::int64_t height,
                          std::int32_t bitsPerPixel, std::uint64_t sizeImage) {
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(width);
    header->biHeight = static_cast<LONG>(height);
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitsPerPixel);
    header->biSizeImage = static_cast<DWORD>(sizeImage);
}

void WriteColourTable(std::uint8_t* dib, const PaletteEntry3* colours, std::int32_t n) {
    auto* quads = reinterpret_cast<RGBQUAD*>(dib + sizeof(BITMAPINFOHEADER));
    for (std::int32_t i = 0; i < n; ++i)
        quads[i] = RGBQUAD{colours[i].blue, colours[i].green, colours[i].red, 0};
}

void WritePaletteEntry(std::uint8_t* dib, std::uint8_t* logPalette, std::int32_t i,
                       const PaletteEntry3& c) {
    reinterpret_cast<RGBQUAD*>(dib + sizeof(BITMAPINFOHEADER))[i] =
        RGBQUAD{c.blue, c.green, c.red, 0};
    reinterpret_cast<LOGPALETTE*>(logPalette)->palPalEntry[i] =
        PALETTEENTRY{c.red, c.green, c.blue, 0};
}

void WriteColourTables(std::uint8_t* dib, std::uint8_t* logPalette, const PaletteEntry3* colours,
                       std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        WritePaletteEntry(dib, logPalette, i, colours[i]);
    auto* palette = reinterpret_cast<LOGPALETTE*>(logPalette);
    palette->palVersion = kLogPaletteVersion;
    palette->palNumEntries = static_cast<WORD>(n);
}

}  // namespace imagelib
