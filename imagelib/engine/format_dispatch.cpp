// The engine reaches a format's driver only through these dispatchers, by its row of the
// format table.
#include "core/result_codes.h"
#include "engine/format_driver.h"

namespace imagelib {

int ImageDriverReadHeader(const wchar_t* path, ImageMemStream* s, std::uint32_t format,
                          ImageInfo* info, std::uint32_t flags) {
    const ImageFormatDriver* row = ImageDriverRow(format);
    if (row == nullptr || row->readHeader == nullptr)
        return kNotSupported;
    return row->readHeader(path, s, info, flags);
}

int ImageDriverReadPalette(ImageMemStream* s, std::uint32_t format, ImageInfo* info,
                           PaletteEntry3* palette) {
    const ImageFormatDriver* row = ImageDriverRow(format);
    if (row == nullptr || row->readPalette == nullptr)
        return kNotSupported;
    return row->readPalette(s, info, palette);
}

int ImageDriverDecodeStep(SerialImageContext* ctx, int abort) {
    const ImageFormatDriver* row = ImageDriverRow(ctx->formatIndex);
    if (row == nullptr || row->decodeStep == nullptr)
        return kNotSupported;
    return row->decodeStep(ctx, abort);
}

}  // namespace imagelib
