/* The image codec library's public interface.
 *
 * Loads BMP, GIF, JPEG, TIFF and PNG images from a file, a caller's buffer or a module
 * resource into two movable global-memory blocks: a packed DIB (BITMAPINFOHEADER, 256 RGBQUADs,
 * then the rows bottom-up at byte 1064) and a LOGPALETTE. Both are handles of the win32 layer
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
    IMAGELIB_BMP_BAD_PLANES = 300,         /* plane count other than 1 */
    IMAGELIB_BMP_BAD_BIT_COUNT = 301,      /* bit count other than 1, 4, 8 or 24 */
    IMAGELIB_BMP_BAD_HEADER_SIZE = 302,    /* information header of a size not allowed */
    IMAGELIB_BMP_BAD_COMPRESSION = 303,    /* compression other than none, RLE8 or RLE4 */
    IMAGELIB_TIFF_BAD_VERSION = 800,       /* version not 42 */
    IMAGELIB_TIFF_TOO_MANY_ENTRIES = 801,  /* directory of more than 200 entries */
    IMAGELIB_TIFF_MISSING_TAG = 804,       /* width, length or strip offsets missing */
    IMAGELIB_TIFF_GREY_SAMPLES = 805,      /* grey or bilevel with samples not 1 */
    IMAGELIB_TIFF_GREY_BITS = 806,         /* grey or bilevel of bits not 1, 4 or 8 */
    IMAGELIB_TIFF_RGB_SAMPLES = 807,       /* RGB with samples not 3 or 4 */
    IMAGELIB_TIFF_RGB_BITS = 808,          /* RGB of bits per sample not 8 */
    IMAGELIB_TIFF_PALETTE_SAMPLES = 809,   /* palette image with samples not 1 */
    IMAGELIB_TIFF_PALETTE_BITS = 810,      /* palette image of bits not 1, 4 or 8 */
    IMAGELIB_TIFF_CMYK_SAMPLES = 811,      /* separated image with samples not 4 */
    IMAGELIB_TIFF_CMYK_BITS = 812,         /* separated image of bits per sample not 8 */
    IMAGELIB_TIFF_CCITT_HUFFMAN = 813,     /* compression 2 */
    IMAGELIB_TIFF_CCITT_T4 = 814,          /* compression 3 */
    IMAGELIB_TIFF_CCITT_T6 = 815,          /* compression 4 */
    IMAGELIB_TIFF_BAD_COMPRESSION = 816,   /* other than none, LZW or PackBits */
    IMAGELIB_TIFF_MISSING_COLOR_MAP = 817, /* palette image without its colour map */
    IMAGELIB_TIFF_BAD_LZW = 818,           /* corrupt LZW data */
    IMAGELIB_TIFF_BAD_PREDICTOR = 819,     /* predictor where it cannot apply */
    IMAGELIB_TIFF_TRANSPARENCY_MASK = 821, /* photometric 4 */
    IMAGELIB_TIFF_YCBCR = 822,             /* photometric 6 */
    IMAGELIB_TIFF_BAD_PHOTOMETRIC = 823,   /* photometric above 6 */
    IMAGELIB_TIFF_BAD_FILL_ORDER = 824,    /* fill order not 1 */
    IMAGELIB_TIFF_PLANAR_NOT_RGB = 825,    /* separate planes other than RGB */
    IMAGELIB_TIFF_BAD_PLANAR = 826,        /* planar configuration not 1 or 2 */
    IMAGELIB_TIFF_BAD_INK_SET = 827,       /* separated image with ink set not 1 */
    IMAGELIB_TIFF_BAD_ORIENTATION = 828,   /* orientation not 1 or 4 */
    IMAGELIB_GIF_NO_IMAGE = 1101,          /* the trailer comes before any image */
    IMAGELIB_GIF_BAD_CODE_SIZE = 1102,     /* LZW minimum code size outside 2 to 9 */
    IMAGELIB_PNG_BAD_HEADER = 1900,  /* IHDR missing, short, or with values PNG does not allow */
    IMAGELIB_PNG_IDAT_MEMORY = 1901, /* no longer given: the data is inflated where it lies */
    IMAGELIB_PNG_SHORT_PLTE = 1902,  /* PLTE data cut short */
    IMAGELIB_PNG_SHORT_BKGD = 1903,  /* bKGD data cut short */
    IMAGELIB_PNG_SHORT_TRNS = 1904,  /* tRNS data cut short */
    IMAGELIB_PNG_BAD_DATA = 1905,    /* the compressed image data cannot be inflated */
    IMAGELIB_PNG_NO_DATA = 1906,     /* no compressed image data */
};

