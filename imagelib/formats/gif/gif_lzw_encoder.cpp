// The GIF LZW encoder. Strings live back to back in one 64,000-byte store (code u16, length
// u8, pixels) and are found by hashing into 8,193 slots with linear probing; a string is
// at most 61 pixels, so an entry never passes 64 bytes and the table stays under half full.
#include "formats/gif/gif_lzw_encoder.h"

#include <cstring>

#include "core/result_codes.h"
#include "core/tracked_memory.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kStoreBytes = 64000;
constexpr std::uint32_t kSlotCount = 8193;
constexpr std::uint32_t kEntryHeader = 3;     // code u16 and length u8
constexpr std::uint32_t kMaxEntryBytes = 64;  // a 61-pixel string and its header
constexpr int kMaxStringPixels = 61;
// The last code assigned before a reset; the decoder's table then never reaches 4096.
constexpr std::uint32_t kMaxAssignedCode = 4093;
constexpr int kMaxCodeWidth = 12;
// The string hash: each pixel xor-ed in, then a multiplication by an odd number, which
// loses nothing. (A product of pixel-dependent factors gathers factors of two until every
// string of 30 pixels or more hashes alike, and flat images probe one long chain.)
constexpr std::uint32_t kHashSeed = 2166136261u;
constexpr std::uint32_t kHashPrime = 16777619u;

std::uint32_t HashPixel(std::uint32_t hash, std::uint8_t p) {
    return (hash ^ p) * kHashPrime;
}

// Slots hold the entry's store offset + 1; 0 is an empty slot.
using Slot = std::uint16_t;
static_assert(kStoreBytes + 1 <= 0xFFFF, "store offsets fit a slot");

// The encoder's two tracked blocks, freed on every path.
class EncoderTables {
  public:
    EncoderTables() {
        store_ = static_cast<std::uint8_t*>(ImageAlloc(kStoreBytes));
        if (store_ != nullptr)
            slots_ = static_cast<Slot*>(ImageAlloc(kSlotCount * sizeof(Slot)));
    }
    ~EncoderTables() { Free(); }
    EncoderTables(const EncoderTables&) = delete;
    EncoderTables& operator=(const EncoderTables&) = delete;

    bool ok() const { return slots_ != nullptr; }
    std::uint8_t* store() const { return store_; }
    Slot* slots() const { return slots_; }
    void ClearSlots() { std::memset(slots_, 0, kSlotCount * sizeof(Slot)); }
    void Free() {
        ImageFree(slots_);
        ImageFree(store_);
        slots_ = nullptr;
        store_ = nullptr;
    }

  private:
    std::uint8_t* store_ = nullptr;
    Slot* slots_ = nullptr;
};

std::uint8_t PixelAt(const std::uint8_t* row, std::uint32_t x, int bits) {
    switch (bits) {
        case 8:
            return row[x];
        case 4:
            return (x & 1) != 0 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        default:
            return (row[x / 8] >> (7 - (x & 7))) & 1;
    }
}

// One image's encoding state between pixels.
class LzwEncoder {
  public:
    LzwEncoder(std::FILE* file, EncoderTables* tables, int bitsPerPixel)
        : tables_(tables),
          initialWidth_(bitsPerPixel == 1 ? 3 : bitsPerPixel + 1),
          clear_(1u << (initialWidth_ - 1)),
          end_(clear_ + 1) {
        writer_.file = file;
        writer_.bitPosition = 0;
        writer_.codeWidth = initialWidth_;
        std::memset(writer_.buffer, 0, sizeof(writer_.buffer));
    }

    int minimumCodeSize() const { return initialWidth_ - 1; }
    bool Start() {
        Reset();
        return GifPutCode(static_cast<std::uint16_t>(clear_), &writer_);
    }
    bool AddPixel(std::uint8_t p);
    bool Finish();

  private:
    void Reset() {
        count_ = 0;
        storeUsed_ = 0;
        tables_->ClearSlots();
        writer_.codeWidth = initialWidth_;
        pending_[0] = 0;
    }
    void StartString(std::uint8_t p) {
        pending_[0] = 1;
        pending_[1] = p;
        code_ = p;
        hash_ = HashPixel(kHashSeed, p);
    }
    // The slot holding the pending string, or the empty slot where it would go.
    std::uint32_t Probe(bool* found) const;
    // The width the decoder reads at after it has taken the codes written so far: it adds
    // entry end + count + 1 for the code just written, and grows when that fills its width.
    void WidenForDecoderAfterLastCode() {
        if (end_ + count_ + 1 == (1u << writer_.codeWidth) && writer_.codeWidth < kMaxCodeWidth)
            ++writer_.codeWidth;
    }

    GifCodeWriter writer_;
    EncoderTables* tables_;
    const int initialWidth_;
    const std::uint32_t clear_;
    const std::uint32_t end_;
    std::uint32_t count_ = 0;      // codes assigned since the last clear
    std::uint32_t storeUsed_ = 0;  // bytes of the store in use
    std::uint32_t hash_ = 0;
    std::uint32_t code_ = 0;  // the pending string's code
    // The pending string as an entry compares: length, then pixels.
    std::uint8_t pending_[1 + kMaxStringPixels] = {};
};

