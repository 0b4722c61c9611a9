// The whole TIFF image read strip by strip into unpadded rows, bottom row first: planes of
// planar RGB interleaved, extra samples dropped, CMYK turned into RGB.
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "core/row_flip.h"
#include "core/stream_reader.h"
#include "core/tracked_memory.h"
#include "formats/tiff/tiff_directory.h"
#include "formats/tiff/tiff_state.h"
#include "formats/tiff/tiff_strip.h"

namespace imagelib {
namespace {

struct BlockDeleter {
    void operator()(void* p) const { ImageFree(p); }
};
template <class T>
using Block = std::unique_ptr<T, BlockDeleter>;

// A tracked block of n elements, or null when n is 0 or does not fit one block.
template <class T>
Block<T> AllocBlock(std::uint64_t n) {
    std::uint64_t bytes;
    if (n == 0 || !CheckedMul(n, sizeof(T), &bytes) || !FitsBlock(bytes))
        return nullptr;
    return Block<T>(static_cast<T*>(ImageAlloc(static_cast<std::uint32_t>(bytes))));
}

// What one read of the image needs, beside the TiffImage fields it reads (samples is set to
// 1 while the planes of planar RGB are read).
struct TiffReader {
    ImageMemStream* s;
    std::int64_t width;
    std::int64_t height;
    TiffImage t;
    TiffStrips strips;
    TiffLzwTables* lzw;
    Block<std::uint8_t> pixels;  // strips decoded before their samples are converted
    std::uint64_t pixelsSize;
};

TiffStripData StripData(const TiffReader& rd, std::uint32_t strip) {
    StreamReader r(rd.s);
    const std::uint64_t size = static_cast<std::uint64_t>(r.Size());
    const std::uint64_t offset = strip < rd.strips.count ? rd.strips.offsets[strip] : size;
    if (offset >= size)
        return TiffStripData{nullptr, 0};
    std::uint64_t end = size;
    if (rd.strips.byteCounts != nullptr)
        end = std::min(size, offset + rd.strips.byteCounts[strip]);
    return TiffStripData{rd.s->base + offset, static_cast<std::int64_t>(end - offset)};
}

// A block for a strip's samples before conversion, kept for the next strips (the first
// strip is the largest, so it is made once per image).
std::uint8_t* PixelBlock(TiffReader& rd, std::uint64_t bytes) {
    if (rd.pixels == nullptr || rd.pixelsSize < bytes) {
        rd.pixels = AllocBlock<std::uint8_t>(bytes);
        rd.pixelsSize = rd.pixels != nullptr ? bytes : 0;
    }
    return rd.pixels.get();
}

int TiffReadStrip(TiffReader& rd, std::uint32_t strip, std::uint8_t* dst, std::int64_t expected,
                  std::int64_t rows) {
    const TiffImage& t = rd.t;
    const TiffStripData in = StripData(rd, strip);
    const std::int64_t pixels = rd.width * rows;
    const bool cmyk = t.photometric == kTiffSeparated;
    if (!cmyk && !(t.photometric == kTiffRgb && t.samples >= 4))
        return TiffDecodeStrip(in, t.compression, t.predictor, t.samples, rd.width, dst, expected,
                               rd.lzw);
    std::uint64_t bytes;
    if (!CheckedMul(t.samples, static_cast<std::uint64_t>(pixels), &bytes))
        return kOutOfMemory;
    std::uint8_t* src = PixelBlock(rd, bytes);
    if (src == nullptr)
        return kOutOfMemory;
    // As a block made for this strip alone: what its data do not fill reads as 0.
    std::memset(src, 0, static_cast<std::size_t>(bytes));
    const int r = TiffDecodeStrip(in, t.compression, t.predictor, t.samples, rd.width, src,
                                  static_cast<std::int64_t>(bytes), rd.lzw);
    if (r != kOk)
        return r;
    const std::uint32_t n = t.samples;
    if (cmyk) {
        for (std::int64_t i = 0; i < pixels; ++i, src += 4, dst += 3) {
            const int k = src[3];
            dst[0] = static_cast<std::uint8_t>(std::max(0, 255 - src[0] - k));
            dst[1] = static_cast<std::uint8_t>(std::max(0, 255 - src[1] - k));
            dst[2] = static_cast<std::uint8_t>(std::max(0, 255 - src[2] - k));
        }
    } else {
        for (std::int64_t i = 0; i < pixels; ++i, src += n, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return kOk;
}

// How the rows leave the reader: bottom row first (top-down files turned over), and
// 24-bit pixels as blue, green, red. Both are done strip by strip while a strip's rows are
// still in the cache.
struct TiffLayout {
    bool flip;  // the file's first row is the top one
    bool bgr;   // 24-bit rows
};

// Strips from firstStrip on, rowBytes per row, into dst; the first error ends the loop.
int TiffReadStrips(TiffReader& rd, std::uint32_t firstStrip, std::int64_t rowBytes,
                   std::uint8_t* dst, TiffLayout layout) {
    const std::int64_t perStrip = rd.t.rowsPerStrip;
    std::uint32_t strip = firstStrip;
    for (std::int64_t row = 0; row < rd.height; row += perStrip, ++strip) {
        const std::int64_t rows = std::min(perStrip, rd.height - row);
        // A top-down file's strip goes to the rows it ends up in, then is turned over.
        std::uint8_t* block = dst + (layout.flip ? rd.height - row - rows : row) * rowBytes;
        const int r = TiffReadStrip(rd, strip, block, rows * rowBytes, rows);
        if (r != kOk)
            return r;
        if (layout.flip)
            FlipRows(block, rowBytes, rows);
        if (layout.bgr)
            TiffSwapRgb(block, block, rows * rd.width);
    }
    return kOk;
}

int TiffReadChannels(TiffReader& rd, std::int64_t rowBytes, std::uint8_t* dst, TiffLayout layout) {
    if (rd.t.photometric != kTiffRgb || rd.t.planar != kTiffPlanarSeparate)
        return TiffReadStrips(rd, 0, rowBytes, dst, layout);
    // Planar RGB: three planes of one byte per pixel, the strips of red, then green, then
    // blue, interleaved afterwards.
    const std::uint64_t plane = static_cast<std::uint64_t>(rd.width * rd.height);
    Block<std::uint8_t> channels = AllocBlock<std::uint8_t>(3 * plane);
    if (channels == nullptr)
        return kOutOfMemory;
    const std::uint32_t samples = rd.t.samples;
    rd.t.samples = 1;
    const std::uint32_t stripsPerPlane = rd.strips.count / 3;
    int r = kOk;
    for (std::uint32_t c = 0; c < 3 && r == kOk; ++c)
        r = TiffReadStrips(rd, c * stripsPerPlane, rd.width, channels.get() + c * plane,
                           TiffLayout{false, false});
    rd.t.samples = samples;
    if (r != kOk)
        return r;
    const std::uint8_t* red = channels.get();
    const std::uint8_t* green = red + plane;
    const std::uint8_t* blue = green + plane;
    const int firstByte = layout.bgr ? 2 : 0;
    for (std::int64_t y = 0; y < rd.height; ++y) {
        std::uint8_t* out = dst + (layout.flip ? rd.height - 1 - y : y) * rowBytes;
        const std::int64_t at = y * rd.width;
        for (std::int64_t x = 0; x < rd.width; ++x, out += 3) {
            out[firstByte] = red[at + x];
            out[1] = green[at + x];
            out[2 - firstByte] = blue[at + x];
        }
    }
    return kOk;
}

// Top-left files are turned over (the result starts with the bottom row), bottom-left
// ones are not.
int TiffReadOriented(TiffReader& rd, std::int64_t rowBytes, std::uint8_t* dst, bool bgr) {
    if (rd.t.orientation != kTiffTopLeft && rd.t.orientation != kTiffBottomLeft)
        return kNotSupported;
    return TiffReadChannels(rd, rowBytes, dst, TiffLayout{rd.t.orientation == kTiffTopLeft, bgr});
}

// Fills the strip tables of an image of 400 strips or more from the file's directory.
int ReadStripTables(ImageMemStream* s, std::uint32_t count, std::uint32_t* offsets,
                    std::uint32_t* byteCounts) {
    ImageMemStreamSeek(s, 0, kSeekSet);
    TiffFile* raw = nullptr;
    if (TiffOpenDirectory(s, 0, &raw) != kTiffDirOk)
        return kOutOfMemory;
    const TiffFilePtr file(raw);
    const TiffEntry* o = TiffFindTag(file->directory, kTagStripOffsets);
    const TiffEntry* b = TiffFindTag(file->directory, kTagStripByteCounts);
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets[i] = o != nullptr ? static_cast<std::uint32_t>(TiffEntryValue(o, i)) : 0;
        byteCounts[i] = b != nullptr ? static_cast<std::uint32_t>(TiffEntryValue(b, i)) : 0;
    }
    return kOk;
}

}  // namespace

void TiffSwapRgb(const std::uint8_t* src, std::uint8_t* dst, std::int64_t n) {
    std::int64_t i = 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight pixels at once as three 64-bit words w (bytes in memory order): the first
    // byte of each triple takes the byte two places on, the third the byte two places back.
    constexpr std::uint64_t kKeep0 = 0xFF0000FF0000FF00ull;
    constexpr std::uint64_t kKeep1 = 0x0000FF0000FF0000ull;
    constexpr std::uint64_t kKeep2 = 0x00FF0000FF0000FFull;
    constexpr std::uint64_t kAhead0 = 0x00FF0000FF0000FFull;
    constexpr std::uint64_t kAhead1 = 0xFF0000FF0000FF00ull;
    constexpr std::uint64_t kAhead2 = 0x0000FF0000FF0000ull;
    constexpr std::uint64_t kBack0 = 0x0000FF0000FF0000ull;
    constexpr std::uint64_t kBack1 = 0x00FF0000FF0000FFull;
    constexpr std::uint64_t kBack2 = 0xFF0000FF0000FF00ull;
    // Three plain words, not arrays: the words stay in registers (an array of them went
    // through the stack, where its 8-byte stores did not forward to 16-byte loads).
    for (; i + 8 <= n; i += 8, src += 24, dst += 24) {
        std::uint64_t w0;
        std::uint64_t w1;
        std::uint64_t w2;
        std::memcpy(&w0, src, 8);
        std::memcpy(&w1, src + 8, 8);
        std::memcpy(&w2, src + 16, 8);
        const std::uint64_t o0 =
            (w0 & kKeep0) | ((w0 >> 16 | w1 << 48) & kAhead0) | ((w0 << 16) & kBack0);
        const std::uint64_t o1 =
            (w1 & kKeep1) | ((w1 >> 16 | w2 << 48) & kAhead1) | ((w1 << 16 | w0 >> 48) & kBack1);
        const std::uint64_t o2 =
            (w2 & kKeep2) | ((w2 >> 16) & kAhead2) | ((w2 << 16 | w1 >> 48) & kBack2);
        std::memcpy(dst, &o0, 8);
        std::memcpy(dst + 8, &o1, 8);
        std::memcpy(dst + 16, &o2, 8);
    }
#endif
    for (; i < n; ++i, src += 3, dst += 3) {
        const std::uint8_t first = src[0];
        dst[1] = src[1];
        dst[0] = src[2];
        dst[2] = first;
    }
}

int TiffReadImage(ImageMemStream* s, const ImageInfo& info, const TiffImage& t, std::uint8_t* dst) {
    TiffReader rd{s, info.width, info.height, t, TiffStrips{}, nullptr, nullptr, 0};
    rd.strips.count = t.stripCount;
    Block<std::uint32_t> offsets;
    Block<std::uint32_t> byteCounts;
    if (t.stripCount < kTiffStoredStrips) {
        rd.strips.offsets = t.stripOffsets;
        rd.strips.byteCounts = t.hasByteCounts ? t.stripByteCounts : nullptr;
    } else {
        offsets = AllocBlock<std::uint32_t>(t.stripCount);
        byteCounts = AllocBlock<std::uint32_t>(t.stripCount);
        if (offsets == nullptr || byteCounts == nullptr)
            return kOutOfMemory;
        const int r = ReadStripTables(s, t.stripCount, offsets.get(), byteCounts.get());
        if (r != kOk)
            return r;
        rd.strips.offsets = offsets.get();
        rd.strips.byteCounts = t.hasByteCounts ? byteCounts.get() : nullptr;
    }
    Block<TiffLzwTables> lzw;
    if (t.compression == kTiffCompressionLzw) {
        lzw = AllocBlock<TiffLzwTables>(1);
        if (lzw == nullptr)
            return kOutOfMemory;
        TiffLzwStart(lzw.get());
        rd.lzw = lzw.get();
    }
    const std::int64_t rowBytes = (rd.width * info.bitsPerPixel + 7) / 8;
    return TiffReadOriented(rd, rowBytes, dst, info.bitsPerPixel == 24);
}

}  // namespace imagelib
