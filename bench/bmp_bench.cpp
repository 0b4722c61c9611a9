// BMP cases: 24-bit, RLE8 and RLE4 files of the photograph-like picture, written here,
// against reading the file and one copy of the decoded rows' bytes into new memory (there
// is no reference library for BMP: that is the least any decoder has to do).
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"

namespace {

constexpr int kWidth = bench::kPhotoWidth;
constexpr int kHeight = bench::kPhotoHeight;

// Pages new from the system, as a load's result block is: the library sizes it for 24-bit
// work rows, beyond the sizes the C allocator recycles, so every load writes its rows to
// pages that are not mapped yet. A vector of the rows' bytes alone would be recycled memory
// after the first round (already mapped and cached), and the ratio would then weigh page
// faults against none instead of comparing decoders.
class NewPages {
  public:
    explicit NewPages(std::size_t n)
        : n_(n), p_(mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {
        if (p_ == MAP_FAILED)
            std::abort();
    }
    ~NewPages() { munmap(p_, n_); }
    NewPages(const NewPages&) = delete;
    NewPages& operator=(const NewPages&) = delete;
    std::uint8_t* data() const { return static_cast<std::uint8_t*>(p_); }

  private:
    std::size_t n_;
    void* p_;
};

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// File header, 40-byte information header and palette of a bottom-up BMP.
std::vector<std::uint8_t> Headers(int width, int height, int bits, std::uint32_t compression,
                                  const std::vector<std::uint8_t>& quads) {
    std::vector<std::uint8_t> out = {'B', 'M'};
    PutU32(out, 0);  // file size, patched by the caller
    PutU32(out, 0);
    PutU32(out, std::uint32_t(14 + 40 + quads.size()));
    PutU32(out, 40);
    PutU32(out, std::uint32_t(width));
    PutU32(out, std::uint32_t(height));
    PutU16(out, 1);
    PutU16(out, std::uint16_t(bits));
    PutU32(out, compression);
    for (int i = 0; i < 5; ++i)
        PutU32(out, 0);
    out.insert(out.end(), quads.begin(), quads.end());
    return out;
}

void Finish(std::vector<std::uint8_t>& file) {
    const auto size = std::uint32_t(file.size());
    std::memcpy(&file[2], &size, 4);
}

// The picture's pixel (x, stored row y) as RGB.
const std::uint8_t* Pixel(const std::vector<std::uint8_t>& rgb, int x, int storedRow,
                          int width = kWidth, int height = kHeight) {
    return &rgb[(std::size_t(height - 1 - storedRow) * width + x) * 3];
}

std::vector<std::uint8_t> Bmp24Sized(int width, int height) {
    const std::vector<std::uint8_t> rgb = bench::MakePhotoRgb(width, height);
    std::vector<std::uint8_t> file = Headers(width, height, 24, 0, {});
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t{3};
    file.reserve(file.size() + stride * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = Pixel(rgb, x, y, width, height);
            file.insert(file.end(), {p[2], p[1], p[0]});
        }
        file.resize(file.size() + stride - std::size_t(width) * 3);
    }
    Finish(file);
    return file;
}

// Indices of a 6 x 7 x 6 colour cube (252 colours) or of 4 x 2 x 2 levels (16 colours).
std::vector<std::uint8_t> Quantise(const std::vector<std::uint8_t>& rgb, bool sixteen,
                                   std::vector<std::uint8_t>* quads) {
    const int levels[3] = {sixteen ? 4 : 6, sixteen ? 2 : 7, sixteen ? 2 : 6};
    for (int r = 0; r < levels[0]; ++r)
        for (int g = 0; g < levels[1]; ++g)
            for (int b = 0; b < levels[2]; ++b)
                quads->insert(quads->end(), {std::uint8_t(b * 255 / (levels[2] - 1)),
                                             std::uint8_t(g * 255 / (levels[1] - 1)),
                                             std::uint8_t(r * 255 / (levels[0] - 1)), 0});
    std::vector<std::uint8_t> index(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* p = Pixel(rgb, x, y);
            int i = 0;
            for (int c = 0; c < 3; ++c)
                i = i * levels[c] + (p[c] * levels[c]) / 256;
            index[std::size_t(y) * kWidth + x] = std::uint8_t(i);
        }
    }
    return index;
}

