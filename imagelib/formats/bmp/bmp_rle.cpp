// Run-length decoders of the BMP driver (RLE8 and RLE4). The data comes from malformed
// files as often as from good ones: a pixel outside the image's width or rows is dropped,
// and the decoding ends when the rows or the data run out, end code or not.
//
// Photographs hold millions of short runs, so the cost per run is what counts: the data
// is parsed in place from one span of the stream, the position lives in locals, and each
// run or absolute run is checked once against its row and the data's end and then filled
// or copied whole. Short ones are written a fixed block at a time, which may leave a few
// pixels past them that the next writes of the row replace; whatever of that reach is
// left when the decoder leaves its position (a line end, a delta, the end of a step) is
// cleared back to zero.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

// Bytes a short run or absolute run is written with at once.
constexpr std::int64_t kBlockBytes = 32;

template <int kBits>
struct RleTraits;

template <>
struct RleTraits<8> {
    static constexpr std::int64_t kPerByte = 1;
    // Pixels past the position that a block write may have touched.
    static constexpr std::int64_t kReach = kBlockBytes;
};

template <>
struct RleTraits<4> {
    static constexpr std::int64_t kPerByte = 2;
    // A run that starts on an odd pixel writes that one alone, then a block.
    static constexpr std::int64_t kReach = 1 + 2 * kBlockBytes;
};

// The row that rows done names: where it starts and how many of its pixels may be
// written, inside both the image's width and the rows' total bytes. No row (limit 0)
// once the rows have run out.
struct RowView {
    std::uint8_t* bits;
    std::int64_t limit;
};

template <int kBits>
RowView RowAt(const BmpRows& rows, std::int64_t rowsDone) {
    if (rowsDone >= rows.height)
        return RowView{nullptr, 0};
    const std::int64_t offset = rowsDone * rows.stride;
    if (offset >= rows.total)
        return RowView{nullptr, 0};
    const std::int64_t room = std::min(rows.stride, rows.total - offset);
    return RowView{rows.bits + offset, std::min(rows.width, room * RleTraits<kBits>::kPerByte)};
}

// Clears what the block writes may have left from x on; the pixels before x stay.
template <int kBits>
void ClearReach(const RowView& row, std::int64_t x) {
    constexpr std::int64_t kPerByte = RleTraits<kBits>::kPerByte;
    const std::int64_t end = std::min(x + RleTraits<kBits>::kReach, row.limit);
    if (x >= end)
        return;
    if (kBits == 4 && x % 2 == 1) {
        row.bits[x / 2] &= 0xF0;
        ++x;
    }
    if (x < end)
        std::memset(row.bits + x / kPerByte, 0,
                    static_cast<std::size_t>((end - x + kPerByte - 1) / kPerByte));
}

// n 4-bit pixels from x on, pixel i being first for even i and second for odd i. The other
// nibble of a byte that is shared with a neighbouring pixel keeps its value.
void FillNibbles(std::uint8_t* row, std::int64_t x, std::int64_t n, std::uint8_t first,
                 std::uint8_t second) {
    if (x % 2 == 1) {
        row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & 0xF0) | first);
        std::swap(first, second);
        ++x;
        --n;
    }
    std::memset(row + x / 2, first << 4 | second, static_cast<std::size_t>(n / 2));
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

// The byte that holds 4-bit pixel x, and whether x is its second (low) nibble. Positions
// are never negative, which spares the sign handling of / and %.
inline std::uint8_t* NibbleByte(std::uint8_t* row, std::int64_t x) {
    return row + (static_cast<std::uint64_t>(x) >> 1);
}
inline bool SecondNibble(std::int64_t x) {
    return (x & 1) != 0;
}

// An encoded run of count pixels from x on; RLE4 alternates the high and the low nibble
// of value. The caller moves x on by count.
inline void PutRun8(const RowView& row, std::int64_t x, std::uint8_t count, std::uint8_t value) {
    if (count <= kBlockBytes && x + kBlockBytes <= row.limit) {
        std::memset(row.bits + x, value, kBlockBytes);
        return;
    }
    const std::int64_t n = std::min<std::int64_t>(count, row.limit - x);
    if (n > 0)
        std::memset(row.bits + x, value, static_cast<std::size_t>(n));
}

inline void PutRun4(const RowView& row, std::int64_t x, std::uint8_t count, std::uint8_t value) {
    const auto high = static_cast<std::uint8_t>(value >> 4);
    const auto low = static_cast<std::uint8_t>(value & 0x0F);
    if (count < 2 * kBlockBytes && x + RleTraits<4>::kReach <= row.limit) {
        // A lone first pixel at an odd x; from there the nibbles alternate the other way.
        std::uint8_t pair = value;
        if (SecondNibble(x)) {
            std::uint8_t* d = NibbleByte(row.bits, x);
            *d = static_cast<std::uint8_t>((*d & 0xF0) | high);
            pair = static_cast<std::uint8_t>(low << 4 | high);
            ++x;
        }
        std::memset(NibbleByte(row.bits, x), pair, kBlockBytes);
        return;
    }
    const std::int64_t n = std::min<std::int64_t>(count, row.limit - x);
    if (n > 0)
        FillNibbles(row.bits, x, n, high, low);
}

