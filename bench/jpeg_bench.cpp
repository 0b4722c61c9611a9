// JPEG: a quality-90 photograph of 4000 x 3000 pixels made by cjpeg, baseline, progressive
// and greyscale, loaded by the library (24-bit rows on the default true-colour screen, 8-bit
// grey rows for greyscale) against libjpeg-turbo alone reading the same file and decoding it
// to rows with jpeg_read_scanlines.
#include <algorithm>
#include <memory>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "bench.h"

namespace bench {
namespace {

const std::string& PhotoPath() {
    static const std::string path = WorkFile("photo_q90.jpg");
    return path;
}

const std::string& ProgressivePath() {
    static const std::string path = WorkFile("photo_q90_progressive.jpg");
    return path;
}

const std::string& GreyscalePath() {
    static const std::string path = WorkFile("photo_q90_grey.jpg");
    return path;
}

// All files from one picture.
bool MakePhotos() {
    const std::string ppm = WorkFile("photo.ppm");
    return WritePpm(ppm, MakePhotoRgb(kPhotoWidth, kPhotoHeight), kPhotoWidth, kPhotoHeight) &&
           Run("cjpeg -quality 90 -outfile '" + PhotoPath() + "' '" + ppm + "'") &&
           Run("cjpeg -quality 90 -progressive -outfile '" + ProgressivePath() + "' '" + ppm +
               "'") &&
           Run("cjpeg -quality 90 -grayscale -outfile '" + GreyscalePath() + "' '" + ppm + "'");
}

// The file read whole and decoded into one block of RGB rows, as a caller of libjpeg would.
void DecodeWithLibjpeg(const std::string& path) {
    const std::vector<std::uint8_t> data = ReadFileBytes(path);
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    // Rows not cleared first, and as many per call as libjpeg can deliver at once.
    const std::size_t stride = std::size_t(d.output_width) * d.output_components;
    std::unique_ptr<JSAMPLE[]> rows(new JSAMPLE[stride * d.output_height]);
    JSAMPROW pointers[16];
    while (d.output_scanline < d.output_height) {
        for (std::size_t i = 0; i < 16; ++i)
            pointers[i] = rows.get() + stride * std::min<std::size_t>(d.output_scanline + i,
                                                                      d.output_height - 1);
        jpeg_read_scanlines(&d, pointers, 16);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    volatile JSAMPLE keep = rows[stride * (d.output_height / 2)];
    (void)keep;
}

const Registrar kPhoto(BenchCase{"JPEG", "q90 photo 4000x3000", "libjpeg-turbo scanlines",
                                 MakePhotos, [] { LoadWithImagelib(PhotoPath()); },
                                 [] { DecodeWithLibjpeg(PhotoPath()); }});
const Registrar kProgressive(BenchCase{
    "JPEG", "q90 progressive photo 4000x3000", "libjpeg-turbo scanlines", MakePhotos,
    [] { LoadWithImagelib(ProgressivePath()); }, [] { DecodeWithLibjpeg(ProgressivePath()); }});
const Registrar kGreyscale(BenchCase{
    "JPEG", "q90 greyscale photo 4000x3000", "libjpeg-turbo scanlines", MakePhotos,
    [] { LoadWithImagelib(GreyscalePath()); }, [] { DecodeWithLibjpeg(GreyscalePath()); }});

}  // namespace
}  // namespace bench
