// Palettes and the colours a bitmap's pixel values stand for.
#include <new>

#include "gdi_internal.h"

namespace win32gdi {

namespace {

constexpr WORD kPaletteVersion = 0x300;

// The 16 colours of a 4-bit screen without a palette: the default palette without its four
// extra greys and tints (its entries 8 to 11).
std::vector<Rgb> StandardColours16() {
    std::vector<Rgb> colours;
    const std::vector<Rgb>& all = DefaultPaletteColours();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i < 8 || i >= 12)
            colours.push_back(all[i]);
    }
    return colours;
}

}  // namespace

const std::vector<Rgb>& DefaultPaletteColours() {
    static const std::vector<Rgb> colours = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    return colours;
}

std::vector<Rgb> DeviceColours(int bits, bool paletteIndexed, HDC dc) {
    if (bits == 1)
        return {{0, 0, 0}, {255, 255, 255}};
    std::vector<Rgb> colours;
    if (paletteIndexed) {
        const Palette* palette = FindPalette(SelectedPalette(dc));
        if (palette != nullptr)
            colours = palette->colours;
    } else {
        colours = bits == 4 ? StandardColours16() : DefaultPaletteColours();
    }
    const std::size_t shown = std::size_t{1} << bits;
    if (colours.size() > shown)
        colours.resize(shown);
    return colours;
}

}  // namespace win32gdi

extern "C" {

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (win32gdi::CallFails() || palette == nullptr ||
        palette->palVersion != win32gdi::kPaletteVersion || palette->palNumEntries == 0)
        return 0;
    // The entries run on past the one the declaration shows.
    const PALETTEENTRY* entries = &palette->palPalEntry[0];
    win32gdi::Palette made;
    try {
        made.colours.reserve(palette->palNumEntries);
        for (WORD i = 0; i < palette->palNumEntries; ++i)
            made.colours.push_back({entries[i].peRed, entries[i].peGreen, entries[i].peBlue});
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return win32gdi::AddPalette(std::move(made));
}

}  // extern "C"
