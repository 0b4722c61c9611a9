// The blocks the GIF writers put around the image data, byte for byte (numbers
// little-endian, 16 bits).
#pragma once

#include <cstdint>

#include "formats/gif/gif_out_file.h"
#include "win32/types.h"

namespace imagelib {

// Frames of a written GIF are at most this wide and high: the file holds 16-bit sizes.
constexpr std::uint32_t kGifMaxSide = 0xFFFF;

// The writers' depths: 1, 4 or 8 bits per pixel.
bool GifDepthWritable(int bitsPerPixel);

// "GIF89a", the logical screen descriptor (global colour table of 1 << bits entries, no
// background, no aspect ratio) and the table as red, green, blue triples from the RGBQUADs
// that follow the BITMAPINFOHEADER.
bool GifWriteHead(GifOutFile* out, std::uint32_t width, std::uint32_t height,
                  const BITMAPINFO* bitmapInfo);
// The NETSCAPE2.0 application extension with the low 16 bits of loopCount.
bool GifWriteLoopExtension(GifOutFile* out, std::uint32_t loopCount);
// The graphic control extension: packed flags, delay (low 16 bits), transparent index
// (low byte).
bool GifWriteGraphicControl(GifOutFile* out, std::uint8_t packed, std::uint32_t delay,
                            std::uint32_t transparentIndex);
// The image descriptor: no local colour table, not interlaced; the low three bits repeat
// the global table's size field.
bool GifWriteImageDescriptor(GifOutFile* out, std::uint32_t left, std::uint32_t top,
                             std::uint32_t width, std::uint32_t height, int bitsPerPixel);
// The trailer, then the close: 0, or 8 when either fails.
int GifFinishFile(GifOutFile* out);

}  // namespace imagelib
