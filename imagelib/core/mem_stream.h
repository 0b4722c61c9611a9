// An in-memory copy of a whole image source, read like a file stream. Drivers read it
// through a StreamReader (core/stream_reader.h).
#pragma once

#include <cstdint>

namespace imagelib {

struct ImageMemStream {
    std::uint8_t* base;    // first byte of the data (a tracked block owned by the stream)
    std::uint8_t* cursor;  // next byte to read; may lie outside the data after a seek
    std::int32_t size;     // bytes of data
};

// A copy of buf when buf is not null and len is not 0, else the file at path. Null when
// the source cannot be read whole (missing, empty, unreadable, 2 GiB or more, short read).
ImageMemStream* ImageMemStreamOpen(const wchar_t* path, const void* buf, std::uint32_t len,
                                   const wchar_t* mode);
// The same, telling why it failed: *code is 3 when the file is missing, empty, unreadable
// or too large, and 1 when memory runs out while the source is copied.
ImageMemStream* ImageMemStreamOpenSource(const wchar_t* path, const void* buf, std::uint32_t len,
                                         const wchar_t* mode, int* code);
// Whole elements read, or -1 for a null stream.
std::int32_t ImageMemStreamRead(void* dst, std::uint32_t elementSize, std::uint32_t count,
                                ImageMemStream* s);
constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
std::int32_t ImageMemStreamSeek(ImageMemStream* s, std::int32_t offset, std::int16_t origin);
std::int32_t ImageMemStreamTell(const ImageMemStream* s);
std::int32_t ImageMemStreamFree(ImageMemStream* s);

const wchar_t* ImageFileExtension(const wchar_t* path);
bool ImageNameMatch(const wchar_t* a, const wchar_t* b, std::uint32_t n);

}  // namespace imagelib
