// The whole TIFF image read strip by strip into unpadded rows, bottom row first. Strips
// of grey, palette and RGB images are decoded straight into their rows; the planes of
// planar RGB, RGB with a fourth sample and CMYK are decoded a window at a time and
// converted on the way, so that no strip or plane is held beside the image.
#include <algorithm>
#include <cstring>
#include <memory>

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

// A tracked block of one T, or null.
template <class T>
Block<T> AllocBlock() {
    return Block<T>(static_cast<T*>(ImageAlloc(sizeof(T))));
}

// Where each strip's data lie: the offsets and byte counts copied at the header, or for
// 400 strips and more the directory's entries, read where they lie in the data.
class StripPlaces {
  public:
    StripPlaces(ImageMemStream* s, const TiffImage& t) : s_(s), t_(t) {}

    // 0, or 1 when the directory cannot be read again.
    int Open() {
        if (t_.stripCount < kTiffStoredStrips)
            return kOk;
        ImageMemStreamSeek(s_, 0, kSeekSet);
        TiffFile* raw = nullptr;
        if (TiffOpenDirectory(s_, 0, &raw) != kTiffDirOk)
            return kOutOfMemory;
        file_.reset(raw);
        offsets_ = TiffFindTag(file_->directory, kTagStripOffsets);
        byteCounts_ = TiffFindTag(file_->directory, kTagStripByteCounts);
        return kOk;
    }

    // The strip's bytes: from its offset to its byte count's end or the end of the data.
    TiffStripData Data(std::uint32_t strip) const {
        StreamReader r(s_);
        const auto size = static_cast<std::uint64_t>(r.Size());
        const std::uint64_t offset =
            strip < t_.stripCount ? Value(offsets_, t_.stripOffsets, strip) : size;
        if (offset >= size)
            return TiffStripData{nullptr, 0};
        std::uint64_t end = size;
        if (t_.hasByteCounts)
            end = std::min(size, offset + Value(byteCounts_, t_.stripByteCounts, strip));
        return TiffStripData{s_->base + offset, static_cast<std::int64_t>(end - offset)};
    }

  private:
    std::uint64_t Value(const TiffEntry* e, const std::uint32_t* stored, std::uint32_t i) const {
        if (t_.stripCount < kTiffStoredStrips)
            return stored[i];
        return e != nullptr ? static_cast<std::uint32_t>(TiffEntryValue(e, i)) : 0;
    }

    ImageMemStream* s_;
    const TiffImage& t_;
    TiffFilePtr file_;
    const TiffEntry* offsets_ = nullptr;
    const TiffEntry* byteCounts_ = nullptr;
};

// What one read of the image needs beside the TiffImage fields.
struct TiffReader {
    std::int64_t width;
    std::int64_t height;
    const TiffImage& t;
    const StripPlaces& strips;
    TiffStripDecoders dec;
    std::uint8_t* window;  // for converted strips (kTiffWindowBytes), else null
};

// How a converted strip's pixels become the image's: which of each pixel's samples are
// used and where the result goes.
enum class Conversion {
    kPlane,  // one byte per pixel, one of the three bytes of a 24-bit pixel
    kRgb,    // the first three samples, stored blue, green, red
    kCmyk,   // c, m, y, k: red = 255 - c - k (0 when negative), and so on
};

// The samples of each pixel that a conversion uses: the first ones.
std::uint32_t UsedSamples(Conversion kind) {
    switch (kind) {
        case Conversion::kPlane:
            return 1;
        case Conversion::kRgb:
            return 3;
        default:
            return 4;
    }
}

// The pixels of one converted strip as its bytes arrive: horizontal differencing is
// undone on the way (each used sample adds the same sample of the pixel before it in the
// row; unused samples do not affect them), and each pixel is stored once its used samples
// are in.
class PixelSink final : public TiffStripSink {
  public:
    struct Target {
        std::uint8_t* dst;  // the image's unpadded rows, bottom row first
        std::int64_t rowBytes;
        std::int64_t height;
        bool flip;              // the file's first row is the top one
        std::int64_t firstRow;  // the file row of the strip's first row
        int slot;               // kPlane: the byte of the 24-bit pixel
    };

