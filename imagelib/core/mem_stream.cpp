// In-memory streams: the whole source is read once into a tracked block, then read,
// positioned and asked for its position like a file stream.
#include "core/mem_stream.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "win32/wide_files.h"

namespace imagelib {
namespace {

std::intptr_t Address(const std::uint8_t* p) {
    return reinterpret_cast<std::intptr_t>(p);
}

// The cursor is kept as a plain address so that a seek outside the data is no pointer
// arithmetic beyond the block; it is dereferenced only after the bounds check of Read.
std::uint8_t* At(const std::uint8_t* base, std::int64_t offset) {
    return reinterpret_cast<std::uint8_t*>(Address(base) + static_cast<std::intptr_t>(offset));
}

std::int64_t Position(const ImageMemStream* s) {
    return Address(s->cursor) - Address(s->base);
}

// The size of an open file, or -1 when it cannot be found or is too large for a stream.
std::int64_t FileSize(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(f);
    if (end < 0 || end > static_cast<std::int64_t>(kMaxBlockBytes) ||
        std::fseek(f, 0, SEEK_SET) != 0)
        return -1;
    return end;
}

ImageMemStream* NewStream(std::int64_t size) {
    if (size <= 0 || size > static_cast<std::int64_t>(kMaxBlockBytes))
        return nullptr;
    auto* s = static_cast<ImageMemStream*>(ImageAlloc(sizeof(ImageMemStream)));
    if (s == nullptr)
        return nullptr;
    s->base = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(size)));
    if (s->base == nullptr) {
        ImageFree(s);
        return nullptr;
    }
    s->cursor = s->base;
    s->size = static_cast<std::int32_t>(size);
    return s;
}

ImageMemStream* OpenFile(const wchar_t* path, const wchar_t* mode, int* code) {
    *code = kNotFound;
    struct _stat st;
    if (path == nullptr || _wstat(path, &st) != 0)
        return nullptr;
    std::FILE* f = _wfopen(path, mode);
    if (f == nullptr)
        return nullptr;
    ImageMemStream* s = nullptr;
    const std::int64_t size = FileSize(f);
    if (size > 0) {
        s = NewStream(size);
        if (s == nullptr)
            *code = kOutOfMemory;
    }
    // A short read would hand on zeros as if they were the file's: the open fails instead.
    if (s != nullptr && std::fread(s->base, 1, static_cast<std::size_t>(size), f) !=
                            static_cast<std::size_t>(size)) {
        ImageMemStreamFree(s);
        s = nullptr;
    }
    std::fclose(f);
    return s;
}

}  // namespace

ImageMemStream* ImageMemStreamOpenSource(const wchar_t* path, const void* buf, std::uint32_t len,
                                         const wchar_t* mode, int* code) {
    int unused = kOk;
    code = code != nullptr ? code : &unused;
    if (buf == nullptr || len == 0)
        return OpenFile(path, mode, code);
    ImageMemStream* s = NewStream(len);
    *code = s != nullptr ? kOk : kOutOfMemory;
    if (s != nullptr)
        HugeMemCopy(s->base, buf, static_cast<std::int32_t>(len));
    return s;
}

ImageMemStream* ImageMemStreamOpen(const wchar_t* path, const void* buf, std::uint32_t len,
                                   const wchar_t* mode) {
    return ImageMemStreamOpenSource(path, buf, len, mode, nullptr);
}

std::int32_t ImageMemStreamRead(void* dst, std::uint32_t elementSize, std::uint32_t count,
                                ImageMemStream* s) {
    if (s == nullptr)
        return -1;
    const std::int64_t position = Position(s);
    // Nothing is read from before the data or for elements of no size.
    if (elementSize == 0 || position < 0)
        return 0;
    const std::int64_t remaining = static_cast<std::int64_t>(s->size) - position;
    const std::int64_t want = static_cast<std::int64_t>(elementSize) * count;
    const std::int64_t k = want < remaining ? want : remaining;
    // k > 0 means position + k lies inside the data, so the copy stays in the block.
    if (k > 0)
        HugeMemCopy(dst, s->cursor, static_cast<std::int32_t>(k));
    // A cursor past the end comes back to the end; the result is then negative.
    s->cursor = At(s->cursor, k);
    return static_cast<std::int32_t>(k / static_cast<std::int64_t>(elementSize));
}

std::int32_t ImageMemStreamSeek(ImageMemStream* s, std::int32_t offset, std::int16_t origin) {
    if (s == nullptr)
        return -1;
    std::int64_t position = offset;
    if (origin == kSeekCur) {
        position += Position(s);
    } else if (origin != kSeekSet) {
        return -1;
    }
    // Positions are 32-bit: a seek beyond that range stops at its edge, so that reads and
    // tells never see a position that wrapped into (or past) the data.
    position = std::clamp<std::int64_t>(position, INT32_MIN, INT32_MAX);
    s->cursor = At(s->base, position);
    return 0;
}

std::int32_t ImageMemStreamTell(const ImageMemStream* s) {
    if (s == nullptr)
        return -1;
    return static_cast<std::int32_t>(Position(s));
}

std::int32_t ImageMemStreamFree(ImageMemStream* s) {
    if (s == nullptr)
        return -1;
    ImageFree(s->base);
    ImageFree(s);
    return 0;
}

}  // namespace imagelib
