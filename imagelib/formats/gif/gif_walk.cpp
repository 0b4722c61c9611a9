#include "formats/gif/gif_walk.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/holders.h"
#include "core/result_codes.h"
#include "formats/gif/gif_codes.h"
#include "win32/wide_files.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kTableFollows = 0x80;  // packed bit: a colour table follows
constexpr std::uint8_t kTransparencyBit = 0x01;

std::int32_t TableBits(std::uint8_t packed) {
    return (packed & 7) + 1;
}

// An existing empty file that can be opened for reading.
bool EmptyReadableFile(const wchar_t* path) {
    struct _stat st;
    if (_wstat(path, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG || st.st_size != 0)
        return false;
    const StdioFile f(_wfopen(path, L"rb"));
    return f.get() != nullptr;
}

}  // namespace

GifControl GifControlOf(const GifBlock& block) {
    GifControl c;
    c.present = true;
    c.packed = block.first[0];
    c.transparent = (block.first[0] & kTransparencyBit) != 0;
    c.delay = LoadU16LE(block.first + 1);
    c.transparentIndex = block.first[3];
    return c;
}

bool GifIsControl(const GifBlock& block) {
    return block.kind == kGifExtension && block.label == kGifGraphicControl && block.subBlocks > 0;
}

int GifWalker::ReadHead(GifHead* head) {
    *head = GifHead();
    std::uint8_t signature[kGifSignatureBytes];
    if (!in_.Seek(0) || !in_.Read(signature, sizeof signature))
        return kReadError;
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return kGifNotGif;
    std::uint8_t screen[kGifScreenBytes];
    if (!in_.Read(screen, sizeof screen))
        return kReadError;
    head->screenWidth = LoadU16LE(screen);
    head->screenHeight = LoadU16LE(screen + 2);
    head->packed = screen[4];
    head->background = screen[5];
    head->tableBits = TableBits(head->packed);
    head->hasTable = (head->packed & kTableFollows) != 0;
    head->table = in_.Position();
    if (head->hasTable && !in_.Skip(GifTableBytes(head->tableBits)))
        return kReadError;
    head->end = in_.Position();
    return kOk;
}

int GifWalker::Next(GifBlock* block, bool imageData) {
    *block = GifBlock();
    block->start = -1;
    const std::int64_t start = in_.Position();
    std::uint8_t introducer = 0;
    if (!in_.U8(&introducer))
        return kReadError;
    block->kind = introducer;
    block->start = start;
    int r = kOk;
    if (introducer == kGifImage)
        r = ReadImage(block, imageData);
    else if (introducer == kGifExtension)
        r = ReadExtension(block);
    // The trailer and stray bytes are the introducer alone.
    block->end = in_.Position();
    return r;
}

int GifWalker::ReadImage(GifBlock* block, bool imageData) {
    std::uint8_t d[kGifImageDescriptorBytes];
    if (!in_.Read(d, sizeof d))
        return kReadError;
    block->left = LoadU16LE(d);
    block->top = LoadU16LE(d + 2);
    block->width = LoadU16LE(d + 4);
    block->height = LoadU16LE(d + 6);
    block->packed = d[8];
    block->table = in_.Position();
    if (block->packed & kTableFollows) {
        block->tableBits = TableBits(block->packed);
        if (!in_.Skip(GifTableBytes(block->tableBits)))
            return kReadError;
    }
    block->data = in_.Position();
    if (!imageData)
        return kOk;
    if (!in_.U8(&block->minCodeSize))
        return kReadError;
    return SkipSubBlocks(block, false);
}

int GifWalker::ReadExtension(GifBlock* block) {
    if (!in_.U8(&block->label))
        return kReadError;
    return SkipSubBlocks(block, true);
}

int GifWalker::SkipSubBlocks(GifBlock* block, bool keep) {
    for (;;) {
        std::uint8_t length = 0;
        if (!in_.U8(&length))
            return kReadError;
        if (length == 0)
            return kOk;
        if (block->subBlocks == 0)
            block->firstLength = length;
        if (keep && block->subBlocks < 2) {
            std::uint8_t* kept = block->subBlocks == 0 ? block->first : block->second;
            const std::int64_t n = length < kGifKeptBytes ? length : kGifKeptBytes;
            if (!in_.Read(kept, n) || !in_.Skip(length - n))
                return kReadError;
        } else if (!in_.Skip(length)) {
            return kReadError;
        }
        ++block->subBlocks;
    }
}

bool GifWalker::ReadAt(std::int64_t offset, void* dst, std::int64_t n) {
    const std::int64_t here = in_.Position();
    const bool ok = in_.Seek(offset) && in_.Read(dst, n);
    in_.Seek(here);
    return ok;
}

GifSource::GifSource(const wchar_t* path, int* code)
    : s_(ImageMemStreamOpenSource(path, nullptr, 0, L"rb", code)) {
    if (s_ == nullptr && *code == kNotFound && path != nullptr && EmptyReadableFile(path))
        *code = kReadError;
}

GifSource::~GifSource() {
    ImageMemStreamFree(s_);
}

}  // namespace imagelib
