// The one walk over a GIF file's blocks, shared by the reader (single and animation mode),
// the frame counter and the frame splitter. It reads through a StreamReader over the whole
// file in memory and keeps nothing per block or sub-block: a block is described by where
// it lies and by the few bytes its users look at, so a walk costs no memory whatever the
// file holds, and a user that needs a block again walks again.
#pragma once

#include <cstdint>

#include "core/mem_stream.h"
#include "core/stream_reader.h"

namespace imagelib {

// Introducer bytes of the blocks, and the labels of the extensions that mean something.
constexpr std::uint8_t kGifExtension = 0x21;
constexpr std::uint8_t kGifImage = 0x2C;
constexpr std::uint8_t kGifTrailer = 0x3B;
constexpr std::uint8_t kGifGraphicControl = 0xF9;
constexpr std::uint8_t kGifApplication = 0xFF;

constexpr std::int64_t kGifSignatureBytes = 6;
constexpr std::int64_t kGifScreenBytes = 7;
constexpr std::int64_t kGifImageDescriptorBytes = 9;
// A sub-block's first bytes kept by the walk: the graphic control's packed byte, delay
// and transparent index, or a loop sub-block's 1 and loop count.
constexpr int kGifKeptBytes = 4;

// Signature, logical screen descriptor and global colour table.
struct GifHead {
    std::uint16_t screenWidth;
    std::uint16_t screenHeight;
    std::uint8_t packed;      // the screen descriptor's packed byte
    std::uint8_t background;  // background colour index
    std::int32_t tableBits;   // (packed & 7) + 1: the table holds 1 << bits entries
    bool hasTable;            // packed bit 7: the global table follows the descriptor
    std::int64_t table;       // offset of the global table
    std::int64_t end;         // offset just past the head
};

// One block: the introducer byte and what follows it.
struct GifBlock {
    std::uint8_t kind;       // introducer: kGifExtension, kGifImage, kGifTrailer or a stray byte
    std::int64_t start;      // offset of the introducer; -1 while none has been read
    std::int64_t end;        // offset just past the block (an image walked without its data:
                             // its minimum-code-size byte)
    std::int64_t subBlocks;  // data sub-blocks of an extension or an image (when walked)

    // Extension.
    std::uint8_t label;
    std::uint8_t firstLength;            // the first sub-block's length
    std::uint8_t first[kGifKeptBytes];   // the first sub-block's first bytes, zero beyond it
    std::uint8_t second[kGifKeptBytes];  // the second sub-block's, likewise

    // Image.
    std::uint16_t left;
    std::uint16_t top;
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t packed;       // the image descriptor's packed byte
    std::int32_t tableBits;    // local colour table's bits, 0 without one
    std::int64_t table;        // offset of the local colour table
    std::int64_t data;         // offset of the minimum-code-size byte
    std::uint8_t minCodeSize;  // when the data was walked
};

// What a graphic control extension says about the one image after it.
struct GifControl {
    bool present = false;      // a control block reaches the image
    bool transparent = false;  // packed bit 0
    std::uint8_t packed = 0;
    std::uint16_t delay = 0;  // hundredths of a second
    std::uint8_t transparentIndex = 0;
};

// The control of a graphic control extension block (its first sub-block's bytes).
GifControl GifControlOf(const GifBlock& block);
// True for a graphic control extension with data: the control of the next image.
bool GifIsControl(const GifBlock& block);

class GifWalker {
  public:
    explicit GifWalker(ImageMemStream* s) : in_(s) {}

    // From the data's start: signature, screen descriptor and global colour table; the
    // cursor is left at the first block. 0, 5 (not "GIF87a" or "GIF89a") or 7 (cut short).
    int ReadHead(GifHead* head);
    // The block at the cursor; the cursor is left after it. 0, or 7 when the data ends
    // inside it (block->start is then -1 if not even its introducer was there). With
    // imageData false an image's data is not walked: the cursor is left at its
    // minimum-code-size byte.
    int Next(GifBlock* block, bool imageData = true);

    // n bytes at offset, the cursor left where it was; false when the data ends first.
    bool ReadAt(std::int64_t offset, void* dst, std::int64_t n);
    std::int64_t Size() const { return in_.Size(); }

  private:
    int ReadImage(GifBlock* block, bool imageData);
    int ReadExtension(GifBlock* block);
    // Steps over data sub-blocks up to and including the terminator; the first two
    // sub-blocks' first bytes are kept when keep is true.
    int SkipSubBlocks(GifBlock* block, bool keep);

    StreamReader in_;
};

// Bytes of a colour table of bits (1 to 8) bits: 6 to 768.
inline std::int64_t GifTableBytes(std::int32_t bits) {
    return std::int64_t{3} << bits;
}

// The whole source of the counter and the splitter, read into memory and freed with its
// holder. get() is null when it cannot be read, *code then being 3 (missing or
// unreadable), 7 (an empty file, which opens and holds no signature) or 1 (out of memory).
class GifSource {
  public:
    GifSource(const wchar_t* path, int* code);
    ~GifSource();
    GifSource(const GifSource&) = delete;
    GifSource& operator=(const GifSource&) = delete;
    ImageMemStream* get() const { return s_; }

  private:
    ImageMemStream* s_;
};

}  // namespace imagelib
