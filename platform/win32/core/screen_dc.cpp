// The screen device context: a handle per GetDC, answering the screen format tests set.
#include <unordered_set>

#include "win32/gdi.h"

namespace {

// DC handles share no range with global-memory handles (below 0x40000000) or loaded
// resources, so a handle passed to the wrong family is simply unknown there.
constexpr HDC kFirstDc = 0x60000000;
constexpr HDC kLastDc = 0x6FFFFFFF;
constexpr int kDefaultScreenBits = 32;

struct Screen {
    int bitsPerPixel = kDefaultScreenBits;
    bool paletteDevice = false;
    std::unordered_set<HDC> live;
    HDC next = kFirstDc;
};

Screen& TheScreen() {
    static Screen screen;
    return screen;
}

}  // namespace

extern "C" {

HDC GetDC(HWND window) {
    if (window != 0)
        return 0;
    Screen& s = TheScreen();
    for (;;) {
        HDC dc = s.next;
        s.next = dc == kLastDc ? kFirstDc : dc + 1;
        if (s.live.count(dc) != 0)
            continue;
        try {
            s.live.insert(dc);
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
    const Screen& s = TheScreen();
    if (s.live.count(dc) == 0)
        return 0;
    if (index == BITSPIXEL)
        return s.bitsPerPixel;
    if (index == RASTERCAPS)
        return s.paletteDevice ? RC_PALETTE : 0;
    return 0;
}

void Win32SetScreenFormat(int bitsPerPixel, BOOL paletteDevice) {
    TheScreen().bitsPerPixel = bitsPerPixel;
    TheScreen().paletteDevice = paletteDevice != FALSE;
}

std::uint32_t Win32LiveDeviceContexts(void) {
    return static_cast<std::uint32_t>(TheScreen().live.size());
}

}  // extern "C"