// An absolute run of n pixels at p, padded to a 16-bit boundary in the data, placed pixel
// exact. The pixels that are there are placed; false when the data runs out.
template <int kBits>
bool PutAbsoluteExact(const RowView& row, std::int64_t& x, int n, const std::uint8_t*& p,
                      const std::uint8_t* end) {
    const std::int64_t bytes = kBits == 8 ? n : (n + 1) / 2;
    const std::int64_t got = std::min<std::int64_t>(bytes, end - p);
    const std::int64_t present = kBits == 8 ? got : std::min<std::int64_t>(n, got * 2);
    const std::int64_t k = std::min(present, row.limit - x);
    if (k > 0) {
        if (kBits == 8) {
            std::memcpy(row.bits + x, p, static_cast<std::size_t>(k));
        } else {
            CopyNibbles(row.bits, x, k, p);
        }
    }
    p += got;
    if (got < bytes) {
        // The data ends inside the run: what follows its pixels stays zero.
        x += std::max<std::int64_t>(k, 0);
        return false;
    }
    x += n;
    if (bytes % 2 == 1) {
        if (p == end)
            return false;
        ++p;
    }
    return true;
}

// The data of an absolute run of n bytes (a whole number of 16-bit words).
inline std::int64_t Padded(std::int64_t bytes) {
    return bytes + bytes % 2;
}

inline bool PutAbsolute8(const RowView& row, std::int64_t& x, int n, const std::uint8_t*& p,
                         const std::uint8_t* end) {
    // A short run and its padding lie within the block read.
    if (n <= kBlockBytes && x + kBlockBytes <= row.limit && end - p >= kBlockBytes) {
        std::memcpy(row.bits + x, p, kBlockBytes);
        x += n;
        p += Padded(n);
        return true;
    }
    return PutAbsoluteExact<8>(row, x, n, p, end);
}

inline bool PutAbsolute4(const RowView& row, std::int64_t& x, int n, const std::uint8_t*& p,
                         const std::uint8_t* end) {
    const std::int64_t bytes = (n + 1) / 2;
    if (!SecondNibble(x)) {
        if (n <= kBlockBytes && x + kBlockBytes <= row.limit && end - p >= kBlockBytes / 2) {
            std::memcpy(NibbleByte(row.bits, x), p, kBlockBytes / 2);
            x += n;
            p += Padded(bytes);
            return true;
        }
    } else if (x + n < row.limit && end - p > bytes) {
        // From an odd x every result byte takes the low nibble of one data byte and the
        // high nibble of the next; one pixel past the run may be touched.
        std::uint8_t* d = NibbleByte(row.bits, x);
        d[0] = static_cast<std::uint8_t>((d[0] & 0xF0) | p[0] >> 4);
        for (int j = 0; j < n / 2; ++j)
            d[1 + j] = static_cast<std::uint8_t>(p[j] << 4 | p[j + 1] >> 4);
        x += n;
        p += Padded(bytes);
        return true;
    }
    return PutAbsoluteExact<4>(row, x, n, p, end);
}

// Decodes from the reader's cursor until rows done has grown by rowsPerStep or the image
// has ended; true when it has ended. The cursor is put behind what was used.
template <int kBits>
bool DecodeRows(StreamReader& in, BmpState& st, const BmpRows& rows, std::int64_t rowsPerStep) {
    const std::int64_t start = in.Position();
    const std::uint8_t* data = nullptr;
    const std::int64_t size = in.Span(&data, in.Remaining());
    const std::uint8_t* p = data;
    const std::uint8_t* const end = data + size;
    std::int64_t x = st.x;
    std::int64_t rowsDone = st.rowsDone;
    const std::int64_t stop = rowsDone + rowsPerStep;
    RowView row = RowAt<kBits>(rows, rowsDone);
    bool ended = false;
    while (rowsDone < stop) {
        if (end - p < 2) {
            ended = true;
            break;
        }
        const std::uint8_t count = p[0];
        const std::uint8_t value = p[1];
        p += 2;
        if (count > 0) {
            if (kBits == 8) {
                PutRun8(row, x, count, value);
            } else {
                PutRun4(row, x, count, value);
            }
            x += count;
            continue;
        }
        if (value > kDelta) {
            const bool placed = kBits == 8 ? PutAbsolute8(row, x, value, p, end)
                                           : PutAbsolute4(row, x, value, p, end);
            if (!placed) {
                ended = true;
                break;
            }
            continue;
        }
        ClearReach<kBits>(row, x);
        if (value == kEndOfBitmap) {
            ended = true;
            break;
        }
        if (value == kEndOfLine) {
            ++rowsDone;
            x = 0;
        } else {
            if (end - p < 2) {
                ended = true;
                break;
            }
            x += p[0];
            rowsDone += p[1];
            p += 2;
        }
        row = RowAt<kBits>(rows, rowsDone);
        if (rowsDone >= rows.height) {
            ended = true;
            break;
        }
    }
    ClearReach<kBits>(row, x);
    st.x = x;
    st.rowsDone = rowsDone;
    in.Seek(start + (p - data));
    return ended;
}

}  // namespace

bool BmpDecodeRle(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits,
                  std::int64_t rowsPerStep) {
    return pixelBits == 8 ? DecodeRows<8>(in, st, rows, rowsPerStep)
                          : DecodeRows<4>(in, st, rows, rowsPerStep);
}

}  // namespace imagelib
