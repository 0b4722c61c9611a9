// ConvertBitmapBits: a caller's DIB as a loaded image, a PackedDib and its DisplayPalette.
#include <cstdint>

#include "builders/dib_load.h"
#include "imagelib.h"

using imagelib::DibLoad;

extern "C" uint32_t ConvertBitmapBits(uint32_t, const void* header, const void* rows,
                                      uint32_t* flags, uint32_t* dib, uint32_t* palette) {
    if (header == nullptr || rows == nullptr || dib == nullptr || palette == nullptr)
        return 0;
    DibLoad load;
    if (!load.Run(header, rows, flags))
        return 0;
    // A load that did not finish leaves the caller nothing to free and nothing to use.
    if (!load.Finished()) {
        *dib = 0;
        *palette = 0;
        return 0;
    }
    load.HandOver(dib, palette);
    return 1;
}