/* The largest block the library hands out (2 GiB - 1 bytes). An image loads whatever its
 * size when its rows fit one such block at 24 bits per pixel (32 for a 32-bit image) with
 * the DIB's header and colour table (1,064 bytes): up to about 715 million pixels. A
 * larger image fails with 1 in the first step, whatever its format, before anything is
 * sized from it. */
enum { IMAGELIB_MAX_BLOCK_BYTES = 0x7FFFFFFF };

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
    /* GIF and PNG with a transparent colour: each row holds the image, black where it is
     * transparent, then its mask, black where the image is opaque and white where it is
     * transparent (pixels the data never reach are transparent), also when reduced. */
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
 * freed and a and b are 0). flags and transparentIndex may be null. Words that name no
 * running load (0 words, a finished result, a freed load) answer 69 too, with nothing to
 * do and nothing touched: 69 alone does not mean that the words hold a result. */
int32_t SerialImageNext(uint32_t* a, uint32_t* b, uint32_t* flags, int32_t* transparentIndex);
/* 0 to 100 for a running load, 100 for a finished one, 1 for null pointers or 0 words. */
int32_t SerialImagePercentComplete(uint32_t* a, uint32_t* b);
/* Frees what the words name (a running load or a result); 0, or 1 when there is nothing:
 * null pointers, 0 words, or words that name no load and no block (left as they are). */
int32_t SerialImageCleanup(uint32_t* a, uint32_t* b);
int32_t ImageLoadCleanup(uint32_t* a, uint32_t* b);

/* One-shot loading. 69 success (a and b hold the result), else an error code. Whatever the
 * result, the caller cleans up after every load with ImageLoadCleanup on a and b: a load
 * whose source is missing (3) keeps its context in the words until then. */
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

/* One record of a GIF animation list (68 bytes: 17 little-endian 32-bit slots). A loaded
 * list is one global block of records in file order, ended by a record of kind 0; slots a
 * kind does not use are 0. The animated GIF writer takes its frames in the same form. */
typedef struct GifAnimRecord {
    uint32_t kind;   /* 0x69 logical screen, 0x2C frame, 0xF9 graphic control,
                        0xFF loop count, 0 end of the list */
    uint32_t width;  /* screen or frame width (a frame's doubled with a mask half) */
    uint32_t height; /* screen or frame height */
    uint32_t left;   /* frame position on the logical screen */
    uint32_t top;
    uint32_t delay;            /* graphic control: hundredths of a second */
    uint32_t loopCount;        /* loop count: 0 loops for ever */
    uint32_t transparent;      /* graphic control: 1 when transparentIndex applies */
    uint32_t transparentIndex; /* graphic control */
    uint32_t background;       /* screen: red | green << 8 | blue << 16 */
    uint32_t disposalHigh;     /* graphic control: packed byte & 0x08 */
    uint32_t userInput;        /* graphic control: packed byte & 0x02 */
    uint32_t disposalLow;      /* graphic control: packed byte & 0x04 */
    uint32_t bitmap;           /* writer input: the frame's HBITMAP; 0 in loaded lists */
    uint32_t unused;
    uint32_t dib;     /* loaded frame: PackedDib handle (the caller's to free);
                         the writer keeps a global handle of the frame's rows here */
    uint32_t palette; /* loaded frame: DisplayPalette handle (the caller's) */
} GifAnimRecord;

/* Loads every frame of a GIF into a PackedDib and a DisplayPalette of its own and puts
 * the records into a new global block in *list (the caller frees it and every frame's
 * handles). a and b receive a blank result as large as the largest of the screen and
 * the frames; free it with ImageLoadCleanup as any load's. A graphic control record
 * gives the delay, disposal and transparency of the next frame record only: a frame with
 * none since the frame before it has none (and, with IMAGELIB_IMAGE_AND_MASK, no mask
 * half). A frame's mask half is black where it is opaque and white where it is
 * transparent, in its own 8-bit table. Other formats load as ImageLoadFile loads them,
 * with *list 0.
 * 69 success; any other result leaves nothing allocated and a, b and *list 0. */
