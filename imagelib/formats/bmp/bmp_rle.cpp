// Run-length decoders of the BMP driver (RLE8 and RLE4). The data comes from malformed
// files as often as from good ones: a pixel outside the image's width or rows is dropped,
// and the decoding ends when the rows or the data run out, end code or not.
#include <cstdint>

#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

// The byte reader never reports the end of its data (it hands out stale bytes); this
// wrapper does, from the reader's fill count after a refill.
class RleSource {
  public:
    explicit RleSource(ImageByteReader* reader) : reader_(reader) {}

    bool next(std::uint8_t& byte) {
        const bool refills = reader_->position >= reader_->fill;
        byte = ImageByteReaderNext(reader_);
        return !refills || reader_->fill > 0;
    }

  private:
    ImageByteReader* reader_;
};

// One pixel of index value at (row, x), rows counted as the file stores them.
void PutPixel(const BmpRows& rows, int pixelBits, std::int64_t row, std::int64_t x,
              std::uint8_t value) {
    if (row >= rows.height || x >= rows.width) {
        return;
    }
    const std::int64_t offset = row * rows.stride + (pixelBits == 8 ? x : x / 2);
    if (offset >= rows.total) {
        return;
    }
    if (pixelBits == 8) {
        rows.bits[offset] = value;
    } else if (x % 2 == 0) {
        rows.bits[offset] |= static_cast<std::uint8_t>((value & 0x0F) << 4);
    } else {
        rows.bits[offset] |= static_cast<std::uint8_t>(value & 0x0F);
    }
}

// An encoded run: count pixels; RLE4 alternates the high and the low nibble of value.
void PutRun(BmpState& st, const BmpRows& rows, int pixelBits, std::uint8_t count,
            std::uint8_t value) {
    for (int i = 0; i < count; ++i) {
        const std::uint8_t pixel =
            pixelBits == 8 ? value : static_cast<std::uint8_t>(i % 2 == 0 ? value >> 4 : value);
        PutPixel(rows, pixelBits, st.rowsDone, st.x + i, pixel);
    }
    st.x += count;
}

// An absolute run of n pixels, padded to a 16-bit boundary in the data. An odd RLE4 run
// places only its own n pixels. False when the data runs out.
bool PutAbsolute(BmpState& st, const BmpRows& rows, int pixelBits, RleSource& src, int n) {
    const int bytes = pixelBits == 8 ? n : (n + 1) / 2;
    std::uint8_t byte = 0;
    for (std::int64_t i = 0; i < bytes; ++i) {
        if (!src.next(byte)) {
            return false;
        }
        if (pixelBits == 8) {
            PutPixel(rows, 8, st.rowsDone, st.x + i, byte);
            continue;
        }
        PutPixel(rows, 4, st.rowsDone, st.x + 2 * i, static_cast<std::uint8_t>(byte >> 4));
        if (2 * i + 1 < n) {
            PutPixel(rows, 4, st.rowsDone, st.x + 2 * i + 1, byte);
        }
    }
    st.x += n;
    return bytes % 2 == 0 || src.next(byte);
}

}  // namespace

bool BmpDecodeRle(BmpState& st, const BmpRows& rows, int pixelBits, std::int64_t rowsPerStep) {
    constexpr std::uint8_t kEndOfLine = 0;
    constexpr std::uint8_t kEndOfBitmap = 1;
    constexpr std::uint8_t kDelta = 2;

    RleSource src(st.reader);
    const std::int64_t stop = st.rowsDone + rowsPerStep;
    while (st.rowsDone < stop) {
        std::uint8_t count = 0;
        std::uint8_t value = 0;
        if (!src.next(count) || !src.next(value)) {
            return true;
        }
        if (count > 0) {
            PutRun(st, rows, pixelBits, count, value);
            continue;
        }
        switch (value) {
            case kEndOfLine:
                ++st.rowsDone;
                st.x = 0;
                break;
            case kEndOfBitmap:
                return true;
            case kDelta: {
                std::uint8_t dx = 0;
                std::uint8_t dy = 0;
                if (!src.next(dx) || !src.next(dy)) {
                    return true;
                }
                st.x += dx;
                st.rowsDone += dy;
                break;
            }
            default:
                if (!PutAbsolute(st, rows, pixelBits, src, value)) {
                    return true;
                }
                break;
        }
        if (st.rowsDone >= rows.height) {
            return true;
        }
    }
    return false;
}

}  // namespace imagelib
