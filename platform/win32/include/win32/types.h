// Basic Windows data types as this platform layer defines them. Handles are 32-bit
// values from our own tables, never pointers, so they fit the 32-bit words the image
// library hands its callers. Each family has a range of its own, so a handle given to the
// wrong family is merely unknown there:
//   0x00010000..0x3FFFFFFF  global memory (global_memory.h)
//   0x40000000..0x4FFFFFFF  loaded resources (resources.h)
//   0x50000000..0x5FFFFFFF  found resources (resources.h)
//   0x60000000..0x6FFFFFFF  device contexts (gdi.h)
//   0x70000000..0x7FFFFFFF  GDI objects: bitmaps and palettes (gdi.h)
// Bit 31 is never set: the image library's context keys have it set.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using SIZE_T = std::uint64_t;

// GLib defines TRUE and FALSE as macros of the same values; whichever comes first serves.
#ifndef TRUE
constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
constexpr BOOL FALSE = 0;
#endif

using HGLOBAL = std::uint32_t;  // global-memory handle; 0 is no block
using HMODULE = std::uint32_t;  // module handle; 0 is the executable itself
using HRSRC = std::uint32_t;    // found resource
using HDC = std::uint32_t;      // device context
using HGDIOBJ = std::uint32_t;  // any GDI object
using HBITMAP = std::uint32_t;
using HPALETTE = std::uint32_t;
using HWND = std::uint32_t;  // window (the viewer's windows over GTK); 0 is none
using HICON = std::uint32_t;
using HMENU = std::uint32_t;
using HINSTANCE = HMODULE;

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
