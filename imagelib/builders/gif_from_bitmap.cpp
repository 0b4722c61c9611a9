// CreateGIFFromBitmap: one GDI bitmap as a one-frame GIF, the button builder's first frame.
#include <cstdint>

#include "imagelib.h"

extern "C" uint32_t CreateGIFFromBitmap(uint32_t bitmap, uint32_t palette, const wchar_t* path,
                                        const uint8_t* transparentColour, const void* colours) {
    return CreateGIFButtonFromBitmaps(bitmap, 0, 0, palette, path, transparentColour, colours);
}
