// Run-length decoders of the BMP driver (RLE8 and RLE4). The data comes from malformed
// files as often as from good ones: a pixel outside the image's width or rows is dropped,
// and the decoding ends when the rows or the data run out, end code or not. Runs and
// absolute runs are clipped once to the room their row has and then filled or copied
// whole: one bounds check per run, none per pixel.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

// n bytes of value; short runs, the common case of photographs, without a call.
inline void FillBytes(std::uint8_t* p, std::uint8_t value, std::int64_t n) {
    if (n > 16) {
        std::memset(p, value, static_cast<std::size_t>(n));
        return;
    }
    for (std::int64_t i = 0; i < n; ++i)
        p[i] = value;
}

// n 4-bit pixels from x on, pixel i being first for even i and second for odd i. The other
// nibble of a byte that is shared with a neighbouring pixel keeps its value.
void FillNibbles(std::uint8_t* row, std::int64_t x, std::int64_t n, std::uint8_t first,
                 std::uint8_t second) {
    if (n <= 0)
        return;
    if (x % 2 == 1) {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0xF0) | first);
        std::swap(first, second);
        ++x;
        --n;
    }
    FillBytes(row + x / 2, static_cast<std::uint8_t>(first << 4 | second), n / 2);
    if (n % 2 == 1) {
        std::uint8_t& last = row[(x + n - 1) / 2];
        last = static_cast<std::uint8_t>((last & 0x0F) | first << 4);
    }
}

// n 4-bit pixels from x on, taken from the nibbles of src, high nibble first.
void CopyNibbles(std::uint8_t* row, std::int64_t x, std::int64_t n, const std::uint8_t* src) {
    if (x % 2 == 0) {
        std::memcpy(row + x / 2, src, static_cast<std::size_t>(n / 2));
        if (n % 2 == 1) {
            std::uint8_t& last = row[(x + n - 1) / 2];
            last = static_cast<std::uint8_t>((last & 0x0F) | (src[n / 2] & 0xF0));
        }
        return;
    }
    // An odd start: every source byte straddles two result bytes.
    for (std::int64_t i = 0; i < n; ++i) {
        const std::uint8_t nibble = i % 2 == 0 ? src[i / 2] >> 4 : src[i / 2] & 0x0F;
        std::uint8_t& b = row[(x + i) / 2];
        b = (x + i) % 2 == 0 ? static_cast<std::uint8_t>((b & 0x0F) | nibble << 4)
                             : static_cast<std::uint8_t>((b & 0xF0) | nibble);
    }
}

// Decodes the run-length data of one step from a span of the data: the bytes from the
// reader's cursor to the end, parsed in place and every read checked against the span's
// end. The reader's cursor is put behind what was used when the step ends.
class RleDecoder {
  public:
    RleDecoder(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits)
        : in_(in), st_(st), rows_(rows), pixelBits_(pixelBits), start_(in.Position()) {
        size_ = in.Span(&data_, in.Remaining());
        EnterRow();
    }
    ~RleDecoder() {
        Clean();
        in_.Seek(start_ + pos_);
    }

    bool Decode(std::int64_t rowsPerStep);

  private:
    // n bytes of the span, or false (nothing taken) when fewer remain.
    bool Take(std::int64_t n, const std::uint8_t** p) {
        if (n > size_ - pos_)
            return false;
        *p = data_ + pos_;
        pos_ += n;
        return true;
    }

    // The row that rows done names: where it starts and how many of its pixels may be
    // written, inside both the image's width and the rows' total bytes.
    void EnterRow() {
        row_ = nullptr;
        limit_ = 0;
        dirty_ = 0;
        const std::int64_t offset = st_.rowsDone * rows_.stride;
        if (st_.rowsDone >= rows_.height || offset >= rows_.total)
            return;
        row_ = rows_.bits + offset;
        const std::int64_t room = std::min(rows_.stride, rows_.total - offset);
        limit_ = std::min(rows_.width, room * (8 / pixelBits_));
    }

    // Short runs are stored as sixteen bytes at once, and the pixels past the run are
    // rewritten by what follows in the row. Before the decoder leaves x (a line end, a
    // delta, the end of the step), whatever of them nothing rewrote becomes zero again.
    void Clean() {
        std::int64_t from = st_.x;
        if (dirty_ > from && pixelBits_ == 4 && from % 2 == 1) {
            row_[from / 2] &= 0xF0;
            ++from;
        }
        if (dirty_ > from) {
            const std::int64_t perByte = 8 / pixelBits_;
            std::memset(row_ + from / perByte, 0,
                        static_cast<std::size_t>((dirty_ - from + perByte - 1) / perByte));
        }
        dirty_ = 0;
    }

    // Pixels from x on that the current row has room for, at most n.
    std::int64_t Room(std::int64_t n) const { return std::min(n, limit_ - st_.x); }

