// The JPEG writer's export.
#include "formats/jpeg/jpeg_writer.h"
#include "imagelib.h"

extern "C" int32_t ImageWriteJpegFile(const wchar_t* path, int32_t quality, const void* bits,
                                      const void* header, uint32_t paddedRows) {
    return imagelib::JpegWriteFile(path, quality, static_cast<const std::uint8_t*>(bits),
                                   static_cast<const BITMAPINFOHEADER*>(header), paddedRows);
}
