// The GIF writers: one or more full-screen frames over one colour table, or an animation
// of placed frames with their own timing, disposal and transparency.
#pragma once

#include <cstdint>

#include "imagelib.h"
#include "win32/types.h"

namespace imagelib {

// True for a transparent colour index the writers can write: -1 (none) or 0 to 255. Any
// other would reach the file as its low byte, a colour the caller did not name.
inline bool GifTransparentIndexWritable(std::int64_t index) {
    return index >= -1 && index <= 255;
}
// A frame record's transparency: an index of 0 to 255 when its flag is set (without the
// flag no colour is transparent, and the index byte is written as it is).
inline bool GifRecordTransparencyWritable(const GifAnimRecord& r) {
    return r.transparent == 0 || r.transparentIndex <= 255;
}

// Writes frameCount frames of bitmapInfo's size and depth (1, 4 or 8 bits; its colour
// table of 1 << depth RGBQUADs follows the header), frameRows[f] being frame f's rows
// bottom-up. transparentIndex -1: no graphic control extension. frameCount below 1 writes
// the header, the colour table and the trailer. Results: 0; 1 bad argument (null pointer,
// width or height 0, negative or above 65535, transparentIndex not -1 to 255) or out of
// memory; 2 depth not 1, 4 or 8;
// 3 the file cannot be created; 8 a write or the close failed. No file is created unless
// the arguments are good; once created, a failed file stays as far as it was written.
int GifWriteFile(const wchar_t* path, std::int32_t frameCount, const std::uint8_t* const* frameRows,
                 const BITMAPINFO* bitmapInfo, std::int32_t transparentIndex);

// Writes an animation of frameCount frames (at least 1). Record i gives frame i's width,
// height, left, top, delay, transparency flag and index, disposal and user-input bits,
// and in slot dib the global-memory handle of its rows (bottom-up, at bitmapInfo's depth,
// padded to 4 bytes). bitmapInfo gives only the depth and the colour table. The logical
// screen is record 0's size, widened so that every frame fits. loopCount below 0: no loop
// extension. Results as GifWriteFile; a missing or short rows block, a screen above 65535,
// or a transparent frame whose index is not 0 to 255, is a bad argument.
int GifWriteAnimFile(const wchar_t* path, std::int32_t frameCount, std::int32_t loopCount,
                     const GifAnimRecord* records, const BITMAPINFO* bitmapInfo);

}  // namespace imagelib
