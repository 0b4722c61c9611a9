// The JPEG driver's state of one load, kept in the load context's driver area. Every
// libjpeg callback reaches it from the decompressor it is given (client_data), so loads
// interleaved step by step never share one.
#pragma once

#include <cstdint>

#include "engine/serial_context.h"
#include "formats/jpeg/jpeg_error_trap.h"

namespace imagelib {

struct JpegDecodeState {
    jpeg_decompress_struct decompressor;
    JpegErrorTrap trap;  // libjpeg's error manager and the jump back
    jpeg_progress_mgr progress;
    std::int32_t rowIndex;     // the bitmap row that receives the next scanline; counts down
    std::int32_t rowBytes;     // output_components x output_width, rounded up to 4
    JSAMPARRAY rowPointers;    // rowsPerCall row pointers (image pool)
    std::int32_t rowsPerCall;  // (output_height + 99) / 100
    std::uint8_t* bits;        // the context's result rows
    PaletteEntry3* palette;    // the context's output palette, 256 entries
    ImageInfo* info;
    // The scans' decoding work (see JpegScanWorkLimit): counted as each scan starts.
    std::uint64_t scanWork;
    std::uint64_t scanWorkLimit;
    std::int32_t scansSeen;
    std::uint8_t scansCut;   // the scans after the limit are not read
    std::uint8_t firstStep;  // set by JpegReadHeader, cleared by the first JpegDecodeStep
};

// The most work the scans of a multi-scan image may take: 16 scans over every block and
// every coefficient. Ordinary progressive files take about 3 (libjpeg's own scripts code a
// block's coefficients in 6 scans at most, most of them over part of the coefficients).
std::uint64_t JpegScanWorkLimit(j_decompress_ptr d);

// Destroys the decompressor (again: nothing happens) and shows a held warning.
void JpegEndDecode(JpegDecodeState& st);

// Adds a colour to the decompressor's colormap unless it holds it already or is full.
void JpegAddColormapEntry(j_decompress_ptr d, std::uint32_t red, std::uint32_t green,
                          std::uint32_t blue);

// progress_monitor: the load's percent from libjpeg's passes.
void JpegProgress(j_common_ptr codec);

}  // namespace imagelib
