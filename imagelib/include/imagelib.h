/* The image codec library's public interface.
 *
 * Loads BMP images (JPEG, GIF, TIFF and PNG are recognised but answer 2, not supported)
 * from a file, a caller's buffer or a module resource into two movable global-memory
 * blocks: a packed DIB (BITMAPINFOHEADER, 256 RGBQUADs, then the rows bottom-up at byte
 * 1064) and a LOGPALETTE. Both are handles of the win32 layer
 * (win32/global_memory.h); the caller owns them and frees them with ImageLoadCleanup or
 * SerialImageCleanup on the same two words, or with GlobalFree.
 *
 * A load runs in one call (ImageLoadFile...) or step by step: SerialImage...First, then
 * SerialImageNext while it returns 68. Meanwhile the two words name the load; after 69
 * they hold the DIB and the palette handle. Call SerialImageCleanup on the words after
 * every load, whatever its result.
 *
 * Wide strings are wchar_t. The library is single-threaded: call it from one thread. */
#ifndef IMAGELIB_IMAGELIB_H
#define IMAGELIB_IMAGELIB_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results. */
enum {
    IMAGELIB_OK = 0,
    IMAGELIB_OUT_OF_MEMORY = 1, /* also: null pointer or empty words */
    IMAGELIB_NOT_SUPPORTED = 2,
    IMAGELIB_NOT_FOUND = 3, /* file or resource missing, format not recognised */
    IMAGELIB_NOT_GIF = 5,   /* also: data without a BMP file header */
    IMAGELIB_BMP_EMPTY = 6, /* BMP of zero width or height */
    IMAGELIB_READ_ERROR = 7,
    IMAGELIB_WRITE_ERROR = 8,
    IMAGELIB_CALL_AGAIN = 68,
    IMAGELIB_FINISHED = 69,
    /* Each format's own codes follow, named IMAGELIB_<FORMAT>_...: BMP 300 to 303,
     * TIFF 800 to 828, GIF 1101 and 1102, PNG 1900 to 1906. */
    IMAGELIB_BMP_BAD_PLANES = 300,      /* plane count other than 1 */
    IMAGELIB_BMP_BAD_BIT_COUNT = 301,   /* bit count other than 1, 4, 8 or 24 */
    IMAGELIB_BMP_BAD_HEADER_SIZE = 302, /* information header of a size not allowed */
    IMAGELIB_BMP_BAD_COMPRESSION = 303, /* compression other than none, RLE8 or RLE4 */
};

/* The most pixels (width x height) and the most rows one image may have; a larger image
 * fails with 1 in the first step, whatever its format. They keep the memory and the time
 * of a load within what its data can justify: a few bytes may declare any size. */
enum { IMAGELIB_MAX_PIXELS = 16 * 1024 * 1024, IMAGELIB_MAX_ROWS = 1024 * 1024 };

/* Bits of the flags word (in: requests; out: the word as the load changed it). */
enum {
    IMAGELIB_MAP_TO_DISPLAY_PALETTE = 0x10,
    IMAGELIB_REDUCE = 0x20,
    IMAGELIB_REDUCE4_NO_ENTRY0 = 0x40,
    IMAGELIB_REDUCE4_PLAIN_GREYS = 0x80,
    IMAGELIB_JPEG_AUTO_SCALE = 0x100,
    IMAGELIB_JPEG_SCALE_HALF = 0x200,
    IMAGELIB_JPEG_SCALE_QUARTER = 0x400,
    IMAGELIB_JPEG_SCALE_EIGHTH = 0x800,
    IMAGELIB_JPEG_USER_PALETTE = 0x1000,
    IMAGELIB_IMAGE_AND_MASK = 0x2000,
    IMAGELIB_GIF_FIRST_FRAME_ONLY = 0x4000,
    IMAGELIB_REPORT_TRANSPARENT = 0x8000,
    IMAGELIB_FORCE_8BIT = 0x10000,
    IMAGELIB_KEEP_ALPHA = 0x20000,
    IMAGELIB_ANIMATION = 0x100000,
    IMAGELIB_ONE_SHOT = 0x200000,
    IMAGELIB_NEAREST_COLOUR = 0x400000,
    IMAGELIB_CLEAN_MASK = 0x800000,
};

/* Stepwise loading. buffer with a non-zero length is loaded instead of the file at path.
 * flags may be null. Results: 68 (call SerialImageNext), or an error code. */
int32_t SerialImageFileFirst(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                             uint32_t* b, uint32_t* flags);
/* module is a win32 HMODULE; name and type as for FindResourceW. */
int32_t SerialImageResourceFirst(uint32_t module, const wchar_t* name, const wchar_t* type,
                                 uint32_t* a, uint32_t* b, uint32_t* flags);
/* 68 call again, 69 finished (a and b hold the result), or an error code (the load is
 * freed and a and b are 0). flags and transparentIndex may be null. */
int32_t SerialImageNext(uint32_t* a, uint32_t* b, uint32_t* flags, int32_t* transparentIndex);
/* 0 to 100 for a running load, 100 for a finished one, 1 for null pointers or 0 words. */
int32_t SerialImagePercentComplete(uint32_t* a, uint32_t* b);
/* Frees what the words name (a running load or a result); 0, or 1 when there is nothing. */
int32_t SerialImageCleanup(uint32_t* a, uint32_t* b);
int32_t ImageLoadCleanup(uint32_t* a, uint32_t* b);

/* One-shot loading. 69 success (a and b hold the result), else an error code. */
int32_t ImageLoadFile(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                      uint32_t* b, uint32_t* flags);
int32_t ImageLoadFileTransIndex(const wchar_t* path, const void* buffer, uint32_t length,
                                uint32_t* a, uint32_t* b, uint32_t* flags,
                                int32_t* transparentIndex);
int32_t ImageLoadResource(uint32_t module, const wchar_t* name, const wchar_t* type, uint32_t* a,
                          uint32_t* b, uint32_t* flags);
int32_t ImageLoadResourceTransIndex(uint32_t module, const wchar_t* name, const wchar_t* type,
                                    uint32_t* a, uint32_t* b, uint32_t* flags,
                                    int32_t* transparentIndex);

/* The colours a JPEG load quantises to with IMAGELIB_JPEG_USER_PALETTE: count entries of
 * three uint32_t (red, green, blue). The list is not copied; keep it alive while loads use
 * it. A count of 0 or a null list turns it off. */
void SetImagePalette(int32_t count, const uint32_t* colours);

/* 1 when the extension of path names a format the library knows, else 0. Only the name is
 * looked at. */
int32_t ValidImageFile(const wchar_t* path);

/* PNG cannot be written: always 2. The arguments are not used. */
int32_t ImageWritePngFile(const void* unused1, const void* unused2, const void* unused3,
                          const void* unused4, const void* unused5);

#ifdef __cplusplus
}
#endif

#endif /* IMAGELIB_IMAGELIB_H */
