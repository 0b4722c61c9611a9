// ImageWriteAnimGifFile: an animated GIF from GDI bitmaps. Each frame's bitmap is read as
// 24-bit rows, reduced to 8 bits over the caller's 256 colours or the fixed GIF palette
// (nearest colour, no dithering), and the frames go to GifWriteAnimFile.
#include <algorithm>
#include <cstring>

#include "builders/bitmap_rows24.h"
#include "builders/tracked_block.h"
#include "colour/colour_reduce.h"
#include "colour/palettes.h"
#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "engine/serial_context.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_blocks.h"
#include "formats/gif/gif_writer.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr int kFrameBits = 8;
constexpr std::uint32_t kInfoBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

// The screen's device context, released on every path out.
class ScreenDc {
  public:
    ScreenDc() : dc_(GetDC(0)) {}
    ~ScreenDc() {
        if (dc_ != 0)
            ReleaseDC(0, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// The call's own copy of the caller's records: slot dib receives each frame's 8-bit rows
// block, and every block is freed with the copy. The caller's records are only read.
class FrameRecords {
  public:
    FrameRecords() = default;
    ~FrameRecords() {
        for (std::int32_t i = 0; i < count_; ++i)
            GlobalFree(at(i).dib);
    }
    FrameRecords(const FrameRecords&) = delete;
    FrameRecords& operator=(const FrameRecords&) = delete;

    bool CopyFrom(const GifAnimRecord* records, std::int32_t count) {
        std::uint64_t bytes = 0;
        if (!CheckedMul(static_cast<std::uint64_t>(count), sizeof(GifAnimRecord), &bytes) ||
            !block_.Allocate(bytes))
            return false;
        std::memcpy(block_.get(), records, static_cast<std::size_t>(bytes));
        count_ = count;
        for (std::int32_t i = 0; i < count_; ++i)
            at(i).dib = 0;  // the caller's handles are not ours to free
        return true;
    }
    GifAnimRecord& at(std::int32_t i) { return reinterpret_cast<GifAnimRecord*>(block_.get())[i]; }
    const GifAnimRecord* get() const { return reinterpret_cast<GifAnimRecord*>(block_.get()); }

  private:
    TrackedBlock block_;
    std::int32_t count_ = 0;
};

// A global block locked for as long as the holder lives.
class LockedBlock {
  public:
    explicit LockedBlock(HGLOBAL handle)
        : handle_(handle), bytes_(static_cast<std::uint8_t*>(GlobalLock(handle))) {}
    ~LockedBlock() {
        if (bytes_ != nullptr)
            GlobalUnlock(handle_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    std::uint8_t* get() const { return bytes_; }

  private:
    HGLOBAL handle_;
    std::uint8_t* bytes_;
};

bool SideWritable(std::uint32_t side) {
    return side >= 1 && side <= kGifMaxSide;
}

// The 24-bit bytes of the largest frame, which the one work buffer must hold; false when a
// frame's size or transparency cannot be written (found before any bitmap is read or any
// palette installed).
bool LargestFrameBytes(const GifAnimRecord* records, std::int32_t frameCount,
                       std::uint64_t* bytes) {
    *bytes = 0;
    for (std::int32_t i = 0; i < frameCount; ++i) {
        const GifAnimRecord& r = records[i];
        Request24 request;
        if (!SideWritable(r.width) || !SideWritable(r.height) ||
            !GifRecordTransparencyWritable(r) ||
            !MakeRequest24(static_cast<std::int32_t>(r.width), static_cast<std::int32_t>(r.height),
                           &request))
            return false;
        *bytes = std::max(*bytes, request.bytes());
    }
    return true;
}

// The colours every frame is reduced to, into the context's palette and the colour table.
void SetUpPalette(SerialImageContext* ctx, const RGBQUAD* palette, std::uint8_t* info) {
    ctx->flags = kFlagNearestColour;
    if (palette != nullptr) {
        for (int i = 0; i < kFullPaletteCount; ++i)
            ctx->palette[i] =
                PaletteEntry3{palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue};
        ImageUserPaletteExchange(ctx->palette, 1);
    } else {
        ImageFixedPalette256(ctx->palette);
    }
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biBitCount = kFrameBits;
    h.biCompression = BI_RGB;
    std::memcpy(info, &h, sizeof h);
    std::uint8_t* colours = info + sizeof h;
    for (int i = 0; i < kFullPaletteCount; ++i, colours += sizeof(RGBQUAD)) {
        colours[0] = ctx->palette[i].blue;
        colours[1] = ctx->palette[i].green;
        colours[2] = ctx->palette[i].red;
    }
}

// One frame: its bitmap read into the work buffer, then reduced into a new 8-bit rows
// block kept in the record's dib slot. 0, or the code of what failed.
int ReduceFrame(HDC dc, SerialImageContext* ctx, bool callerPalette, GifAnimRecord* record) {
    const auto width = static_cast<std::int32_t>(record->width);
    const auto height = static_cast<std::int32_t>(record->height);
    Request24 request;
    std::uint64_t bytes8 = 0;
    if (!MakeRequest24(width, height, &request) ||
        !RowsBytes(record->width, record->height, kFrameBits, &bytes8) ||
        !ReadBitmapRows24(dc, record->bitmap, request, ctx->work))
        return kOutOfMemory;
    record->dib = GlobalAlloc(GHND, static_cast<SIZE_T>(bytes8));
    const LockedBlock rows(record->dib);
    if (rows.get() == nullptr)
        return kOutOfMemory;
    ctx->bits = rows.get();
    ctx->info.width = width;
    ctx->info.height = height;
    const auto reduce = callerPalette ? ImageReduceToUserPalette : ImageReduceToFixedPalette;
    int r = kStepAgain;
    while (r == kStepAgain)
        r = reduce(ctx, 0);
    reduce(ctx, 1);
    ctx->bits = nullptr;
    return r == kStepDone ? kOk : r;
}

// Every frame reduced into frames' dib slots under the colours set in info. 0, or the code
// of the first failure.
int ReduceFrames(FrameRecords* frames, std::int32_t frameCount, std::uint64_t workBytes,
                 const RGBQUAD* palette, std::uint8_t* info) {
    const ScreenDc dc;
    TrackedBlock context;
    TrackedBlock work;
    if (dc.get() == 0 || !context.Allocate(sizeof(SerialImageContext)) || !work.Allocate(workBytes))
        return kOutOfMemory;
    auto* ctx = reinterpret_cast<SerialImageContext*>(context.get());
    ctx->work = work.get();
    SetUpPalette(ctx, palette, info);
    for (std::int32_t i = 0; i < frameCount; ++i) {
        const int r = ReduceFrame(dc.get(), ctx, palette != nullptr, &frames->at(i));
        if (r != kOk)
            return r;
    }
    return kOk;
}

}  // namespace
}  // namespace imagelib

extern "C" int32_t ImageWriteAnimGifFile(const wchar_t* path, int32_t frameCount, int32_t loopCount,
                                         const GifAnimRecord* records, const void* palette) {
    using namespace imagelib;
    if (path == nullptr)
        return kOutOfMemory;
    if (frameCount < 1)
        return kOk;
    std::uint64_t workBytes = 0;
    if (records == nullptr || !LargestFrameBytes(records, frameCount, &workBytes))
        return kOutOfMemory;
    FrameRecords frames;
    TrackedBlock info;
    if (!frames.CopyFrom(records, frameCount) || !info.Allocate(kInfoBytes))
        return kOutOfMemory;
    const int r = ReduceFrames(&frames, frameCount, workBytes, static_cast<const RGBQUAD*>(palette),
                               info.get());
    if (r != kOk)
        return r;
    return GifWriteAnimFile(path, frameCount, loopCount, frames.get(),
                            reinterpret_cast<const BITMAPINFO*>(info.get()));
}
