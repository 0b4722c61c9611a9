// The TIFF directory reader. Every read goes through the stream's checked reader: bytes
// missing at the end of the data read as 0. An entry points at its values in the data and
// holds only those that lie inside it, so no look-up ever reads outside what the file
// holds, and a directory whose entries declare billions of values costs nothing more.
#include "formats/tiff/tiff_directory.h"

#include <algorithm>
#include <cstring>

#include "core/stream_reader.h"
#include "core/tracked_memory.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kBigEndianMark = 0x4D;  // "MM"
constexpr std::uint32_t kEntryBytes = 12;
constexpr std::uint32_t kValueFieldBytes = 4;
constexpr std::uint16_t kColorMapTag = 320;

// n bytes at the cursor; those beyond the end of the data are 0.
void ReadZeroFilled(ImageMemStream* s, std::uint8_t* dst, std::int64_t n) {
    StreamReader r(s);
    const std::int64_t k = r.ReadSome(dst, n);
    std::memset(dst + k, 0, static_cast<std::size_t>(n - k));
}

// Moves the cursor to an offset from the start; one beyond the data leaves it at the end,
// so that later reads are empty.
void SeekOrEnd(ImageMemStream* s, std::uint64_t offset) {
    StreamReader r(s);
    r.Seek(static_cast<std::int64_t>(std::min<std::uint64_t>(offset, r.Size())));
}

std::uint16_t U16Of(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadU16BE(p) : LoadU16LE(p);
}

std::uint32_t U32Of(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadU32BE(p) : LoadU32LE(p);
}

}  // namespace

std::uint16_t TiffReadU16(ImageMemStream* s, bool bigEndian) {
    std::uint8_t b[2];
    ReadZeroFilled(s, b, sizeof b);
    return U16Of(b, bigEndian);
}

std::uint32_t TiffReadU32(ImageMemStream* s, bool bigEndian) {
    std::uint8_t b[4];
    ReadZeroFilled(s, b, sizeof b);
    return U32Of(b, bigEndian);
}

std::uint32_t TiffTypeSize(std::uint16_t type) {
    switch (type) {
        case kTiffShort:
        case kTiffSShort:
            return 2;
        case kTiffLong:
        case kTiffSLong:
        case kTiffFloat:
            return 4;
        case kTiffRational:
        case kTiffSRational:
        case kTiffDouble:
            return 8;
        default:
            return 1;
    }
}

void TiffReadEntry(ImageMemStream* s, bool bigEndian, TiffEntry* entry) {
    const std::int64_t at = StreamReader(s).Position();
    std::uint8_t raw[kEntryBytes];
    ReadZeroFilled(s, raw, sizeof raw);
    *entry = TiffEntry{U16Of(raw, bigEndian),
                       U16Of(raw + 2, bigEndian),
                       U32Of(raw + 4, bigEndian),
                       0,
                       0,
                       nullptr,
                       bigEndian};
    // The next entry follows this one's value field.
    SeekOrEnd(s, static_cast<std::uint64_t>(at) + kEntryBytes);
    // Private tags are never looked up: their values are passed over unread.
    if (entry->tag >= kTiffFirstPrivateTag)
        return;
    std::uint64_t count = entry->count;
    // A ColorMap count that is not a multiple of 3 counts the values of one colour.
    if (entry->tag == kColorMapTag && count % 3 != 0)
        count *= 3;
    entry->count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, UINT32_MAX));
    if (entry->type == kTiffFloat || entry->type == kTiffDouble || entry->count == 0)
        return;
    const std::uint32_t typeSize = TiffTypeSize(entry->type);
    const std::uint64_t size = std::uint64_t{entry->count} * typeSize;
    // Up to 4 bytes lie in the value field itself, more at the offset it holds. Only the
    // values that lie inside the data are held.
    const std::uint64_t field = static_cast<std::uint64_t>(at) + kEntryBytes - kValueFieldBytes;
    const std::uint64_t start = size > kValueFieldBytes ? U32Of(raw + 8, bigEndian) : field;
    StreamReader r(s);
    const auto dataSize = static_cast<std::uint64_t>(r.Size());
    if (start >= dataSize)
        return;
    // Both are below the data's size, which fits 32 bits.
    const std::uint64_t bytes = std::min(size, dataSize - start);
    entry->held = static_cast<std::uint32_t>((bytes + typeSize - 1) / typeSize);
    entry->bytes = static_cast<std::uint32_t>(bytes);
    entry->values = s->base + start;
}

