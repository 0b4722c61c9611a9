// The one reader every driver reads its data through: a checked cursor over the load's
// memory stream. A read either delivers all it was asked for or reports false and leaves
// the cursor where it was, so a short file is always visible to the driver that read it.
// Where a format says that missing data reads as zero, the driver asks for ReadSome and
// zero-fills the rest itself, on purpose and in one place.
#pragma once

#include <cstdint>

#include "core/mem_stream.h"

namespace imagelib {

class StreamReader {
  public:
    explicit StreamReader(ImageMemStream* s = nullptr) : s_(s) {}

    ImageMemStream* Stream() const { return s_; }
    // Bytes of the whole data.
    std::int64_t Size() const;
    // Offset of the cursor from the start of the data; may lie outside it after a stream seek.
    std::int64_t Position() const;
    // Bytes from the cursor to the end of the data; 0 when the cursor is outside the data.
    std::int64_t Remaining() const;

    // Moves the cursor to offset; false (cursor unchanged) for an offset outside 0..Size().
    bool Seek(std::int64_t offset);
    // Moves the cursor n bytes on; false (cursor unchanged) when fewer than n remain.
    bool Skip(std::int64_t n);

    // Exactly n bytes into dst; false (nothing copied, cursor unchanged) when fewer remain.
    bool Read(void* dst, std::int64_t n);
    // Up to n bytes into dst: the count copied (0 at the end or for a cursor outside).
    std::int64_t ReadSome(void* dst, std::int64_t n);
    // Up to n bytes at the cursor without copying: *p points at them, the count available
    // is returned and the cursor moves past them.
    std::int64_t Span(const std::uint8_t** p, std::int64_t n);

    bool U8(std::uint8_t* v);
    bool U16LE(std::uint16_t* v);
    bool U16BE(std::uint16_t* v);
    bool U32LE(std::uint32_t* v);
    bool U32BE(std::uint32_t* v);

  private:
    ImageMemStream* s_;  // not owned
};

// Little- and big-endian values of bytes already in memory (checked by their caller).
inline std::uint16_t LoadU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint16_t LoadU16BE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline std::uint32_t LoadU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint32_t LoadU32BE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

}  // namespace imagelib
