// ImageWriteAnimGifFile: an animated GIF from GDI bitmaps. Each frame's bitmap is read as
// 24-bit rows, reduced to 8 bits over the caller's 256 colours or the fixed GIF palette
// (nearest colour, no dithering), and the frames go to GifWriteAnimFile.
#include <algorithm>
#include <cstring>

#include "builders/bitmap_rows24.h"
#include "colour/colour_reduce.h"
#include "colour/palettes.h"
#include "core/checked_size.h"
#include "core/holders.h"
#include "core/load_flags.h"
#include "core/packed_dib.h"
#include "core/result_codes.h"
#include "formats/gif/gif_anim_record.h"
#include "formats/gif/gif_blocks.h"
#include "formats/gif/gif_writer.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {
namespace {

constexpr int kFrameBits = 8;

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

// The colours every frame is reduced to, into palette and the colour table of info.
void SetUpPalette(const RGBQUAD* callerColours, PaletteEntry3* palette, std::uint8_t* info) {
    ImageChooseGifPalette(callerColours, palette);
    WritePackedDibHeader(info, 0, 0, kFrameBits, 0);
    WriteColourTable(info, palette, kFullPaletteCount);
}

// One frame: its bitmap read into the work buffer, then reduced into a new 8-bit rows
// block kept in the record's dib slot. 0, or the code of what failed.
int ReduceFrame(HDC dc, std::uint8_t* work, bool callerPalette, GifAnimRecord* record) {
    const auto width = static_cast<std::int32_t>(record->width);
    const auto height = static_cast<std::int32_t>(record->height);
    Request24 request;
    std::uint64_t bytes8 = 0;
    if (!MakeRequest24(width, height, &request) ||
        !RowsBytes(record->width, record->height, kFrameBits, &bytes8) ||
        !ReadBitmapRows24(dc, record->bitmap, request, work))
        return kOutOfMemory;
    record->dib = GlobalAlloc(GHND, static_cast<SIZE_T>(bytes8));
    const LockedGlobal rows(record->dib);
    if (rows.get() == nullptr)
        return kOutOfMemory;
    const int r = ImageReduceToGifPalette(
        ReduceRows{work, rows.get(), width, height, kFlagNearestColour}, callerPalette);
    return r == kStepDone ? kOk : r;
}

// Every frame reduced into frames' dib slots under the colours set in info. 0, or the code
// of the first failure.
int ReduceFrames(FrameRecords* frames, std::int32_t frameCount, std::uint64_t workBytes,
                 const RGBQUAD* palette, std::uint8_t* info) {
    const ScreenDc dc;
    TrackedBlock work;
    if (dc.get() == 0 || !work.Allocate(workBytes))
        return kOutOfMemory;
    PaletteEntry3 colours[kFullPaletteCount];
    SetUpPalette(palette, colours, info);
    for (std::int32_t i = 0; i < frameCount; ++i) {
        const int r = ReduceFrame(dc.get(), work.get(), palette != nullptr, &frames->at(i));
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
    if (!frames.CopyFrom(records, frameCount) || !info.Allocate(kPackedDibRowsOffset))
        return kOutOfMemory;
    const int r = ReduceFrames(&frames, frameCount, workBytes, static_cast<const RGBQUAD*>(palette),
                               info.get());
    if (r != kOk)
        return r;
    return GifWriteAnimFile(path, frameCount, loopCount, frames.get(),
                            reinterpret_cast<const BITMAPINFO*>(info.get()));
}
