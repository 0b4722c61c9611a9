// The TIFF directory reader: the file header and one image file directory, and the
// look-ups the driver asks of it. An entry's values are read where they lie in the
// stream's data, when they are looked up: a directory costs its own record whatever its
// entries declare. Nothing is kept between calls; the caller frees what it opened, and
// keeps the stream while the directory is in use.
#pragma once

#include <cstdint>
#include <memory>

#include "core/mem_stream.h"

namespace imagelib {

// Results of the directory reader (the driver maps them to its own codes).
constexpr int kTiffDirOk = 0;
constexpr int kTiffDirNoMemory = 1;
constexpr int kTiffDirBadVersion = 2;
constexpr int kTiffDirTooManyEntries = 3;
constexpr int kTiffDirMissing = 5;

constexpr int kTiffMaxEntries = 200;
constexpr std::uint16_t kTiffVersion = 42;
constexpr std::uint16_t kTiffFirstPrivateTag = 0x8000;

// Field types whose values the look-ups answer; the others read as 0.
constexpr std::uint16_t kTiffByte = 1;
constexpr std::uint16_t kTiffAscii = 2;
constexpr std::uint16_t kTiffShort = 3;
constexpr std::uint16_t kTiffLong = 4;
constexpr std::uint16_t kTiffRational = 5;
constexpr std::uint16_t kTiffSByte = 6;
constexpr std::uint16_t kTiffUndefined = 7;
constexpr std::uint16_t kTiffSShort = 8;
constexpr std::uint16_t kTiffSLong = 9;
constexpr std::uint16_t kTiffSRational = 10;
constexpr std::uint16_t kTiffFloat = 11;
constexpr std::uint16_t kTiffDouble = 12;

struct TiffEntry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;  // as the file says (a ColorMap's taken as per colour is tripled)
    // Values present in the file, at most count: those beyond the end of the data, and
    // all of a private tag's or a FLOAT or DOUBLE entry's, are not held and read as 0.
    std::uint32_t held;
    // The held values' bytes in the data (the last value may be cut off by the end of the
    // data: its missing bytes read as 0), and where the first lies; null when none.
    std::uint32_t bytes;
    const std::uint8_t* values;
    bool bigEndian;
};

struct TiffDirectory {
    std::uint16_t entryCount;
    TiffEntry entries[kTiffMaxEntries];
};

struct TiffFile {
    std::uint16_t byteOrder;  // the first two bytes as read
    std::uint16_t version;
    TiffDirectory* directory;
};

// Values of the file's byte order; missing bytes at the end of the data read as 0.
std::uint16_t TiffReadU16(ImageMemStream* s, bool bigEndian);
std::uint32_t TiffReadU32(ImageMemStream* s, bool bigEndian);
std::uint32_t TiffTypeSize(std::uint16_t type);

// Opens the file at the stream's cursor and reads directory number index (0 for the
// first): kTiffDirOk with *out set, or kTiffDirNoMemory, kTiffDirBadVersion,
// kTiffDirTooManyEntries, kTiffDirMissing with nothing left allocated.
int TiffOpenDirectory(ImageMemStream* s, int index, TiffFile** out);
int TiffReadDirectory(ImageMemStream* s, bool bigEndian, TiffDirectory** out);
// The entry at the cursor; the cursor moves on to the next one.
void TiffReadEntry(ImageMemStream* s, bool bigEndian, TiffEntry* entry);
// Passes over the directory at the cursor to the next one; false when there is none.
bool TiffSkipDirectory(ImageMemStream* s, bool bigEndian);

// The first entry with the tag in file order, or null.
const TiffEntry* TiffFindTag(const TiffDirectory* d, std::uint16_t tag);
// Value i as an i32; 0 for types without numeric values and for i beyond the values held.
std::int32_t TiffEntryValue(const TiffEntry* e, std::uint32_t i);
std::int32_t TiffEntryFirstValue(const TiffEntry* e);
// The tag's first value, or fallback when the tag is absent.
std::int32_t TiffTagValue(const TiffDirectory* d, std::uint16_t tag, std::int32_t fallback);

void TiffFreeDirectory(TiffDirectory* d);
void TiffFreeFile(TiffFile* f);

struct TiffFileDeleter {
    void operator()(TiffFile* f) const { TiffFreeFile(f); }
};
using TiffFilePtr = std::unique_ptr<TiffFile, TiffFileDeleter>;

}  // namespace imagelib
