// The in-memory BMP file around a caller's DIB and the one-shot engine run over it.
#include "builders/dib_load.h"

#include <algorithm>
#include <cstring>

#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/mem_stream.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "engine/serial_engine.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr std::uint16_t kBitmapMagic = 0x4D42;  // "BM"
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kHeaderSlots = kDibFileRowsOffset - kFileHeaderSize;  // 1064
constexpr std::uint32_t kInfoHeaderSize = 40;
// Information headers the BMP driver reads go up to 64 bytes; the colour table follows
// the header, so a longer header is copied with it.
constexpr std::uint32_t kMaxInfoHeaderSize = 64;
constexpr std::uint32_t kMaxColours = 256;
// Only the animation loader keeps a context beyond its load; here nobody would free it.
constexpr std::uint32_t kCallerFlagsDropped = kFlagAnimation;

// Bytes of the caller's header and colour table to copy: the header and the colour
// entries it declares (biClrUsed, else all of the depth's up to 8 bits, none above),
// never more than the slots of a PackedDib.
std::uint32_t HeaderCopyBytes(const BITMAPINFOHEADER& h) {
    const std::uint32_t headerBytes =
        h.biSize >= kInfoHeaderSize && h.biSize <= kMaxInfoHeaderSize ? h.biSize : kInfoHeaderSize;
    std::uint32_t colours = 0;
    if (h.biBitCount <= 8)
        colours = h.biClrUsed != 0 ? std::min(h.biClrUsed, kMaxColours) : 1u << h.biBitCount;
    return std::min(kHeaderSlots, headerBytes + 4 * colours);
}

// Bytes of pixel rows to copy: biSizeImage, or the padded rows the header describes
// (a negative height is a top-down DIB of that many rows). False when the file would not
// fit one block.
bool ImageBytes(const BITMAPINFOHEADER& h, std::uint64_t* out) {
    std::uint64_t bytes = h.biSizeImage;
    if (bytes == 0 && h.biWidth > 0) {
        const std::uint64_t rows = h.biHeight < 0 ? 0 - static_cast<std::int64_t>(h.biHeight)
                                                  : static_cast<std::uint64_t>(h.biHeight);
        if (!CheckedMul(RowStride(static_cast<std::uint64_t>(h.biWidth), h.biBitCount), rows,
                        &bytes))
            return false;
    }
    *out = bytes;
    return FitsBlock(bytes + kDibFileRowsOffset);
}

void StoreU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void StoreU32(std::uint8_t* p, std::uint32_t v) {
    StoreU16(p, static_cast<std::uint16_t>(v));
    StoreU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

bool DibLoad::Run(const void* header, const void* rows, std::uint32_t* flags) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, header, sizeof h);
    std::uint64_t imageBytes = 0;
    if (!ImageBytes(h, &imageBytes))
        return false;
    SerialImageContext* ctx = ImageNewContext();
    if (ctx == nullptr)
        return false;
    // From here on the words name the context, and Release frees all that hangs on it.
    ImageContextToWords(ctx, &a_, &b_);
    ctx->stream = static_cast<ImageMemStream*>(ImageAlloc(sizeof(ImageMemStream)));
    if (ctx->stream == nullptr) {
        Release();
        return false;
    }
    const std::uint64_t size = imageBytes + kDibFileRowsOffset;
    auto* data = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(size)));
    if (data == nullptr) {
        Release();
        return false;
    }
    ImageMemStream* s = ctx->stream;
    s->base = data;
    s->cursor = data;
    s->size = static_cast<std::int32_t>(size);
    // File size and reserved words stay 0; the colour slots the header does not declare
    // stay zero-filled.
    StoreU16(data, kBitmapMagic);
    StoreU32(data + 10, kDibFileRowsOffset);
    HugeMemCopy(data + kFileHeaderSize, header, static_cast<std::int32_t>(HeaderCopyBytes(h)));
    HugeMemCopy(data + kDibFileRowsOffset, rows, static_cast<std::int32_t>(imageBytes));

    ctx->flags = kFlagOneShot | ((flags != nullptr ? *flags : 0) & ~kCallerFlagsDropped);
    ctx->path = nullptr;
    int r = SerialImageBegin(ctx);
    while (r == kStepAgain)
        r = SerialImageNext(&a_, &b_, flags, nullptr);
    result_ = r;
    return true;
}

std::uint8_t* DibLoad::LockDib() {
    return Finished() ? static_cast<std::uint8_t*>(GlobalLock(a_)) : nullptr;
}

void DibLoad::HandOver(std::uint32_t* dib, std::uint32_t* palette) {
    *dib = a_;
    *palette = b_;
    a_ = 0;
    b_ = 0;
    result_ = 0;
}

void DibLoad::Release() {
    if (a_ != 0 || b_ != 0)
        SerialImageCleanup(&a_, &b_);
    a_ = 0;
    b_ = 0;
    result_ = 0;
}

HBITMAP BitmapFromPackedDib(HDC dc, const std::uint8_t* dib) {
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib);
    return CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, dib + kPackedDibRowsOffset, info,
                          DIB_RGB_COLORS);
}

}  // namespace imagelib