int32_t ImageLoadGIFAnimation(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                              uint32_t* b, uint32_t* list, uint32_t* flags);
/* The number of images in a GIF file: 0 and *count, or 3 (cannot open), 5 (not a GIF),
 * 7 (read error, also a file without its trailer); *count is 0 after a failure. */
int32_t ImageCountGIFFrames(const wchar_t* path, int32_t* count);

/* The colours a JPEG load quantises to with IMAGELIB_JPEG_USER_PALETTE: count entries of
 * three uint32_t (red, green, blue). The list is not copied; keep it alive while loads use
 * it. A count of 0 or a null list turns it off. */
void SetImagePalette(int32_t count, const uint32_t* colours);

/* 1 when the extension of path names a format the library knows, else 0. Only the name is
 * looked at. */
int32_t ValidImageFile(const wchar_t* path);

/* Building from bitmaps. header points to a BITMAPINFOHEADER followed by the colour
 * entries it declares (biClrUsed, else 1 << biBitCount up to 8 bits, none at 24); rows to
 * its pixel rows (biSizeImage bytes, or the padded rows of the header's size). dc, bitmap,
 * image and mask handles are win32 HDC and HBITMAP values (win32/gdi.h); the caller
 * deletes the bitmaps it receives. flags may be null and is changed as by a load. */

/* The DIB loaded like a file: 1 and *dib and *palette hold the result (free them with
 * ImageLoadCleanup), or 0 (a load that failed clears *dib and *palette). The first
 * argument is not used. */
uint32_t ConvertBitmapBits(uint32_t unused, const void* header, const void* rows, uint32_t* flags,
                           uint32_t* dib, uint32_t* palette);
/* The DIB loaded like a file, as a bitmap for dc; 0 on failure. */
uint32_t ConvertBitmapImage(uint32_t dc, const void* header, const void* rows, uint32_t* flags);
/* The DIB loaded like a file as *image, its key pixels turned to the first black colour
 * entry (255 when none), and *mask, a one-bit bitmap whose set bits mark them. The key is
 * keyIndex for an 8-bit result (or a 1- or 4-bit one, taken as 8 bits), else (or with -1)
 * the colour of the bottom-left pixel. 1 done; 0 failed, with *image and *mask 0. */
uint32_t CreateAnimationMaskImage(uint32_t* image, uint32_t* mask, int32_t keyIndex, uint32_t dc,
                                  const void* header, const void* rows, uint32_t* flags);
/* bitmap turned by degrees (clockwise for a positive angle) about its centre, as a new
 * bitmap for dc. Without fit it keeps its size, with fit it grows to hold the turned
 * picture; both sides are raised to multiples of 4. Uncovered corners take the colour of
 * the bottom-left pixel. 0 on failure. */
uint32_t CreateRotatedImage(uint32_t dc, uint32_t bitmap, int32_t degrees, int32_t fit);

/* Writing GDI bitmaps as files. palette is a win32 HPALETTE selected into the screen's
 * context while the bitmaps are read (0: the stock default palette). Results: 0 written,
 * 1 failed (a bitmap that cannot be read, out of memory, or the file could not be
 * written). */

/* A GIF of up to three frames of the normal bitmap's size: normal, then second and third
 * (each may be 0; the frames stop at the first 0). Each pixel takes the nearest of colours
 * (256 RGBQUADs, which stay installed as the library's caller palette) or, when colours
 * is null, of the library's fixed GIF palette. transparentColour (red,
 * green, blue; may be null) makes the first palette entry of exactly that colour
 * transparent. */
uint32_t CreateGIFButtonFromBitmaps(uint32_t normal, uint32_t second, uint32_t third,
                                    uint32_t palette, const wchar_t* path,
                                    const uint8_t* transparentColour, const void* colours);
/* CreateGIFButtonFromBitmaps with bitmap alone. */
uint32_t CreateGIFFromBitmap(uint32_t bitmap, uint32_t palette, const wchar_t* path,
                             const uint8_t* transparentColour, const void* colours);
