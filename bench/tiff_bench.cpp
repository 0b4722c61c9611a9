// TIFF cases: a photograph-like 4000 x 3000 RGB image in LZW and in PackBits strips of
// libtiff's default rows per strip, loaded by the library and by libtiff's scanline reader.
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench.h"

namespace {

// Writes the photo with libtiff's own defaults for the strips; false on any failure.
bool WriteTiff(const std::string& path, std::uint16_t compression) {
    const std::vector<std::uint8_t> rgb =
        bench::MakePhotoRgb(bench::kPhotoWidth, bench::kPhotoHeight);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(bench::kPhotoWidth));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(bench::kPhotoHeight));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    bool ok = true;
    const std::size_t rowBytes = std::size_t(bench::kPhotoWidth) * 3;
    for (int y = 0; y < bench::kPhotoHeight && ok; ++y) {
        ok = TIFFWriteScanline(tif, const_cast<std::uint8_t*>(&rgb[y * rowBytes]), std::uint32_t(y),
                               0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

void ReadWithLibtiff(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr)
        std::abort();
    std::uint32_t height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1)
            std::abort();
    }
    TIFFClose(tif);
}

bench::BenchCase Case(const std::string& name, const std::string& file, std::uint16_t compression) {
    const std::string path = bench::WorkFile(file);
    return bench::BenchCase{"TIFF",
                            name,
                            "libtiff TIFFReadScanline",
                            [path, compression] { return WriteTiff(path, compression); },
                            [path] { bench::LoadWithImagelib(path); },
                            [path] { ReadWithLibtiff(path); }};
}

const bench::Registrar kLzw(Case("RGB LZW 4000x3000", "photo_lzw.tif", COMPRESSION_LZW));
const bench::Registrar kPackBits(Case("RGB PackBits 4000x3000", "photo_packbits.tif",
                                      COMPRESSION_PACKBITS));

}  // namespace
