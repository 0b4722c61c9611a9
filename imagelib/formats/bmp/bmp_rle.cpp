// Run-length decoders of the BMP driver (RLE8 and RLE4). The data comes from malformed
// files as often as from good ones: a pixel outside the image's width or rows is dropped,
// and the decoding ends when the rows or the data run out, end code or not. Runs and
// absolute runs are clipped once to the room their row has and then filled or copied
// whole.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/bmp/bmp_state.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

// The pixels at (row, x...) that the decoders may write: the row's start and how many
// pixels from x on lie inside both the image's width and the rows' total bytes.
struct Room {
    std::uint8_t* row = nullptr;
    std::int64_t pixels = 0;
};

Room RoomAt(const BmpRows& rows, int pixelBits, std::int64_t row, std::int64_t x) {
    Room room;
    if (row >= rows.height || x >= rows.width)
        return room;
    const std::int64_t offset = row * rows.stride;
    if (offset >= rows.total)
        return room;
    const std::int64_t perByte = 8 / pixelBits;
    room.row = rows.bits + offset;
    room.pixels = std::min(rows.width, (rows.total - offset) * perByte) - x;
    return room;
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

// An encoded run: count pixels; RLE4 alternates the high and the low nibble of value.
void PutRun(BmpState& st, const BmpRows& rows, int pixelBits, std::uint8_t count,
            std::uint8_t value) {
    const Room room = RoomAt(rows, pixelBits, st.rowsDone, st.x);
    const std::int64_t n = std::min<std::int64_t>(count, room.pixels);
    if (n > 0) {
        if (pixelBits == 8) {
            std::memset(room.row + st.x, value, static_cast<std::size_t>(n));
        } else {
            FillNibbles(room.row, st.x, n, static_cast<std::uint8_t>(value >> 4),
                        static_cast<std::uint8_t>(value & 0x0F));
        }
    }
    st.x += count;
}

// An absolute run of n pixels, padded to a 16-bit boundary in the data. An odd RLE4 run
// places only its own n pixels. The pixels that are there are placed; false when the
// data runs out.
bool PutAbsolute(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits, int n) {
    const std::int64_t bytes = pixelBits == 8 ? n : (n + 1) / 2;
    const std::uint8_t* src = nullptr;
    const std::int64_t got = in.Span(&src, bytes);
    const std::int64_t present = pixelBits == 8 ? got : std::min<std::int64_t>(n, got * 2);
    const Room room = RoomAt(rows, pixelBits, st.rowsDone, st.x);
    const std::int64_t k = std::min(present, room.pixels);
    if (k > 0) {
        if (pixelBits == 8) {
            std::memcpy(room.row + st.x, src, static_cast<std::size_t>(k));
        } else {
            CopyNibbles(room.row, st.x, k, src);
        }
    }
    st.x += n;
    if (got < bytes)
        return false;
    return bytes % 2 == 0 || in.Skip(1);
}

}  // namespace

bool BmpDecodeRle(StreamReader& in, BmpState& st, const BmpRows& rows, int pixelBits,
                  std::int64_t rowsPerStep) {
    const std::int64_t stop = st.rowsDone + rowsPerStep;
    while (st.rowsDone < stop) {
        const std::uint8_t* op = nullptr;
        if (in.Span(&op, 2) < 2)
            return true;
        const std::uint8_t count = op[0];
        const std::uint8_t value = op[1];
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
                const std::uint8_t* d = nullptr;
                if (in.Span(&d, 2) < 2)
                    return true;
                st.x += d[0];
                st.rowsDone += d[1];
                break;
            }
            default:
                if (!PutAbsolute(in, st, rows, pixelBits, value))
                    return true;
                break;
        }
        if (st.rowsDone >= rows.height)
            return true;
    }
    return false;
}

}  // namespace imagelib