    PixelSink(const TiffReader& rd, Conversion kind, std::uint32_t samples, std::int64_t rows,
              const Target& target)
        : kind_(kind),
          samples_(samples),
          keep_(UsedSamples(kind)),
          predict_(rd.t.predictor == kTiffHorizontalDifferencing &&
                   rd.t.compression == kTiffCompressionLzw),
          width_(rd.width),
          rows_(rows),
          target_(target) {}

    void Take(const std::uint8_t* bytes, std::int64_t n) override {
        for (std::int64_t i = 0; i < n && y_ < rows_; ++i)
            Byte(bytes[i]);
    }

    void TakeZeros(std::int64_t n) override {
        for (; n > 0 && y_ < rows_; --n)
            Byte(0);
    }

  private:
    void Byte(std::uint8_t b) {
        if (k_ < keep_) {
            if (predict_ && x_ > 0)
                b = static_cast<std::uint8_t>(b + pixel_[k_]);
            pixel_[k_] = b;
            if (++k_ == keep_)
                Store();
        } else {
            ++k_;
        }
        if (k_ == samples_) {
            k_ = 0;
            if (++x_ == width_) {
                x_ = 0;
                ++y_;
            }
        }
    }

    void Store() {
        const std::int64_t row = target_.firstRow + y_;
        std::uint8_t* out =
            target_.dst + (target_.flip ? target_.height - 1 - row : row) * target_.rowBytes;
        switch (kind_) {
            case Conversion::kPlane:
                out[x_ * 3 + target_.slot] = pixel_[0];
                break;
            case Conversion::kRgb:
                out += x_ * 3;
                out[0] = pixel_[2];
                out[1] = pixel_[1];
                out[2] = pixel_[0];
                break;
            case Conversion::kCmyk: {
                out += x_ * 3;
                const int k = pixel_[3];
                out[0] = static_cast<std::uint8_t>(std::max(0, 255 - pixel_[2] - k));
                out[1] = static_cast<std::uint8_t>(std::max(0, 255 - pixel_[1] - k));
                out[2] = static_cast<std::uint8_t>(std::max(0, 255 - pixel_[0] - k));
                break;
            }
        }
    }

    const Conversion kind_;
    const std::uint32_t samples_;  // 1 to 4
    const std::uint32_t keep_;
    const bool predict_;
    const std::int64_t width_;
    const std::int64_t rows_;
    const Target target_;
    std::uint32_t k_ = 0;  // the sample of the current pixel
    std::int64_t x_ = 0;
    std::int64_t y_ = 0;          // the row within the strip
    std::uint8_t pixel_[4] = {};  // the used samples of the current (then previous) pixel
};

// How the rows leave the reader: bottom row first (top-down files turned over), and
// 24-bit pixels as blue, green, red.
struct TiffLayout {
    bool flip;  // the file's first row is the top one
    bool bgr;   // 24-bit rows
};

// Strips decoded straight into their rows, rowBytes per row; the first error ends the
// loop. Each strip is turned over and its pixels swapped while its rows are still in the
// cache.
int TiffReadStrips(const TiffReader& rd, std::int64_t rowBytes, std::uint8_t* dst,
                   TiffLayout layout) {
    const TiffImage& t = rd.t;
    const std::int64_t perStrip = t.rowsPerStrip;
    std::uint32_t strip = 0;
    for (std::int64_t row = 0; row < rd.height; row += perStrip, ++strip) {
        const std::int64_t rows = std::min(perStrip, rd.height - row);
        // A top-down file's strip goes to the rows it ends up in, then is turned over.
        std::uint8_t* block = dst + (layout.flip ? rd.height - row - rows : row) * rowBytes;
        const int r = TiffDecodeStrip(rd.strips.Data(strip), t.compression, t.predictor, t.samples,
                                      rd.width, block, rows * rowBytes, rd.dec);
        if (r != kOk)
            return r;
        if (layout.flip)
            FlipRows(block, rowBytes, rows);
        if (layout.bgr)
            TiffSwapRgb(block, block, rows * rd.width);
    }
    return kOk;
}

