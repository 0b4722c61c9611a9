// PNG: a 4000 x 3000 photograph-like RGB image at zlib level 6, loaded by the library
// (flags 0) and by libpng and libspng to 8-bit RGB rows; and, to show where the time goes,
// its zlib stream alone inflated by the library's inflater, by zlib and by libdeflate.
#include <libdeflate.h>
#include <png.h>
#include <spng.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench.h"
#include "formats/png/png_inflate.h"

namespace {

const std::string& PhotoPng() {
    static const std::string path = bench::WorkFile("photo_rgb_level6.png");
    return path;
}

bool WritePhotoPngOnce() {
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

// Every case reads the same file: it is written once per run.
bool WritePhotoPng() {
    static const bool written = WritePhotoPngOnce();
    return written;
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

// The whole image as 8-bit RGB rows by libspng, read from the file.
void DecodeWithLibspng() {
    std::FILE* f = std::fopen(PhotoPng().c_str(), "rb");
    spng_ctx* ctx = spng_ctx_new(0);
    std::size_t size = 0;
    std::vector<std::uint8_t> rows;
    int r = spng_set_png_file(ctx, f);
    if (r == 0)
        r = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    if (r == 0) {
        rows.resize(size);
        r = spng_decode_image(ctx, rows.data(), size, SPNG_FMT_RGB8, 0);
    }
    spng_ctx_free(ctx);
    std::fclose(f);
    if (r != 0) {
        std::fprintf(stderr, "libspng failed: %s\n", spng_strerror(r));
        std::exit(1);
    }
}

// The file's zlib stream (its IDAT chunks joined) and the size of the inflated data.
struct IdatStream {
    std::vector<std::uint8_t> zlib;
    std::size_t inflatedSize = 0;
};

std::uint32_t U32BE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

IdatStream& Idat() {
    static IdatStream idat;
    return idat;
}

bool PrepareIdat() {
    if (!WritePhotoPng())
        return false;
    const std::vector<std::uint8_t> file = bench::ReadFileBytes(PhotoPng());
    IdatStream& idat = Idat();
    idat.zlib.clear();
    for (std::size_t pos = 8; pos + 12 <= file.size();) {
        const std::size_t length = U32BE(&file[pos]);
        if (length > file.size() - pos - 12)
            return false;
        if (std::memcmp(&file[pos + 4], "IDAT", 4) == 0)
            idat.zlib.insert(idat.zlib.end(), file.begin() + pos + 8,
                             file.begin() + pos + 8 + length);
        pos += length + 12;
    }
    idat.inflatedSize = (std::size_t{bench::kPhotoWidth} * 3 + 1) * bench::kPhotoHeight;
    return !idat.zlib.empty();
}

// Each inflater writes the whole inflated data into one buffer, as uncompress does.
std::vector<std::uint8_t>& InflatedBuffer() {
    static std::vector<std::uint8_t> buffer;
    buffer.resize(Idat().inflatedSize);
    return buffer;
}

void Fail(const char* what) {
    std::fprintf(stderr, "%s failed on the IDAT stream\n", what);
    std::exit(1);
}

struct BufferSink {
    std::uint8_t* next;
    std::uint8_t* end;
};

void PutToBuffer(void* target, const std::uint8_t* bytes, std::size_t n) {
    auto* b = static_cast<BufferSink*>(target);
    if (n > static_cast<std::size_t>(b->end - b->next))
        Fail("the library's inflater");
    std::memcpy(b->next, bytes, n);
    b->next += n;
}

void InflateWithImagelib() {
    std::vector<std::uint8_t>& out = InflatedBuffer();
    BufferSink buffer{out.data(), out.data() + out.size()};
    const imagelib::PngInflateSink sink{&buffer, PutToBuffer};
    if (imagelib::PngInflate(Idat().zlib.data(), Idat().zlib.size(), sink, nullptr) !=
            imagelib::PngInflateResult::kOk ||
        buffer.next != buffer.end)
        Fail("the library's inflater");
}

void InflateWithZlib() {
    std::vector<std::uint8_t>& out = InflatedBuffer();
    uLongf length = out.size();
    if (uncompress(out.data(), &length, Idat().zlib.data(), Idat().zlib.size()) != Z_OK ||
        length != out.size())
        Fail("zlib");
}

void InflateWithLibdeflate() {
    std::vector<std::uint8_t>& out = InflatedBuffer();
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t length = 0;
    const libdeflate_result r = libdeflate_zlib_decompress(
        d, Idat().zlib.data(), Idat().zlib.size(), out.data(), out.size(), &length);
    libdeflate_free_decompressor(d);
    if (r != LIBDEFLATE_SUCCESS || length != out.size())
        Fail("libdeflate");
}

const bench::Registrar kPhoto({"PNG", "RGB 4000x3000 zlib level 6", "libpng to RGB rows",
                               WritePhotoPng, [] { bench::LoadWithImagelib(PhotoPng()); },
                               DecodeWithLibpng});
const bench::Registrar kPhotoSpng({"PNG", "RGB 4000x3000 zlib level 6", "libspng to RGB rows",
                                   WritePhotoPng, [] { bench::LoadWithImagelib(PhotoPng()); },
                                   DecodeWithLibspng});
const bench::Registrar kInflateZlib({"PNG", "its IDAT stream, inflate only", "zlib uncompress",
                                     PrepareIdat, InflateWithImagelib, InflateWithZlib});
const bench::Registrar kInflateLibdeflate({"PNG", "its IDAT stream, inflate only",
                                           "libdeflate zlib_decompress", PrepareIdat,
                                           InflateWithImagelib, InflateWithLibdeflate});

}  // namespace
