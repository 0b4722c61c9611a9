// TIFF cases: a photograph-like 4000 x 3000 RGB image in LZW and in PackBits strips of
// libtiff's default rows per strip, and 15,000 one-pixel grey strips that all name one
// 35 KB stream (LZW, or PackBits behind 35 KB of no-op headers), loaded by the library and
// by libtiff's scanline reader.
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
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

// The bytes of the first strip libtiff writes for grey rows of the photo, enough rows
// for size bytes of compressed data; empty on failure.
std::vector<std::uint8_t> LibtiffStream(std::uint16_t compression, std::size_t size) {
    const std::string path = bench::WorkFile("stream.tif");
    const std::vector<std::uint8_t> rgb =
        bench::MakePhotoRgb(bench::kPhotoWidth, bench::kPhotoHeight);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(bench::kPhotoWidth));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(bench::kPhotoHeight));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(bench::kPhotoHeight));
    std::vector<std::uint8_t> row(bench::kPhotoWidth);
    bool ok = true;
    for (int y = 0; y < bench::kPhotoHeight && ok; ++y) {
        for (int x = 0; x < bench::kPhotoWidth; ++x)
            row[x] = rgb[(std::size_t(y) * bench::kPhotoWidth + x) * 3 + 1];
        ok = TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    std::vector<std::uint8_t> stream;
    tif = ok ? TIFFOpen(path.c_str(), "r") : nullptr;
    if (tif == nullptr)
        return {};
    stream.resize(static_cast<std::size_t>(TIFFRawStripSize(tif, 0)));
    if (TIFFReadRawStrip(tif, 0, stream.data(), tmsize_t(stream.size())) < 0)
        stream.clear();
    TIFFClose(tif);
    if (stream.size() > size)
        stream.resize(size);
    return stream;
}

// A little-endian file of one-pixel grey strips, one per row, whose offsets and byte counts
// all name stream.
std::vector<std::uint8_t> SharedStripsFile(std::uint16_t compression,
                                           const std::vector<std::uint8_t>& stream,
                                           std::uint32_t rows) {
    std::vector<std::uint8_t> out(8 + stream.size(), 0);
    out[0] = out[1] = 'I';
    out[2] = 42;
    std::copy(stream.begin(), stream.end(), out.begin() + 8);
    const auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    out.resize((out.size() + 3) / 4 * 4);
    const auto array = [&](std::uint32_t v) {
        const auto at = static_cast<std::uint32_t>(out.size());
        for (std::uint32_t i = 0; i < rows; ++i)
            put(v, 4);
        return at;
    };
    const std::uint32_t offsets = array(8);
    const std::uint32_t counts = array(static_cast<std::uint32_t>(stream.size()));
    const std::uint32_t ifd = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<std::uint8_t>(ifd >> (8 * i));
    const std::uint32_t entries[][4] = {
        {256, 3, 1, 1},           {257, 4, 1, rows}, {258, 3, 1, 8},
        {259, 3, 1, compression}, {262, 3, 1, 1},    {273, 4, rows, offsets},
        {277, 3, 1, 1},           {278, 3, 1, 1},    {279, 4, rows, counts}};
    put(std::uint32_t(std::size(entries)), 2);
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
        put(e[3], 4);
    }
    put(0, 4);
    return out;
}

bool WriteSharedStrips(const std::string& path, std::uint16_t compression, bool noOps) {
    constexpr std::size_t kStreamBytes = 35000;
    std::vector<std::uint8_t> stream = LibtiffStream(compression, kStreamBytes);
    if (stream.empty())
        return false;
    if (noOps)
        stream.insert(stream.begin(), kStreamBytes, 0x80);
    return bench::WriteFileBytes(path, SharedStripsFile(compression, stream, 15000));
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
    return WriteTiff(p, COMPRESSION_LZW);
}));
const bench::Registrar kPackBits(Case("RGB PackBits 4000x3000", "photo_packbits.tif",
                                      [](const std::string& p) {
                                          return WriteTiff(p, COMPRESSION_PACKBITS);
                                      }));
const bench::Registrar kSharedLzw(Case("grey 15000 strips on 35 KB LZW", "shared_lzw.tif",
                                       [](const std::string& p) {
                                           return WriteSharedStrips(p, COMPRESSION_LZW, false);
                                       }));
const bench::Registrar kSharedNoOps(Case("grey 15000 strips, 35 KB no-ops", "shared_noops.tif",
                                         [](const std::string& p) {
                                             return WriteSharedStrips(p, COMPRESSION_PACKBITS,
                                                                      true);
                                         }));

}  // namespace
