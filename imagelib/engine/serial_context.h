// The state of one stepwise load. Callers hold it as two 32-bit words carrying the upper
// and lower 16 bits of the context's key (see tracked_memory.h).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "colour/colour_reduce.h"
#include "core/checked_size.h"
#include "core/mem_stream.h"
#include "core/packed_dib.h"
#include "win32/types.h"

namespace imagelib {

// The part of the context that readHeader and readPalette fill.
struct ImageInfo {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bitsPerPixel;  // depth of the result rows: 1, 4, 8, 24 or 32
    std::int32_t displayClass;  // 4, 8 or 16, set before readHeader
    std::int32_t percent;       // 0 to 100
    // The driver's private decoding state: a zero-filled tracked block of the size its row
    // of the format table gives, made once the format is known.
    void* driverState;
    std::uint32_t driverStateSize;
};

template <class T>
T& DriverState(ImageInfo* info) {
    assert(info->driverState != nullptr && sizeof(T) <= info->driverStateSize);
    return *static_cast<T*>(info->driverState);
}

constexpr std::uint32_t kStateDecode = 0x100;
constexpr std::uint32_t kStateFinalise = 0x200;
constexpr std::uint32_t kStateReduce = 0x400;
constexpr std::uint32_t kStatePalette = 0x800;
constexpr std::uint32_t kStateHandedOver = 0x1000;
constexpr std::uint32_t kStateIdle = 0x2000;  // created, or failed: the clean-up frees all

struct SerialImageContext {
    std::uint32_t state;
    std::uint32_t flags;
    const wchar_t* path;  // the caller's path, or null
    std::uint32_t formatIndex;
    ImageInfo info;
    // Logical screen, set by the GIF reader, read by the finalise step.
    std::int32_t placed;
    std::int32_t screenWidth;
    std::int32_t screenHeight;
    std::int32_t frameLeft;
    std::int32_t frameTop;
    std::uint8_t backgroundIndex;
    // The image-and-mask layout's keys, as the decoder chose them: what a transparent pixel
    // shows in the image half (black) and in the mask half (white, or to be whitened).
    std::uint8_t imageKey;
    std::uint8_t maskKey;
    PaletteEntry3 palette[256];
    ImageMemStream* stream;  // owned
    HGLOBAL dibHandle;
    HGLOBAL paletteHandle;
    std::uint8_t* dib;              // dibHandle, locked
    std::uint8_t* logPalette;       // paletteHandle, locked
    std::uint8_t* bits;             // result rows: dib + kPackedDibRowsOffset, or a builder's block
    std::uint8_t* work;             // rows the reduce step reads; bits until 24-bit work rows exist
    std::int32_t workSize;          // bytes of 24-bit (or 32-bit) rows the DIB has room for
    std::int32_t steps;             // calls made in the current state
    ColourReducer reducer;          // the reduce step's
    std::int32_t rowsPerStep;       // 8192 for a one-shot load, else 10
    std::int32_t transparentIndex;  // -1 or the palette index found transparent
};

// The context that holds an ImageInfo (drivers get only the ImageInfo in readHeader).
inline SerialImageContext* ContextOf(ImageInfo* info) {
    return reinterpret_cast<SerialImageContext*>(reinterpret_cast<std::uint8_t*>(info) -
                                                 offsetof(SerialImageContext, info));
}

}  // namespace imagelib
