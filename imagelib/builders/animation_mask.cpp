// CreateAnimationMaskImage: a caller's DIB as a loaded image in which the pixels of a key
// colour have become black, and a one-bit mask marking those pixels.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "builders/dib_load.h"
#include "core/holders.h"
#include "core/row_flip.h"
#include "engine/serial_context.h"
#include "imagelib.h"
#include "win32/gdi.h"

namespace imagelib {
namespace {

constexpr std::int32_t kNoKeyIndex = -1;
constexpr std::uint8_t kNoBlackEntry = 255;
constexpr int kTableEntries = 256;

// The loaded image the mask pass works on: its header and colour table, and its rows,
// each pixel one byte or more.
struct MaskSource {
    std::uint8_t info[kPackedDibRowsOffset];
    std::uint8_t* rows = nullptr;
    std::uint64_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pixelBytes = 0;
    TrackedBlock unpacked;  // 8-bit rows made from 1- or 4-bit ones

    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(info); }
};

// 1- and 4-bit rows are unpacked to one index byte per pixel, so that every pixel is
// compared with the key on its own and has a mask bit of its own. False when out of
// memory.
bool Prepare(std::uint8_t* dib, MaskSource* src) {
    std::memcpy(src->info, dib, kPackedDibRowsOffset);
    BITMAPINFOHEADER* h = src->header();
    src->width = h->biWidth;
    src->height = h->biHeight;
    const int bits = h->biBitCount;
    std::uint8_t* rows = dib + kPackedDibRowsOffset;
    if (bits != 1 && bits != 4) {
        src->rows = rows;
        src->stride = RowStride(src->width, bits);
        src->pixelBytes = (bits + 7) / 8;
        return true;
    }
    const std::uint64_t inStride = RowStride(src->width, bits);
    src->stride = RowStride(src->width, 8);
    std::uint64_t bytes = 0;
    if (!CheckedMul(src->stride, static_cast<std::uint64_t>(src->height), &bytes) ||
        !src->unpacked.Allocate(bytes))
        return false;
    src->rows = src->unpacked.get();
    src->pixelBytes = 1;
    const int perByte = 8 / bits;
    const unsigned valueMask = (1u << bits) - 1;
    for (std::int64_t y = 0; y < src->height; ++y) {
        const std::uint8_t* in = rows + y * inStride;
        std::uint8_t* out = src->rows + y * src->stride;
        for (std::int64_t x = 0; x < src->width; ++x) {
            const int shift = (perByte - 1 - static_cast<int>(x % perByte)) * bits;
            out[x] = static_cast<std::uint8_t>((in[x / perByte] >> shift) & valueMask);
        }
    }
    h->biBitCount = 8;
    h->biSizeImage = static_cast<DWORD>(bytes);
    return true;
}

// The first colour-table entry that is black, or 255 when none is.
std::uint8_t BlackIndex(const MaskSource& src) {
    const std::uint8_t* quads = src.info + sizeof(BITMAPINFOHEADER);
    for (int i = 0; i < kTableEntries; ++i) {
        const std::uint8_t* q = quads + 4 * i;
        if (q[0] == 0 && q[1] == 0 && q[2] == 0)
            return static_cast<std::uint8_t>(i);
    }
    return kNoBlackEntry;
}

// Blackens the key pixels and sets their bits in the mask rows (storage order, bottom row
// first; bit 7 of a row's first byte is pixel 0).
void MarkKeyPixels(MaskSource& src, std::int32_t keyIndex, std::uint8_t* mask,
                   std::uint64_t maskStride) {
    const std::size_t s = static_cast<std::size_t>(src.pixelBytes);
    const bool byIndex = keyIndex != kNoKeyIndex && src.header()->biBitCount == 8;
    std::uint8_t key[4] = {};
    std::memcpy(key, src.rows, s);
    const std::uint8_t black = BlackIndex(src);
    for (std::int64_t y = 0; y < src.height; ++y) {
        std::uint8_t* row = src.rows + y * src.stride;
        std::uint8_t* maskRow = mask + y * maskStride;
        for (std::int64_t x = 0; x < src.width; ++x) {
            std::uint8_t* p = row + x * static_cast<std::int64_t>(s);
            const bool hit = byIndex ? *p == keyIndex : std::memcmp(p, key, s) == 0;
            if (!hit)
                continue;
            std::memset(p, black, s);
            maskRow[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
}

// A bitmap deleted when the builder fails before handing it over.
class OwnedBitmap {
  public:
    explicit OwnedBitmap(HBITMAP h) : h_(h) {}
    ~OwnedBitmap() {
        if (h_ != 0)
            DeleteObject(h_);
    }
    OwnedBitmap(const OwnedBitmap&) = delete;
    OwnedBitmap& operator=(const OwnedBitmap&) = delete;
    HBITMAP get() const { return h_; }
    HBITMAP release() {
        const HBITMAP h = h_;
        h_ = 0;
        return h;
    }

  private:
    HBITMAP h_;
};

std::uint32_t MakeMaskImage(std::uint32_t* image, std::uint32_t* mask, std::int32_t keyIndex,
                            HDC dc, std::uint8_t* dib) {
    MaskSource src;
    if (!Prepare(dib, &src))
        return 0;
    OwnedBitmap maskBitmap(CreateBitmap(src.width, src.height, 1, 1, nullptr));
    BITMAP bm{};
    if (maskBitmap.get() == 0 || GetObjectW(maskBitmap.get(), sizeof bm, &bm) != sizeof bm ||
        bm.bmWidthBytes <= 0 || bm.bmHeight != src.height)
        return 0;
    const auto maskStride = static_cast<std::uint64_t>(bm.bmWidthBytes);
    std::uint64_t maskBytes = 0;
    TrackedBlock maskRows;
    if (!CheckedMul(maskStride, static_cast<std::uint64_t>(src.height), &maskBytes) ||
        !maskRows.Allocate(maskBytes))
        return 0;
    MarkKeyPixels(src, keyIndex, maskRows.get(), maskStride);
    // The mask bitmap's rows run top-down.
    FlipRows(maskRows.get(), static_cast<std::int64_t>(maskStride), src.height);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(src.info);
    OwnedBitmap picture(
        CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, src.rows, info, DIB_RGB_COLORS));
    if (picture.get() == 0 || SetBitmapBits(maskBitmap.get(), static_cast<DWORD>(maskBytes),
                                            maskRows.get()) != static_cast<LONG>(maskBytes))
        return 0;
    *image = picture.release();
    *mask = maskBitmap.release();
    return 1;
}

}  // namespace
}  // namespace imagelib

extern "C" uint32_t CreateAnimationMaskImage(uint32_t* image, uint32_t* mask, int32_t keyIndex,
                                             uint32_t dc, const void* header, const void* rows,
                                             uint32_t* flags) {
    if (image == nullptr || mask == nullptr || header == nullptr || rows == nullptr)
        return 0;
    *image = 0;
    *mask = 0;
    imagelib::DibLoad load;
    if (!load.Run(header, rows, flags))
        return 0;
    std::uint8_t* dib = load.LockDib();
    if (dib == nullptr)
        return 0;
    return imagelib::MakeMaskImage(image, mask, keyIndex, dc, dib);
}