// Strips from firstStrip on, each converted as its bytes arrive into 24-bit rows.
int TiffConvertStrips(const TiffReader& rd, std::uint32_t firstStrip, Conversion kind,
                      std::uint32_t samples, std::uint8_t* dst, TiffLayout layout, int slot) {
    const TiffImage& t = rd.t;
    const std::int64_t perStrip = t.rowsPerStrip;
    const std::int64_t rowBytes = rd.width * 3;
    std::uint32_t strip = firstStrip;
    for (std::int64_t row = 0; row < rd.height; row += perStrip, ++strip) {
        const std::int64_t rows = std::min(perStrip, rd.height - row);
        // The strip's rows are complete with the used samples of its last pixel: the
        // samples after them are not decoded.
        const std::int64_t expected = rows * rd.width * samples - (samples - UsedSamples(kind));
        PixelSink sink(rd, kind, samples, rows,
                       PixelSink::Target{dst, rowBytes, rd.height, layout.flip, row, slot});
        const int r = TiffDecodeStripPieces(rd.strips.Data(strip), t.compression, expected, rd.dec,
                                            rd.window, sink);
        if (r != kOk)
            return r;
    }
    return kOk;
}

// Planar RGB: the strips of red, then green, then blue, each plane's bytes put in their
// place in the 24-bit pixels; RGB with a fourth sample and CMYK: converted pixel by pixel;
// any other image: straight into its rows.
int TiffReadChannels(const TiffReader& rd, std::int64_t rowBytes, std::uint8_t* dst,
                     TiffLayout layout) {
    const TiffImage& t = rd.t;
    if (t.photometric == kTiffRgb && t.planar == kTiffPlanarSeparate) {
        const std::uint32_t stripsPerPlane = t.stripCount / 3;
        for (std::uint32_t c = 0; c < 3; ++c) {
            const int r = TiffConvertStrips(rd, c * stripsPerPlane, Conversion::kPlane, 1, dst,
                                            layout, 2 - static_cast<int>(c));
            if (r != kOk)
                return r;
        }
        return kOk;
    }
    if (t.photometric == kTiffSeparated)
        return TiffConvertStrips(rd, 0, Conversion::kCmyk, t.samples, dst, layout, 0);
    if (t.photometric == kTiffRgb && t.samples >= 4)
        return TiffConvertStrips(rd, 0, Conversion::kRgb, t.samples, dst, layout, 0);
    return TiffReadStrips(rd, rowBytes, dst, layout);
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
    // Top-left files are turned over (the result starts with the bottom row), bottom-left
    // ones are not.
    if (t.orientation != kTiffTopLeft && t.orientation != kTiffBottomLeft)
        return kNotSupported;
    StripPlaces strips(s, t);
    const int r = strips.Open();
    if (r != kOk)
        return r;
    Block<TiffLzwTables> lzw;
    if (t.compression == kTiffCompressionLzw) {
        lzw = AllocBlock<TiffLzwTables>();
        if (lzw == nullptr)
            return kOutOfMemory;
        TiffLzwStart(lzw.get());
    }
    const bool converted =
        t.photometric == kTiffSeparated ||
        (t.photometric == kTiffRgb && (t.planar == kTiffPlanarSeparate || t.samples >= 4));
    Block<std::uint8_t> window;
    if (converted) {
        window.reset(static_cast<std::uint8_t*>(ImageAlloc(kTiffWindowBytes)));
        if (window == nullptr)
            return kOutOfMemory;
    }
    StreamReader source(s);
    TiffNoOpRuns noOps(s->base, source.Size());
    const TiffReader rd{info.width,  info.height, t, strips, TiffStripDecoders{lzw.get(), &noOps},
                        window.get()};
    const std::int64_t rowBytes = (rd.width * info.bitsPerPixel + 7) / 8;
    return TiffReadChannels(rd, rowBytes, dst,
                            TiffLayout{t.orientation == kTiffTopLeft, info.bitsPerPixel == 24});
}

}  // namespace imagelib
