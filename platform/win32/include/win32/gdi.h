// The screen's device context, bitmaps and palettes. There is no real display behind them:
// the screen's depth and whether it is a palette device are settings that tests choose.
//
// Bitmaps are device-dependent: either monochrome (1 bit per pixel, 0 black, 1 white) or at
// the screen's depth when they were made (1, 4, 8, 16, 24 or 32 bits). Their rows are kept
// top row first, each a whole number of 16-bit words (bmWidthBytes), in the device's pixel
// format: 1, 4 and 8 bits are colour indexes, most significant bits first; 16 bits are
// 5-6-5 red-green-blue in a little-endian word; 24 bits blue, green, red; 32 bits blue,
// green, red and an unused byte. On a palette screen the indexes of a 4- or 8-bit bitmap
// name entries of the palette selected into the device context that reads or writes it, as
// on a display whose colours come from its palette; on a screen without a palette they name
// fixed colours (the 16 standard colours for 4 bits, the 20 of the default palette for 8).
//
// The caller owns every bitmap and palette it creates, those it receives from the image
// library included, and gives each back with DeleteObject. Every call fails as the
// platform's do (0, null, or GDI_ERROR where noted) and changes nothing when a handle is
// zero, unknown or deleted, a pointer is null, a size is zero or negative, a row range
// leaves the bitmap, or a bitmap's bytes would pass kGdiMaxBitmapBytes.
#pragma once

#include "win32/types.h"

static const int BITSPIXEL = 12;
static const int RASTERCAPS = 38;
static const int RC_PALETTE = 0x0100;

static const int DEFAULT_PALETTE = 15;  // GetStockObject: the 20 colours every display shows
static const DWORD CBM_INIT = 4;        // CreateDIBitmap: fill the bitmap from the DIB's rows
static const UINT DIB_RGB_COLORS = 0;   // a DIB's colour table holds RGBQUAD colours
static const UINT GDI_ERROR = 0xFFFFFFFF;

// The most bytes a bitmap or a DIB it is read into may hold: what a 32-bit process could.
static const uint64_t kGdiMaxBitmapBytes = 0x7FFFFFFF;

typedef struct BITMAP {
    LONG bmType;        // always 0
    LONG bmWidth;       // pixels
    LONG bmHeight;      // rows
    LONG bmWidthBytes;  // bytes per row, a multiple of 2
    WORD bmPlanes;      // always 1
    WORD bmBitsPixel;
    void* bmBits;  // always null: the pixels are reached through the calls below
} BITMAP;

#ifdef __cplusplus
extern "C" {
#endif
// A device context for the screen when window is 0; 0 for any other window (only the
// screen has a context here). A new context has the stock default palette selected.
HDC GetDC(HWND window);
// 1 when dc was a context from GetDC, else 0. The palette selected into it is let go.
int ReleaseDC(HWND window, HDC dc);
// BITSPIXEL and RASTERCAPS of a live context; 0 for other indexes and unknown contexts.
int GetDeviceCaps(HDC dc, int index);

// DEFAULT_PALETTE gives the stock palette; any other index 0. Stock objects need no
// DeleteObject (it succeeds and does nothing) and are never counted as live.
HGDIOBJ GetStockObject(int index);
// A palette of palNumEntries (1 or more) colours copied from palette; palVersion 0x300.
HPALETTE CreatePalette(const LOGPALETTE* palette);
// Selects palette into dc and gives the palette selected before; 0 on failure. The third
// argument (force background) has no effect: there is one screen and no window order.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// On a palette screen the number of entries of dc's palette the screen shows (at most
// 1 << depth); 0 on a screen without a palette; GDI_ERROR for an unknown context.
UINT RealizePalette(HDC dc);

// A monochrome bitmap (planes 1, bitsPerPixel 1) or one at the screen's depth (planes 1,
// bitsPerPixel the screen's). bits, when not null, holds its rows as described above
// (bmWidthBytes × height bytes); otherwise it starts black.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A bitmap of header's size at the screen's depth. With CBM_INIT in init it is filled from
// bits, the rows of a bottom-up DIB that info describes: 1, 4, 8 or 24 bits, BI_RGB, rows
// padded to 4 bytes, a colour table of biClrUsed entries (1 << biBitCount when 0) read
// with DIB_RGB_COLORS; a pixel whose index lies beyond the table is black. The colours are
// stored as the screen shows them: exact at 24 and 32 bits, to 5-6-5 bits at 16, and as
// the nearest colour of the screen's colours (on a palette screen those of the palette
// selected into dc) at 8 bits or less. header and info must give the same size and a
// biSize of 40; without CBM_INIT the bitmap starts black and info and bits are not read.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies lines rows of bitmap, counted from the bottom and starting at start, to bits as
// the rows of the bottom-up DIB that info describes: the bitmap's width and height, 24 bits,
// BI_RGB, biSize 40, with DIB_RGB_COLORS; rows are 3 bytes per pixel (blue, green, red)
// padded to 4 bytes with zeros, row start first. The colours of a palette-indexed bitmap
// come from the palette selected into dc. Returns lines; 0 when the rows are not all within
// the bitmap or anything else is wrong, and then nothing is written.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
// Fills a BITMAP (size at least sizeof(BITMAP)) for a bitmap and returns sizeof(BITMAP);
// 0 for anything else, palettes included.
int GetObjectW(HGDIOBJ object, int size, void* out);
// Copy the bitmap's rows (in the layout described above) from or to bits, at most count
// bytes and never more than the bitmap holds; return the bytes copied.
LONG SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits);
LONG GetBitmapBits(HBITMAP bitmap, LONG count, void* bits);
// Deletes a bitmap or palette; TRUE on success. A palette selected into a live context is
// not deleted (FALSE): select another into it or release the context first.
BOOL DeleteObject(HGDIOBJ object);

// Test hooks: the screen's depth in bits per pixel and whether it is a palette device.
// The default is a true-colour screen of 32 bits without a palette. Bitmaps keep the depth
// they were made with.
void Win32SetScreenFormat(int bitsPerPixel, BOOL paletteDevice);
// The number of contexts got and not released.
uint32_t Win32LiveDeviceContexts(void);
// The number of bitmaps and palettes created and not deleted.
uint32_t Win32LiveGdiObjects(void);
// The n-th GDI call from now (1 = the next) fails, once; 0 turns failing off. Every call
// of this header counts except DeleteObject, ReleaseDC and the test hooks, so that clean-up
// always works.
void Win32FailGdiCallAfter(uint32_t n);
#ifdef __cplusplus
}
#endif
