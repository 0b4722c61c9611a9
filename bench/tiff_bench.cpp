// TIFF cases: a photograph-like 4000 x 3000 RGB image in LZW and in PackBits strips of
// libtiff's default rows per strip, and 15,000 one-pixel grey strips that all name one
// stream (libtiff's 36 KB of LZW for 12 rows of the photo, or 35 KB of no-op PackBits
// headers before its PackBits for one row), loaded by the library and by libtiff's
// scanline reader.
#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench.h"
#include "formats/tiff/hand_tiff.h"

namespace {

// Writes the photo's first rows, as RGB in libtiff's own default rows per strip, or as the
// grey of their green samples in one strip; false on any failure.
bool WritePhoto(const std::string& path, std::uint16_t compression, int rows, bool grey) {
    const std::vector<std::uint8_t> rgb =
        bench::MakePhotoRgb(bench::kPhotoWidth, bench::kPhotoHeight);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        return false;
    const int samples = grey ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(bench::kPhotoWidth));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(rows));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 grey ? std::uint32_t(rows) : TIFFDefaultStripSize(tif, 0));
    std::vector<std::uint8_t> row(std::size_t(bench::kPhotoWidth) * samples);
    bool ok = true;
    for (int y = 0; y < rows && ok; ++y) {
        const std::uint8_t* src = &rgb[std::size_t(y) * bench::kPhotoWidth * 3];
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = grey ? src[i * 3 + 1] : src[i];
        ok = TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

// The strip libtiff writes for the grey of the photo's first rows; empty on failure.
std::vector<std::uint8_t> LibtiffStream(std::uint16_t compression, int rows) {
    const std::string path = bench::WorkFile("stream.tif");
    TIFF* tif = WritePhoto(path, compression, rows, true) ? TIFFOpen(path.c_str(), "r") : nullptr;
    if (tif == nullptr)
        return {};
    std::vector<std::uint8_t> stream(static_cast<std::size_t>(TIFFRawStripSize(tif, 0)));
    if (TIFFReadRawStrip(tif, 0, stream.data(), tmsize_t(stream.size())) < 0)
        stream.clear();
    TIFFClose(tif);
    return stream;
}

bool WriteSharedStrips(const std::string& path, std::uint16_t compression, int rows, bool noOps) {
    std::vector<std::uint8_t> stream = LibtiffStream(compression, rows);
    if (stream.empty())
        return false;
    if (noOps)
        stream.insert(stream.begin(), 35000, 0x80);
    constexpr std::uint32_t kStrips = 15000;
    std::vector<handtiff::HandEntry> tags = handtiff::ImageTags(1, kStrips, 1, 1, compression);
    tags.push_back({278, 3, 1, 1});
    return bench::WriteFileBytes(path, handtiff::SharedStripsTiff(tags, stream, kStrips));
}

void ReadWithLibtiff(const std::string& path) {
    // A run that goes on past a one-pixel strip's row is a warning to libtiff, once per strip.
    TIFFSetWarningHandler(nullptr);
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

bench::BenchCase Case(const std::string& name, const std::string& file,
                      std::function<bool(const std::string&)> write) {
    const std::string path = bench::WorkFile(file);
    return bench::BenchCase{"TIFF",
                            name,
                            "libtiff TIFFReadScanline",
                            [path, write] { return write(path); },
                            [path] { bench::LoadWithImagelib(path); },
                            [path] { ReadWithLibtiff(path); }};
}

const bench::Registrar kLzw(Case("RGB LZW 4000x3000", "photo_lzw.tif", [](const std::string& p) {
    return WritePhoto(p, COMPRESSION_LZW, bench::kPhotoHeight, false);
}));
const bench::Registrar kPackBits(Case("RGB PackBits 4000x3000", "photo_packbits.tif",
                                      [](const std::string& p) {
                                          return WritePhoto(p, COMPRESSION_PACKBITS,
                                                            bench::kPhotoHeight, false);
                                      }));
const bench::Registrar kSharedLzw(Case("15000 grey strips on 36 KB of LZW", "shared_lzw.tif",
                                       [](const std::string& p) {
                                           return WriteSharedStrips(p, COMPRESSION_LZW, 12, false);
                                       }));
const bench::Registrar kSharedNoOps(Case("15000 grey strips on 35 KB no-ops", "shared_noops.tif",
                                         [](const std::string& p) {
                                             return WriteSharedStrips(p, COMPRESSION_PACKBITS, 1,
                                                                      true);
                                         }));

}  // namespace
