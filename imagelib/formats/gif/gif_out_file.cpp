#include "formats/gif/gif_out_file.h"

#include "win32/wide_files.h"

namespace imagelib {

GifOutFile::GifOutFile(const wchar_t* path) : file_(_wfopen(path, L"wb")) {}

GifOutFile::~GifOutFile() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool GifOutFile::Write(const void* bytes, std::size_t n) {
    return std::fwrite(bytes, 1, n, file_) == n;
}

bool GifOutFile::WriteU16(std::uint32_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value),
                                   static_cast<std::uint8_t>(value >> 8)};
    return Write(bytes, sizeof(bytes));
}

bool GifOutFile::Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    return std::fclose(f) == 0;
}

}  // namespace imagelib
