// ImageConvertWebImage: an image file loaded and written again as a web image, GIF for
// 8 bits or less, JPEG above; the caller's name receives the extension.
#include <cwchar>

#include "core/holders.h"
#include "core/result_codes.h"
#include "engine/serial_context.h"
#include "formats/gif/gif_writer.h"
#include "formats/jpeg/jpeg_writer.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

// The working name's buffer in wide characters, its terminating null included.
constexpr std::size_t kNameChars = 256;
constexpr std::size_t kExtensionChars = 4;

// Extends name and, when write is non-zero, writes the loaded image under it. The writer's
// result, or 69 when nothing was to be written. A name that cannot take the extension in
// the working buffer is refused with 1 and left as it was.
int WriteLoaded(HGLOBAL dibHandle, wchar_t* name, std::int32_t write, std::int32_t quality) {
    const LockedGlobal dib(dibHandle);
    if (dib.get() == nullptr)
        return kOutOfMemory;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.get());
    const std::uint8_t* rows = dib.get() + kPackedDibRowsOffset;
    const bool gif = header->biBitCount <= 8;
    const std::size_t length = wcsnlen(name, kNameChars);
    if (length + kExtensionChars >= kNameChars)
        return kOutOfMemory;
    wchar_t working[kNameChars];
    std::wmemcpy(working, name, length);
    std::wmemcpy(working + length, gif ? L".gif" : L".jpg", kExtensionChars + 1);
    int r = kStepDone;
    if (write != 0) {
        if (gif)
            r = GifWriteFile(working, 1, &rows, reinterpret_cast<const BITMAPINFO*>(header), -1);
        else if (header->biBitCount == 24)
            r = JpegWriteFile(working, quality, rows, header, 0);
        else
            r = kNotSupported;  // rows the JPEG writer cannot read
    }
    std::wmemcpy(name, working, length + kExtensionChars + 1);
    return r;
}

}  // namespace
}  // namespace imagelib

extern "C" int32_t ImageConvertWebImage(const wchar_t* source, wchar_t* name, int32_t write,
                                        int32_t quality) {
    using namespace imagelib;
    if (source == nullptr || name == nullptr)
        return 0;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t flags = 0;
    int r = ImageLoadFile(source, nullptr, 0, &a, &b, &flags);
    if (r == kStepDone)
        r = WriteLoaded(a, name, write, quality);
    ImageLoadCleanup(&a, &b);
    return r == kOk ? 1 : 0;
}
