#include "core/stream_reader.h"

#include <cstring>

namespace imagelib {

std::int64_t StreamReader::Size() const {
    return s_ == nullptr ? 0 : s_->size;
}

std::int64_t StreamReader::Position() const {
    if (s_ == nullptr)
        return 0;
    // Plain address arithmetic: the cursor may lie outside the block after a stream seek.
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(s_->cursor) -
                                     reinterpret_cast<std::intptr_t>(s_->base));
}

std::int64_t StreamReader::Remaining() const {
    const std::int64_t pos = Position();
    if (s_ == nullptr || pos < 0 || pos > s_->size)
        return 0;
    return s_->size - pos;
}

bool StreamReader::Seek(std::int64_t offset) {
    if (s_ == nullptr || offset < 0 || offset > s_->size)
        return false;
    s_->cursor = s_->base + offset;
    return true;
}

bool StreamReader::Skip(std::int64_t n) {
    if (n < 0 || n > Remaining())
        return false;
    s_->cursor += n;
    return true;
}

bool StreamReader::Read(void* dst, std::int64_t n) {
    if (n < 0 || n > Remaining())
        return false;
    if (n > 0) {
        std::memcpy(dst, s_->cursor, static_cast<std::size_t>(n));
        s_->cursor += n;
    }
    return true;
}

std::int64_t StreamReader::ReadSome(void* dst, std::int64_t n) {
    const std::uint8_t* p = nullptr;
    const std::int64_t k = Span(&p, n);
    if (k > 0)
        std::memcpy(dst, p, static_cast<std::size_t>(k));
    return k;
}

std::int64_t StreamReader::Span(const std::uint8_t** p, std::int64_t n) {
    const std::int64_t rest = Remaining();
    const std::int64_t k = n < 0 ? 0 : (n < rest ? n : rest);
    *p = k > 0 ? s_->cursor : nullptr;
    if (k > 0)
        s_->cursor += k;
    return k;
}

bool StreamReader::U8(std::uint8_t* v) {
    return Read(v, 1);
}

bool StreamReader::U16LE(std::uint16_t* v) {
    std::uint8_t b[2];
    if (!Read(b, 2))
        return false;
    *v = LoadU16LE(b);
    return true;
}

bool StreamReader::U16BE(std::uint16_t* v) {
    std::uint8_t b[2];
    if (!Read(b, 2))
        return false;
    *v = LoadU16BE(b);
    return true;
}

bool StreamReader::U32LE(std::uint32_t* v) {
    std::uint8_t b[4];
    if (!Read(b, 4))
        return false;
    *v = LoadU32LE(b);
    return true;
}

bool StreamReader::U32BE(std::uint32_t* v) {
    std::uint8_t b[4];
    if (!Read(b, 4))
        return false;
    *v = LoadU32BE(b);
    return true;
}

}  // namespace imagelib
