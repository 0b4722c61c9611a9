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
//
// The public headers of this layer compile as C as well (C callers of the image library lock
// and free its handles here): typedefs, typedef'd structs and static const constants.
#pragma once

#include <stdint.h>
#ifdef __cplusplus
#include <cstdint>
#else
#include <wchar.h>
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef wchar_t WCHAR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPWSTR;
typedef uint64_t SIZE_T;

// GLib defines TRUE and FALSE as macros of the same values; whichever comes first serves.
#ifndef TRUE
static const BOOL TRUE = 1;
#endif
#ifndef FALSE
static const BOOL FALSE = 0;
#endif

typedef uint32_t HGLOBAL;  // global-memory handle; 0 is no block
typedef uint32_t HMODULE;  // module handle; 0 is the executable itself
typedef uint32_t HRSRC;    // found resource
typedef uint32_t HDC;      // device context
typedef uint32_t HGDIOBJ;  // any GDI object
typedef uint32_t HBITMAP;
typedef uint32_t HPALETTE;
typedef uint32_t HWND;  // window (the viewer's windows over GTK); 0 is none
typedef uint32_t HICON;
typedef uint32_t HMENU;
typedef HMODULE HINSTANCE;

#pragma pack(push, 1)
typedef struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct BITMAPINFOHEADER {
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
} BITMAPINFOHEADER;
#ifdef __cplusplus
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
#else
_Static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
#endif

typedef struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY;

typedef struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
} LOGPALETTE;

static const DWORD BI_RGB = 0;
static const DWORD BI_RLE8 = 1;
static const DWORD BI_RLE4 = 2;