// RLE8 or RLE4 rows of the indices: equal neighbours (pairs of equal pixels for RLE4) as
// runs, the rest as absolute runs, an end of line after each row.
std::vector<std::uint8_t> RleBmp(const std::vector<std::uint8_t>& rgb, bool rle4) {
    std::vector<std::uint8_t> quads;
    const std::vector<std::uint8_t> index = Quantise(rgb, rle4, &quads);
    std::vector<std::uint8_t> file = Headers(kWidth, kHeight, rle4 ? 4 : 8, rle4 ? 2 : 1, quads);
    const int unit = rle4 ? 2 : 1;  // pixels per step of the encoder
    for (int y = 0; y < kHeight; ++y) {
        const std::uint8_t* row = &index[std::size_t(y) * kWidth];
        auto value = [&](int x) {  // the byte that holds pixels x (and x + 1 for RLE4)
            return rle4 ? std::uint8_t(row[x] << 4 | (x + 1 < kWidth ? row[x + 1] : 0)) : row[x];
        };
        auto runAt = [&](int x) {  // pixels of a run of equal units from x
            int n = unit;
            while (x + n + unit <= kWidth && n + unit <= 254 && value(x + n) == value(x))
                n += unit;
            return n;
        };
        int x = 0;
        while (x < kWidth) {
            int run = runAt(x);
            if (run >= 3 * unit || x + unit >= kWidth) {
                run = std::min(run, kWidth - x);
                file.insert(file.end(), {std::uint8_t(run), value(x)});
                x += run;
                continue;
            }
            int n = 0;  // an absolute run up to the next run of three units
            while (x + n < kWidth && n + unit <= 254 && runAt(x + n) < 3 * unit)
                n += unit;
            n = std::min(n, kWidth - x);
            if (n < 3) {
                file.insert(file.end(), {std::uint8_t(n), value(x)});
                x += n;
                continue;
            }
            file.insert(file.end(), {0, std::uint8_t(n)});
            const int bytes = rle4 ? (n + 1) / 2 : n;
            for (int i = 0; i < bytes; ++i)
                file.push_back(value(x + i * unit));
            if (bytes % 2 == 1)
                file.push_back(0);
            x += n;
        }
        file.insert(file.end(), {0, 0});
    }
    file.insert(file.end(), {0, 1});
    Finish(file);
    return file;
}

// make gives the file's bytes; rowBytes is what its decoded rows hold.
bench::BenchCase Case(const std::string& name, const std::string& file, std::size_t rowBytes,
                      std::function<std::vector<std::uint8_t>()> make) {
    const std::string path = bench::WorkFile(file);
    // The reference reads the file and copies as many bytes as the decoded rows hold into
    // new zero pages, as a decoder writes its rows into the load's new zero-filled block.
    auto source = std::make_shared<std::vector<std::uint8_t>>(rowBytes, 1);
    return bench::BenchCase{"BMP",
                            name,
                            "read + memcpy",
                            [path, make] {
                                if (!bench::ReadFileBytes(path).empty())
                                    return true;
                                return bench::WriteFileBytes(path, make());
                            },
                            [path] { bench::LoadWithImagelib(path); },
                            [path, source] {
                                const std::vector<std::uint8_t> bytes = bench::ReadFileBytes(path);
                                const NewPages decoded(source->size());
                                std::memcpy(decoded.data(), source->data(), source->size());
                                // Something reads both, so that neither can be left out.
                                if (decoded.data()[bytes.size() % source->size()] + bytes[0] == 0)
                                    std::abort();
                            }};
}

std::size_t RowBytes(int width, int height, int bits) {
    return std::size_t((std::int64_t{width} * bits + 31) / 32 * 4) * height;
}

std::function<std::vector<std::uint8_t>()> FromPhoto(
    std::vector<std::uint8_t> (*make)(const std::vector<std::uint8_t>&)) {
    return [make] { return make(bench::MakePhotoRgb(kWidth, kHeight)); };
}

const bench::Registrar kBmp24(Case("24-bit 4000x3000", "photo24.bmp", RowBytes(kWidth, kHeight, 24),
                                   [] { return Bmp24Sized(kWidth, kHeight); }));
const bench::Registrar kRle8(Case("RLE8 4000x3000", "photo_rle8.bmp", RowBytes(kWidth, kHeight, 8),
                                  FromPhoto([](const std::vector<std::uint8_t>& rgb) {
                                      return RleBmp(rgb, false);
                                  })));
const bench::Registrar kRle4(Case("RLE4 4000x3000", "photo_rle4.bmp", RowBytes(kWidth, kHeight, 4),
                                  FromPhoto([](const std::vector<std::uint8_t>& rgb) {
                                      return RleBmp(rgb, true);
                                  })));
// The same number of pixels in one column and in wide rows: a load costs by its pixels,
// not by its rows.
const bench::Registrar kWide(Case("24-bit 3000x1000", "wide24.bmp", RowBytes(3000, 1000, 24),
                                  [] { return Bmp24Sized(3000, 1000); }));
const bench::Registrar kTall(Case("24-bit 1x3000000", "tall24.bmp", RowBytes(1, 3000000, 24),
                                  [] { return Bmp24Sized(1, 3000000); }));

}  // namespace
