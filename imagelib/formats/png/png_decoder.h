// The state of one PNG load and the operations its files share: the chunk reader fills
// it, the output decision completes it, the row sink places the inflated rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/stream_reader.h"
#include "engine/serial_context.h"

namespace imagelib {

constexpr std::uint32_t kPngGrey = 0;
constexpr std::uint32_t kPngRgb = 2;
constexpr std::uint32_t kPngPalette = 3;
constexpr std::uint32_t kPngGreyAlpha = 4;
constexpr std::uint32_t kPngRgba = 6;

// One Adam7 pass (or the whole image when not interlaced): the pixels at columns
// x0 + i * dx of rows y0 + j * dy.
struct PngPass {
    std::uint32_t x0, y0, dx, dy;
};

// Larger than the context's driver area: allocated with ImageAlloc, and only its pointer
// is kept there (PngDriverArea). It belongs to its load alone.
struct PngDecoder {
    ImageInfo* info;  // the load it belongs to

    // IHDR and what follows from it.
    std::uint32_t width, height;
    std::uint32_t bitDepth, colourType, interlaced;
    std::uint32_t channels;        // samples per pixel, alpha included
    std::uint32_t bytesPerSample;  // 1, or 2 for 16-bit samples
    std::uint32_t filterUnit;      // bytes per complete pixel, at least 1
    std::uint32_t paletteEntries;  // 0 for RGB and RGBA

    // PLTE (or the grey ramp) and tRNS.
    PaletteEntry3 palette[256];
    std::uint8_t alpha[256];  // 255 until tRNS says otherwise
    std::uint32_t trnsCount;
    std::uint8_t trnsSeen;         // tRNS makes some colour transparent or translucent
    std::uint8_t lastTranslucent;  // last palette index with alpha below 255, 0 for none
    std::uint8_t greyKey;          // grey tRNS: the index of the transparent grey
    std::uint8_t rgbKey[3];        // RGB tRNS: most significant bytes of the key

    // The output decision.
    std::uint32_t outputDepth;      // 1, 4, 8, 24 or 32
    std::uint32_t outputColours;    // colour-table entries, 0 for 24 and 32 bits
    std::uint8_t alphaOutput;       // 32-bit rows with pre-multiplied alpha
    std::uint8_t imageAndMask;      // image half, then mask half
    std::uint8_t cleanMask;         // no white key: the engine whitens the mask half
    std::uint8_t transparentIndex;  // the one reported: the last masked entry
    std::uint8_t blackKey, whiteKey;
    std::int32_t blackMadeWhite;  // a black entry made the white key, or -1: its opaque
                                  // pixels show the black key
    std::uint8_t masked[256];     // image-and-mask layout: 1 for the entries shown transparent

    // The IDAT data, read where they lie in the source when the image is decoded.
    std::int64_t firstIdat;   // source offset of the first IDAT chunk with data
    std::uint64_t idatBytes;  // the bytes of all IDAT chunks

    // Row sink: the bitmap rows, three scanline buffers and where the next scanline goes.
    std::uint8_t* bits;          // result rows, bottom-up
    std::uint64_t rowSize;       // bytes per result row
    std::uint8_t* prior;         // unfiltered previous scanline of the pass
    std::uint8_t* current;       // scanline being unfiltered
    std::uint8_t* pending;       // filter byte and bytes of a scanline that came in pieces
    std::uint64_t bufferBytes;   // size of each of the three
    std::uint64_t filled;        // bytes of the scanline in pending
    std::uint64_t scanline;      // bytes of a scanline of the pass, without the filter byte
    std::uint64_t passWidth;     // pixels per row of the pass
    std::uint32_t pass;          // index into the pass table; 7 (or 1) when complete
    std::uint32_t y;             // image row of the next scanline
    std::uint8_t complete;       // every pixel placed: further bytes are ignored
    std::uint8_t decodeStarted;  // the rows were handed to the sink
    std::uint8_t directBgr;      // 8-bit RGB, not interlaced, 24-bit rows: unfiltered in place
};

// What the load context's driver area holds.
struct PngDriverArea {
    PngDecoder* decoder;
};

// Header reader (png_chunks.cpp): 0, or the code that ends the load.
int PngReadIhdr(PngDecoder& d, StreamReader& in);
int PngWalkChunks(PngDecoder& d, StreamReader& in);
// The data of the next IDAT chunk from the reader's cursor on, walking the chunks as the
// header reader did (png_chunks.cpp): true with the span, false at IEND or the end of the
// source. origin is the StreamReader, as PngInflateSource wants it.
bool PngNextIdat(void* origin, const std::uint8_t** bytes, std::uint64_t* n);

// Output decision and the image-and-mask keys (png_output_format.cpp).
void PngDecideOutput(PngDecoder& d, std::uint32_t flags);

// Row sink (png_rows.cpp).
bool PngStartRows(PngDecoder& d, std::uint8_t* bits);  // false: no memory for the buffers
void PngOutputBytes(PngDecoder& d, const std::uint8_t* bytes, std::size_t n);
void PngFinishRows(PngDecoder& d);  // places the pixels of a scanline cut short
void PngFreeRows(PngDecoder& d);

// Undoes one scanline's filter (png_unfilter.cpp): out[i] from in[i], the unfiltered
// prior scanline and the bytes already unfiltered; unit = bytes per complete pixel.
void PngUnfilterRow(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                    std::uint8_t* out, std::size_t n, std::size_t unit);
// The same for an 8-bit RGB scanline written in blue, green, red order, with prior the
// previous row in that order; n may end inside a pixel.
void PngUnfilterRowToBgr(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                         std::uint8_t* out, std::size_t n);

}  // namespace imagelib