    void PutRun(std::uint8_t count, std::uint8_t value);
    bool PutAbsolute(int n);

    StreamReader& in_;
    BmpState& st_;
    const BmpRows& rows_;
    const int pixelBits_;
    const std::int64_t start_;
    const std::uint8_t* data_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t pos_ = 0;
    std::uint8_t* row_ = nullptr;
    std::int64_t limit_ = 0;
    std::int64_t dirty_ = 0;  // pixels from x up to here may hold a short run's overshoot
};

// An encoded run: count pixels; RLE4 alternates the high and the low nibble of value.
void RleDecoder::PutRun(std::uint8_t count, std::uint8_t value) {
    const std::int64_t n = Room(count);
    if (n > 0) {
        if (pixelBits_ == 8) {
            FillBytes(row_ + st_.x, value, n);
        } else {
            FillNibbles(row_, st_.x, n, static_cast<std::uint8_t>(value >> 4),
                        static_cast<std::uint8_t>(value & 0x0F));
        }
    }
    st_.x += count;
}

// An absolute run of n pixels, padded to a 16-bit boundary in the data. An odd RLE4 run
// places only its own n pixels. The pixels that are there are placed; false when the
// data runs out.
bool RleDecoder::PutAbsolute(int n) {
    const std::int64_t bytes = pixelBits_ == 8 ? n : (n + 1) / 2;
    const std::int64_t got = std::min(bytes, size_ - pos_);
    const std::uint8_t* src = data_ + pos_;
    pos_ += got;
    const std::int64_t present = pixelBits_ == 8 ? got : std::min<std::int64_t>(n, got * 2);
    const std::int64_t k = Room(present);
    if (k > 0) {
        if (pixelBits_ == 8) {
            std::memcpy(row_ + st_.x, src, static_cast<std::size_t>(k));
        } else {
            CopyNibbles(row_, st_.x, k, src);
        }
    }
    if (got < bytes) {
        // The data ends inside the run: what follows its pixels stays zero.
        st_.x += std::max<std::int64_t>(k, 0);
        Clean();
        st_.x += n - std::max<std::int64_t>(k, 0);
        return false;
    }
    st_.x += n;
    const std::uint8_t* pad = nullptr;
    return bytes % 2 == 0 || Take(1, &pad);
}

bool RleDecoder::Decode(std::int64_t rowsPerStep) {
    const std::int64_t stop = st_.rowsDone + rowsPerStep;
    while (st_.rowsDone < stop) {
        const std::uint8_t* op = nullptr;
        if (!Take(2, &op))
            return true;
        const std::uint8_t count = op[0];
        const std::uint8_t value = op[1];
        if (count > 0) {
            // Sixteen bytes at once; they stay inside the row's pixels, never its padding.
            if (pixelBits_ == 8 && count <= 16 && st_.x + 16 <= limit_) {
                const std::uint64_t eight = value * std::uint64_t{0x0101010101010101};
                std::memcpy(row_ + st_.x, &eight, 8);
                std::memcpy(row_ + st_.x + 8, &eight, 8);
                dirty_ = std::max(dirty_, st_.x + 16);
                st_.x += count;
            } else if (pixelBits_ == 4 && count <= 30 && st_.x + 33 <= limit_) {
                // Thirty-two pixels at once from an even pixel, after a lone first pixel
                // at an odd one; the nibbles then alternate the other way round.
                std::int64_t x = st_.x;
                std::uint8_t pair = value;
                if (x % 2 == 1) {
                    row_[x / 2] = static_cast<std::uint8_t>((row_[x / 2] & 0xF0) | value >> 4);
                    pair = static_cast<std::uint8_t>(value << 4 | value >> 4);
                    ++x;
                }
                const std::uint64_t eight = pair * std::uint64_t{0x0101010101010101};
                std::memcpy(row_ + x / 2, &eight, 8);
                std::memcpy(row_ + x / 2 + 8, &eight, 8);
                dirty_ = std::max(dirty_, x + 32);
                st_.x += count;
            } else {
                PutRun(count, value);
            }
            continue;
        }
        Clean();
        switch (value) {
            case kEndOfLine:
                ++st_.rowsDone;
                st_.x = 0;
                break;
            case kEndOfBitmap:
                return true;
            case kDelta: {
                const std::uint8_t* d = nullptr;
                if (!Take(2, &d))
                    return true;
                st_.x += d[0];
                st_.rowsDone += d[1];
                break;
            }
            default:
                if (!PutAbsolute(value))
                    return true;
                continue;
        }
        if (st_.rowsDone >= rows_.height)
            return true;
        EnterRow();
    }
    return false;
}

}  // namespace

bool BmpDecodeRle(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits,
                  std::int64_t rowsPerStep) {
    RleDecoder decoder(in, st, rows, pixelBits);
    return decoder.Decode(rowsPerStep);
}

}  // namespace imagelib