int TiffReadDirectory(ImageMemStream* s, bool bigEndian, TiffDirectory** out) {
    *out = nullptr;
    auto* d = static_cast<TiffDirectory*>(ImageAlloc(sizeof(TiffDirectory)));
    if (d == nullptr)
        return kTiffDirNoMemory;
    // The count is compared as a signed 16-bit number: 0x8000 and more is an empty directory.
    const auto count = static_cast<std::int16_t>(TiffReadU16(s, bigEndian));
    if (count > kTiffMaxEntries) {
        ImageFree(d);
        return kTiffDirTooManyEntries;
    }
    for (int i = 0; i < count; ++i)
        TiffReadEntry(s, bigEndian, &d->entries[i]);
    d->entryCount = static_cast<std::uint16_t>(std::max<int>(count, 0));
    *out = d;
    return kTiffDirOk;
}

bool TiffSkipDirectory(ImageMemStream* s, bool bigEndian) {
    const auto count = static_cast<std::int16_t>(TiffReadU16(s, bigEndian));
    // A negative count is an empty directory, as when the directory is read.
    const std::int64_t entries = std::max<std::int16_t>(count, 0);
    SeekOrEnd(s, static_cast<std::uint64_t>(StreamReader(s).Position() + entries * kEntryBytes));
    const std::uint32_t next = TiffReadU32(s, bigEndian);
    if (next == 0)
        return false;
    SeekOrEnd(s, next);
    return true;
}

int TiffOpenDirectory(ImageMemStream* s, int index, TiffFile** out) {
    *out = nullptr;
    auto* f = static_cast<TiffFile*>(ImageAlloc(sizeof(TiffFile)));
    if (f == nullptr)
        return kTiffDirNoMemory;
    std::uint8_t order[2];
    ReadZeroFilled(s, order, sizeof order);
    const bool bigEndian = order[0] == kBigEndianMark && order[1] == kBigEndianMark;
    f->byteOrder = LoadU16LE(order);
    f->version = TiffReadU16(s, bigEndian);
    if (f->version != kTiffVersion) {
        ImageFree(f);
        return kTiffDirBadVersion;
    }
    SeekOrEnd(s, TiffReadU32(s, bigEndian));
    for (int i = 0; i < index; ++i) {
        if (!TiffSkipDirectory(s, bigEndian)) {
            ImageFree(f);
            return kTiffDirMissing;
        }
    }
    const int r = TiffReadDirectory(s, bigEndian, &f->directory);
    if (r != kTiffDirOk) {
        ImageFree(f);
        return r;
    }
    *out = f;
    return kTiffDirOk;
}

const TiffEntry* TiffFindTag(const TiffDirectory* d, std::uint16_t tag) {
    for (int i = 0; i < d->entryCount; ++i) {
        if (d->entries[i].tag == tag)
            return &d->entries[i];
    }
    return nullptr;
}

std::int32_t TiffEntryValue(const TiffEntry* e, std::uint32_t i) {
    if (i >= e->held)
        return 0;
    const std::uint32_t size = TiffTypeSize(e->type);
    // i is below held, so the value starts inside the held bytes; a value cut off at the
    // end of the data has its missing bytes 0.
    const std::uint64_t at = std::uint64_t{i} * size;
    std::uint8_t b[4] = {};
    if (size <= sizeof b)
        std::memcpy(b, e->values + at, std::min<std::uint64_t>(size, e->bytes - at));
    switch (e->type) {
        case kTiffByte:
            return b[0];
        case kTiffSByte:
            return static_cast<std::int8_t>(b[0]);
        case kTiffShort:
            return U16Of(b, e->bigEndian);
        case kTiffSShort:
            return static_cast<std::int16_t>(U16Of(b, e->bigEndian));
        case kTiffLong:
        case kTiffSLong:
            return static_cast<std::int32_t>(U32Of(b, e->bigEndian));
        default:
            return 0;
    }
}

std::int32_t TiffEntryFirstValue(const TiffEntry* e) {
    return TiffEntryValue(e, 0);
}

std::int32_t TiffTagValue(const TiffDirectory* d, std::uint16_t tag, std::int32_t fallback) {
    const TiffEntry* e = TiffFindTag(d, tag);
    return e != nullptr ? TiffEntryFirstValue(e) : fallback;
}

void TiffFreeDirectory(TiffDirectory* d) {
    ImageFree(d);
}

void TiffFreeFile(TiffFile* f) {
    if (f == nullptr)
        return;
    TiffFreeDirectory(f->directory);
    ImageFree(f);
}

}  // namespace imagelib