std::uint32_t LzwEncoder::Probe(bool* found) const {
    const std::uint8_t* store = tables_->store();
    const Slot* slots = tables_->slots();
    std::uint32_t slot = (hash_ ^ hash_ >> 16) % kSlotCount + 1;
    if (slot == kSlotCount)
        slot = 0;
    const std::size_t compared = std::size_t{pending_[0]} + 1;
    // The table is never half full, so an empty slot always ends the probe.
    for (;;) {
        if (slots[slot] == 0) {
            *found = false;
            return slot;
        }
        const std::uint8_t* entry = store + slots[slot] - 1;
        if (std::memcmp(entry + 2, pending_, compared) == 0) {
            *found = true;
            return slot;
        }
        slot = slot + 1 == kSlotCount ? 0 : slot + 1;
    }
}

bool LzwEncoder::AddPixel(std::uint8_t p) {
    const std::uint32_t n = pending_[0] + 1u;
    if (n == 1) {
        StartString(p);
        return true;
    }
    pending_[n] = p;
    pending_[0] = static_cast<std::uint8_t>(n);
    hash_ = HashPixel(hash_, p);
    bool found = false;
    const std::uint32_t slot = Probe(&found);
    if (found && n + kEntryHeader < kMaxEntryBytes) {
        const std::uint8_t* entry = tables_->store() + tables_->slots()[slot] - 1;
        code_ = entry[0] | entry[1] << 8;
        return true;
    }
    if (!GifPutCode(static_cast<std::uint16_t>(code_), &writer_))
        return false;
    ++count_;
    if (!found) {
        std::uint8_t* entry = tables_->store() + storeUsed_;
        const std::uint32_t code = end_ + count_;
        entry[0] = static_cast<std::uint8_t>(code);
        entry[1] = static_cast<std::uint8_t>(code >> 8);
        std::memcpy(entry + 2, pending_, n + 1);
        tables_->slots()[slot] = static_cast<Slot>(storeUsed_ + 1);
        storeUsed_ += n + kEntryHeader;
    }
    StartString(p);
    if (end_ + count_ == (1u << writer_.codeWidth))
        ++writer_.codeWidth;
    if (end_ + count_ > kMaxAssignedCode || storeUsed_ + kMaxEntryBytes > kStoreBytes) {
        if (!GifPutCode(static_cast<std::uint16_t>(code_), &writer_))
            return false;
        // A reset at the code that assigns 511, 1023 or 2047: the decoder has grown its
        // width by the time it reads the clear code.
        WidenForDecoderAfterLastCode();
        if (!GifPutCode(static_cast<std::uint16_t>(clear_), &writer_))
            return false;
        Reset();
    }
    return true;
}

bool LzwEncoder::Finish() {
    tables_->Free();
    if (pending_[0] != 0) {
        if (!GifPutCode(static_cast<std::uint16_t>(code_), &writer_))
            return false;
        // As for a clear code: the end code goes at the width the decoder reads.
        WidenForDecoderAfterLastCode();
    }
    return GifPutCode(static_cast<std::uint16_t>(end_), &writer_) && GifFlushCodes(&writer_);
}

}  // namespace

bool GifPutCode(std::uint16_t code, GifCodeWriter* writer) {
    const std::int32_t index = writer->bitPosition / 8;
    const std::uint32_t bits = std::uint32_t{code} << (writer->bitPosition % 8);
    writer->buffer[index] |= static_cast<std::uint8_t>(bits);
    writer->buffer[index + 1] |= static_cast<std::uint8_t>(bits >> 8);
    writer->buffer[index + 2] |= static_cast<std::uint8_t>(bits >> 16);
    writer->bitPosition += writer->codeWidth;
    if (writer->bitPosition < kGifSubBlockBits)
        return true;
    const std::uint8_t size = kGifSubBlockBytes;
    if (std::fwrite(&size, 1, 1, writer->file) != 1 ||
        std::fwrite(writer->buffer, 1, kGifSubBlockBytes, writer->file) != kGifSubBlockBytes)
        return false;
    writer->buffer[0] = writer->buffer[kGifSubBlockBytes];
    writer->buffer[1] = writer->buffer[kGifSubBlockBytes + 1];
    std::memset(writer->buffer + 2, 0, sizeof(writer->buffer) - 2);
    writer->bitPosition -= kGifSubBlockBits;
    return true;
}

bool GifFlushCodes(GifCodeWriter* writer) {
    const std::int32_t bytes = (writer->bitPosition + 7) / 8;
    if (bytes > 0) {
        const std::uint8_t size = static_cast<std::uint8_t>(bytes);
        if (std::fwrite(&size, 1, 1, writer->file) != 1 ||
            std::fwrite(writer->buffer, 1, bytes, writer->file) != static_cast<std::size_t>(bytes))
            return false;
    }
    const std::uint8_t terminator = 0;
    return std::fwrite(&terminator, 1, 1, writer->file) == 1;
}

int GifEncodeImage(std::FILE* file, const GifPixelRows& image) {
    EncoderTables tables;
    if (!tables.ok())
        return kOutOfMemory;
    LzwEncoder encoder(file, &tables, image.bitsPerPixel);
    const std::uint8_t codeSize = static_cast<std::uint8_t>(encoder.minimumCodeSize());
    if (std::fwrite(&codeSize, 1, 1, file) != 1 || !encoder.Start())
        return kWriteError;
    // The last row in memory is the top of the image.
    for (std::uint32_t r = image.height; r-- > 0;) {
        const std::uint8_t* row = image.rows + r * image.stride;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            if (!encoder.AddPixel(PixelAt(row, x, image.bitsPerPixel)))
                return kWriteError;
        }
    }
    return encoder.Finish() ? kOk : kWriteError;
}

}  // namespace imagelib
