// What a format driver is, the dispatchers through which the engine reaches one, and format
// detection.
#pragma once

#include <cstdint>

#include "core/mem_stream.h"
#include "engine/serial_context.h"

namespace imagelib {

struct ImageFormatInfo {
    const wchar_t* extensions;  // upper case, separated by blanks
    std::uint16_t magic1;       // first two bytes of the data as a little-endian u16
    std::uint16_t magic2;       // 0: none (an empty slot matches nothing)
};

struct ImageFormatDriver {
    int (*describe)(ImageFormatInfo* info);
    int (*readHeader)(const wchar_t* path, ImageMemStream* s, ImageInfo* info, std::uint32_t flags);
    int (*readPalette)(ImageMemStream* s, ImageInfo* info, PaletteEntry3* palette);
    int (*decodeStep)(SerialImageContext* ctx, int abort);
    // The bits of the flags word the begin step clears once the header and palette are
    // read: requests the format cannot honour, or (JPEG) the whole word, already used.
    std::uint32_t clearedFlags;
    // Bytes of the driver's state in a load (see DriverState).
    std::uint32_t stateSize;
};

constexpr std::uint32_t kFormatBmp = 0;
constexpr std::uint32_t kFormatJpeg = 1;
constexpr std::uint32_t kFormatGif = 2;
constexpr std::uint32_t kFormatTiff = 3;
constexpr std::uint32_t kFormatPng = 4;
constexpr std::uint32_t kFormatCount = 5;

int ImageDriverReadHeader(const wchar_t* path, ImageMemStream* s, std::uint32_t format,
                          ImageInfo* info, std::uint32_t flags);
int ImageDriverReadPalette(ImageMemStream* s, std::uint32_t format, ImageInfo* info,
                           PaletteEntry3* palette);
int ImageDriverDecodeStep(SerialImageContext* ctx, int abort);

// The row of a format index, or null for an index past the table. The table lies above the
// drivers and the engine: the engine declares this, the table defines it.
const ImageFormatDriver* ImageDriverRow(std::uint32_t format);

// 0 and the format's index, or 3 when no format matches.
int ImageDetectFormat(const wchar_t* path, std::uint32_t* format, const ImageMemStream* s);

}  // namespace imagelib
