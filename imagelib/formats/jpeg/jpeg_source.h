// libjpeg's data source over the library's memory stream: the stream's bytes are handed to
// libjpeg in place, without copying.
#pragma once

#include <cstdint>

#include "core/mem_stream.h"
#include "formats/jpeg/jpeg_error_trap.h"

namespace imagelib {

struct mem_stream_source_mgr {
    jpeg_source_mgr pub;  // first: libjpeg's src pointer is the manager's address
    ImageMemStream* stream;
    std::int32_t lastPiece;  // bytes of the piece handed out last
    std::int32_t remaining;  // bytes after the cursor not handed out yet
    std::uint8_t* start;     // the stream's base
};

constexpr int kJpegEndOfImageMarker = 0xD9;

// Installs the source manager (allocated once, from the permanent pool) over the stream;
// the bytes are taken from the stream's cursor on. Call with the error trap armed.
void jpeg_mem_stream_src(j_decompress_ptr decompressor, ImageMemStream* stream);

// The code of the marker libjpeg's marker reader meets next (the one it holds already, or
// the next in the data it has been handed); kJpegEndOfImageMarker at the end of the data,
// 0 when it is not known yet.
int JpegNextMarker(j_decompress_ptr decompressor);

}  // namespace imagelib
