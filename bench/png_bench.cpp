// PNG: a 4000 x 3000 photograph-like RGB image at zlib level 6, loaded by the library
// (flags 0) and by libpng to 8-bit RGB rows.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "bench.h"

namespace {

const std::string& PhotoPng() {
    static const std::string path = bench::WorkFile("photo_rgb_level6.png");
    return path;
}

bool WritePhotoPng() {
    const std::vector<std::uint8_t> rgb =
        bench::MakePhotoRgb(bench::kPhotoWidth, bench::kPhotoHeight);
    std::FILE* f = std::fopen(PhotoPng().c_str(), "wb");
    if (f == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    volatile bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_compression_level(png, 6);
        png_set_IHDR(png, info, bench::kPhotoWidth, bench::kPhotoHeight, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < bench::kPhotoHeight; ++y)
            png_write_row(png, rgb.data() + static_cast<std::size_t>(y) * bench::kPhotoWidth * 3);
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return ok;
}

// The whole image as 8-bit RGB rows, read from the file like the library reads it.
void DecodeWithLibpng() {
    std::FILE* f = std::fopen(PhotoPng().c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        std::fprintf(stderr, "libpng failed\n");
        std::exit(1);
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_palette_to_rgb(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<std::uint8_t> rows(rowBytes * height);
    std::vector<png_bytep> pointers(height);
    for (png_uint_32 y = 0; y < height; ++y)
        pointers[y] = rows.data() + y * rowBytes;
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
}

const bench::Registrar kPhoto({"PNG", "RGB 4000x3000 zlib level 6", "libpng to RGB rows",
                               WritePhotoPng, [] { bench::LoadWithImagelib(PhotoPng()); },
                               DecodeWithLibpng});

}  // namespace
