// ConvertBitmapImage: a caller's DIB as a loaded image, made into a device-dependent
// bitmap for the caller's device context.
#include <cstdint>

#include "builders/dib_load.h"
#include "imagelib.h"

using imagelib::DibLoad;

extern "C" uint32_t ConvertBitmapImage(uint32_t dc, const void* header, const void* rows,
                                       uint32_t* flags) {
    if (header == nullptr || rows == nullptr)
        return 0;
    DibLoad load;
    if (!load.Run(header, rows, flags))
        return 0;
    const std::uint8_t* dib = load.LockDib();
    if (dib == nullptr)
        return 0;
    return imagelib::BitmapFromPackedDib(dc, dib);
}