/* A JPEG of bitmap; quality 1..100, 0 or less for the default (75). */
uint32_t CreateJPEGFromBitmap(uint32_t bitmap, uint32_t palette, const wchar_t* path,
                              int32_t quality);

/* Writes a GIF89a file of frameCount frames that share the size, depth (1, 4 or 8 bits)
 * and colour table of bitmapInfo (a BITMAPINFOHEADER followed by 1 << depth RGBQUADs).
 * frameRows holds one pointer per frame to its rows, bottom-up, each padded to 4 bytes.
 * transparentIndex is the transparent colour of every frame, or -1 for none. Results:
 * 0 written; 1 a bad argument (null pointer, a size of 0, negative or above 65535, a
 * transparentIndex other than -1 to 255) or out of memory, with no file created; 2 a
 * depth other than 1, 4 or 8; 3 the file cannot be created; 8 a write failed (the file
 * stays as far as it was written). */
int32_t ImageWriteGifFile(const wchar_t* path, int32_t frameCount, const void* const* frameRows,
                          const void* bitmapInfo, int32_t transparentIndex);

/* Copies each frame of the GIF file source, with the blocks before it, into a GIF file of
 * its own named baseName followed by "_flat.gif" (maxFrames 1), "off.gif", "clk.gif",
 * "rol.gif", then "3.gif", "4.gif", ... Stops after maxFrames files (negative: no limit).
 * *count receives the number of files written. 1 on success, 0 on failure. */
int32_t ImageSplitWebImage(const wchar_t* source, const wchar_t* baseName, int32_t* count,
                           int32_t maxFrames);

/* Writes an animated GIF89a file from frameCount GDI bitmaps: record i gives frame i's
 * bitmap (slot bitmap, its size in width and height), its place on the screen, delay,
 * disposal and user-input bits, transparency and index. Every frame is reduced to 8 bits
 * (nearest colour) over palette, 256 RGBQUADs that also become the caller palette, or over
 * the library's fixed 256 colours when palette is null. The screen is record 0's size,
 * widened to hold every frame; loopCount below 0 writes no loop count. The records are
 * only read. Results: 0 written, or nothing to write (frameCount below 1); 1 a bad
 * argument (null pointer, a size of 0 or above 65535, a bitmap that does not have its
 * record's size, a transparent frame whose index is not 0 to 255), no memory, or a failed
 * GDI call, with no file created; 3 the file cannot be created; 8 a write failed. */
int32_t ImageWriteAnimGifFile(const wchar_t* path, int32_t frameCount, int32_t loopCount,
                              const GifAnimRecord* frames, const void* palette);

/* Loads the image file source and, when write is non-zero, writes it again as name
 * followed by ".gif" (8 bits per pixel or less, as loaded) or ".jpg" (deeper images, at
 * quality as for ImageWriteJpegFile). The extension is appended to name, whose buffer must
 * have room for 4 more characters, also when write is 0; a name of more than 251
 * characters is refused and left alone. 1 when a file was written, else 0. */
int32_t ImageConvertWebImage(const wchar_t* source, wchar_t* name, int32_t write, int32_t quality);
/* Writes a JPEG file from 24-bit rows (blue, green, red, the bottom row first). header is a
 * BITMAPINFOHEADER of which only the width and height are read. quality 1 to 100, or 0 or
 * less for the default (75). paddedRows non-zero: each row holds 3 bytes for the width
 * rounded up to a multiple of 4 pixels; 0: rows padded to 4 bytes as in a 24-bit DIB. The
 * rows are not changed. 0 written, 1 bad argument (width or height not 1 to 65500) or no
 * memory, 3 the file cannot be created, 8 write error. */
int32_t ImageWriteJpegFile(const wchar_t* path, int32_t quality, const void* bits,
                           const void* header, uint32_t paddedRows);

/* PNG cannot be written: always 2. The arguments are not used. */
int32_t ImageWritePngFile(const void* unused1, const void* unused2, const void* unused3,
                          const void* unused4, const void* unused5);

#ifdef __cplusplus
}
#endif

#endif /* IMAGELIB_IMAGELIB_H */
