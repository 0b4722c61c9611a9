/* A C program outside the tree, built against an installed copy of the image library: it
 * loads a 4 x 2 BMP of 8 bits that it makes in memory, checks the packed DIB and the
 * palette, and frees both handles, once with ImageLoadCleanup and once with GlobalFree.
 * Prints what went wrong and exits 1 on the first difference. */
#include <imagelib.h>
#include <stdio.h>
#include <string.h>
#include <win32/global_memory.h>
#include <win32/types.h>
/* Not used here; included because every installed header must compile as C. */
#include <win32/gdi.h>
#include <win32/resources.h>
#include <win32/wide_files.h>

enum { kWidth = 4, kHeight = 2, kColours = 4, kRowsAt = 1064 };

/* Rows of the file, bottom row first: colour index (x + 2 * y) % 4, each row 4 bytes. */
static uint8_t Pixel(int x, int y) {
    return (uint8_t)((x + 2 * y) % kColours);
}

static void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = (uint8_t)(value >> (8 * i));
}

/* Entry i of the colour table: blue 10 + i, green 20 + i, red 30 + i. */
static size_t MakeBmp(uint8_t* out) {
    const uint32_t tableAt = 14 + 40, rowsAt = tableAt + 4 * kColours;
    memset(out, 0, rowsAt + kWidth * kHeight);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, rowsAt + kWidth * kHeight);
    Put32(out + 10, rowsAt);
    Put32(out + 14, 40);
    Put32(out + 18, kWidth);
    Put32(out + 22, kHeight);
    Put32(out + 26, 1 | 8 << 16); /* planes, bits per pixel */
    Put32(out + 46, kColours);    /* colours used */
    for (int i = 0; i < kColours; ++i) {
        out[tableAt + 4 * i] = (uint8_t)(10 + i);
        out[tableAt + 4 * i + 1] = (uint8_t)(20 + i);
        out[tableAt + 4 * i + 2] = (uint8_t)(30 + i);
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            out[rowsAt + y * kWidth + x] = Pixel(x, y);
    }
    return rowsAt + kWidth * kHeight;
}

static int Fail(const char* what) {
    fprintf(stderr, "use_imagelib: %s\n", what);
    return 1;
}

/* 0 when the DIB and the palette hold the image MakeBmp wrote. */
static int CheckResult(HGLOBAL dibHandle, HGLOBAL paletteHandle) {
    if (GlobalSize(dibHandle) < kRowsAt + kWidth * kHeight)
        return Fail("the DIB block is too small");
    const uint8_t* dib = (const uint8_t*)GlobalLock(dibHandle);
    const LOGPALETTE* palette = (const LOGPALETTE*)GlobalLock(paletteHandle);
    if (dib == NULL || palette == NULL)
        return Fail("a handle does not lock");
    BITMAPINFOHEADER header;
    memcpy(&header, dib, sizeof header);
    int bad = 0;
    if (header.biSize != 40 || header.biWidth != kWidth || header.biHeight != kHeight ||
        header.biBitCount != 8)
        bad = Fail("wrong header");
    const RGBQUAD* table = (const RGBQUAD*)(dib + 40);
    for (int i = 0; i < kColours && !bad; ++i) {
        if (table[i].rgbBlue != 10 + i || table[i].rgbGreen != 20 + i || table[i].rgbRed != 30 + i)
            bad = Fail("wrong colour table");
    }
    for (int y = 0; y < kHeight && !bad; ++y) {
        for (int x = 0; x < kWidth && !bad; ++x) {
            if (dib[kRowsAt + y * kWidth + x] != Pixel(x, y))
                bad = Fail("wrong pixel");
        }
    }
    if (!bad && (palette->palVersion != 0x300 || palette->palNumEntries < kColours))
        bad = Fail("wrong palette header");
    for (int i = 0; i < kColours && !bad; ++i) {
        const PALETTEENTRY* e = &palette->palPalEntry[i];
        if (e->peRed != 30 + i || e->peGreen != 20 + i || e->peBlue != 10 + i)
            bad = Fail("wrong palette entry");
    }
    GlobalUnlock(dibHandle);
    GlobalUnlock(paletteHandle);
    return bad;
}

int main(void) {
    uint8_t bmp[128];
    const size_t size = MakeBmp(bmp);

    /* The path is not read when a buffer is given. */
    uint32_t dib = 0, palette = 0, flags = 0;
    if (ImageLoadFile(L"memory.bmp", bmp, (uint32_t)size, &dib, &palette, &flags) !=
        IMAGELIB_FINISHED)
        return Fail("the first load failed");
    if (CheckResult(dib, palette) != 0)
        return 1;
    if (ImageLoadCleanup(&dib, &palette) != 0 || dib != 0 || palette != 0)
        return Fail("ImageLoadCleanup did not free the result");

    flags = 0;
    if (ImageLoadFile(L"memory.bmp", bmp, (uint32_t)size, &dib, &palette, &flags) !=
        IMAGELIB_FINISHED)
        return Fail("the second load failed");
    if (CheckResult(dib, palette) != 0)
        return 1;
    if (GlobalFree(dib) != 0 || GlobalFree(palette) != 0)
        return Fail("GlobalFree did not free the result");

    /* A missing file keeps its load in the words until the caller cleans up. */
    if (ImageLoadFile(L"/nonexistent/picture.bmp", NULL, 0, &dib, &palette, &flags) !=
        IMAGELIB_NOT_FOUND)
        return Fail("a missing file does not answer 3");
    if (ImageLoadCleanup(&dib, &palette) != 0 || dib != 0 || palette != 0)
        return Fail("the clean-up after a missing file freed nothing");

    if (Win32LiveGlobalBlocks() != 0)
        return Fail("global-memory blocks are left");
    printf("use_imagelib: ok\n");
    return 0;
}
