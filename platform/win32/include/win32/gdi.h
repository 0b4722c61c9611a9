// The screen's device context and its capabilities. There is no real display behind it:
// its depth and whether it is a palette device are settings that tests choose.
#pragma once

#include "win32/types.h"

constexpr int BITSPIXEL = 12;
constexpr int RASTERCAPS = 38;
constexpr int RC_PALETTE = 0x0100;

extern "C" {
// A device context for the screen when window is 0; 0 for any other window (only the
// screen has a context here).
HDC GetDC(HWND window);
// 1 when dc was a context from GetDC, else 0.
int ReleaseDC(HWND window, HDC dc);
// BITSPIXEL and RASTERCAPS of a live context; 0 for other indexes and unknown contexts.
int GetDeviceCaps(HDC dc, int index);

// Test hooks: the screen's depth in bits per pixel and whether it is a palette device.
// The default is a true-colour screen of 32 bits without a palette.
void Win32SetScreenFormat(int bitsPerPixel, BOOL paletteDevice);
// The number of contexts got and not released.
std::uint32_t Win32LiveDeviceContexts(void);
}
