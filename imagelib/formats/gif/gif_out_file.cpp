#include "formats/gif/gif_out_file.h"

#include "win32/wide_files.h"

namespace imagelib {

GifOutFile::GifOutFile(const wchar_t* path) : file_(_wfopen(path, L"wb")) {}

bool GifOutFile::Write(const void* bytes, std::size_t n) {
    return std::fwrite(bytes, 1, n, file_.get()) == n;
}

bool GifOutFile::WriteU16(std::uint32_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value),
                                   static_cast<std::uint8_t>(value >> 8)};
    return Write(bytes, sizeof(bytes));
}

}  // namespace imagelib
