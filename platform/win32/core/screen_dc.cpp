// The screen device context: a handle per GetDC, answering the screen format tests set,
// each with the palette selected into it.
#include <algorithm>
#include <unordered_map>

#include "gdi_internal.h"

namespace {

// DC handles share no range with the other handle families (types.h).
constexpr HDC kFirstDc = 0x60000000;
constexpr HDC kLastDc = 0x6FFFFFFF;
constexpr int kDefaultScreenBits = 32;

struct Screen {
    int bitsPerPixel = kDefaultScreenBits;
    bool paletteDevice = false;
    std::unordered_map<HDC, HPALETTE> live;  // context -> its selected palette
    HDC next = kFirstDc;
};

Screen& TheScreen() {
    static Screen screen;
    return screen;
}

}  // namespace

namespace win32gdi {

int ScreenBits() {
    return TheScreen().bitsPerPixel;
}

bool ScreenHasPalette() {
    return TheScreen().paletteDevice;
}

bool IsLiveDc(HDC dc) {
    return TheScreen().live.count(dc) != 0;
}

HPALETTE SelectedPalette(HDC dc) {
    const auto& live = TheScreen().live;
    auto it = live.find(dc);
    return it == live.end() ? 0 : it->second;
}

bool SelectedAnywhere(HPALETTE palette) {
    for (const auto& [dc, selected] : TheScreen().live) {
        if (selected == palette)
            return true;
    }
    return false;
}

}  // namespace win32gdi

extern "C" {

HDC GetDC(HWND window) {
    if (win32gdi::CallFails() || window != 0)
        return 0;
    Screen& s = TheScreen();
    for (;;) {
        HDC dc = s.next;
        s.next = dc == kLastDc ? kFirstDc : dc + 1;
        if (s.live.count(dc) != 0)
            continue;
        try {
            s.live.emplace(dc, win32gdi::StockDefaultPalette());
        } catch (...) {
            return 0;
        }
        return dc;
    }
}

int ReleaseDC(HWND, HDC dc) {
    return TheScreen().live.erase(dc) != 0 ? 1 : 0;
}

int GetDeviceCaps(HDC dc, int index) {
    if (win32gdi::CallFails())
        return 0;
    const Screen& s = TheScreen();
    if (s.live.count(dc) == 0)
        return 0;
    if (index == BITSPIXEL)
        return s.bitsPerPixel;
    if (index == RASTERCAPS)
        return s.paletteDevice ? RC_PALETTE : 0;
    return 0;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    if (win32gdi::CallFails())
        return 0;
    auto& live = TheScreen().live;
    auto it = live.find(dc);
    if (it == live.end() || win32gdi::FindPalette(palette) == nullptr)
        return 0;
    const HPALETTE old = it->second;
    it->second = palette;
    return old;
}

UINT RealizePalette(HDC dc) {
    if (win32gdi::CallFails())
        return GDI_ERROR;
    const Screen& s = TheScreen();
    auto it = s.live.find(dc);
    if (it == s.live.end())
        return GDI_ERROR;
    if (!s.paletteDevice)
        return 0;
    const win32gdi::Palette* palette = win32gdi::FindPalette(it->second);
    if (palette == nullptr)
        return 0;
    const std::size_t shown = s.bitsPerPixel >= 1 && s.bitsPerPixel <= 8
                                  ? std::size_t{1} << s.bitsPerPixel
                                  : palette->colours.size();
    return static_cast<UINT>(std::min(palette->colours.size(), shown));
}

void Win32SetScreenFormat(int bitsPerPixel, BOOL paletteDevice) {
    TheScreen().bitsPerPixel = bitsPerPixel;
    TheScreen().paletteDevice = paletteDevice != FALSE;
}

std::uint32_t Win32LiveDeviceContexts(void) {
    return static_cast<std::uint32_t>(TheScreen().live.size());
}

}  // extern "C"
