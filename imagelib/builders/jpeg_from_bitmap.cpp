// CreateJPEGFromBitmap: a GDI bitmap written as a JPEG file.
#include <cstdint>

#include "builders/bitmap_rows24.h"
#include "builders/palette_dc.h"
#include "core/holders.h"
#include "core/result_codes.h"
#include "formats/jpeg/jpeg_writer.h"
#include "imagelib.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kWriterCalled = 0;
constexpr std::uint32_t kFailed = 1;
// The writer reads rows of the 24-bit DIB stride.
constexpr std::uint32_t kDibStrideRows = 0;

std::uint32_t JpegFromBitmap(HBITMAP bitmap, HPALETTE palette, const wchar_t* path,
                             std::int32_t quality) {
    Request24 request;
    TrackedBlock rows;
    if (bitmap == 0 || !BitmapRequest24(bitmap, &request) || !rows.Allocate(request.bytes()))
        return kFailed;
    {
        // The palette is selected only while the rows are read.
        PaletteScreenDc dc;
        if (!dc.Open(palette) || !ReadBitmapRows24(dc.get(), bitmap, request, rows.get()))
            return kFailed;
    }
    const int written = JpegWriteFile(path, quality, rows.get(), &request.header(), kDibStrideRows);
    return written == kOk ? kWriterCalled : kFailed;
}

}  // namespace
}  // namespace imagelib

extern "C" uint32_t CreateJPEGFromBitmap(uint32_t bitmap, uint32_t palette, const wchar_t* path,
                                         int32_t quality) {
    return imagelib::JpegFromBitmap(bitmap, palette, path, quality);
}
