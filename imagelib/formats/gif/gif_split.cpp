// GifSplitFrames: the block walk over the source in memory, each frame copied with the
// blocks before it into a file of its own.
#include "formats/gif/gif_split.h"

#include <algorithm>
#include <cwchar>

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "formats/gif/gif_out_file.h"
#include "formats/gif/gif_walk.h"

namespace imagelib {
namespace {

// The longest suffix: a frame number of up to 10 digits and ".gif".
constexpr std::size_t kMaxSuffixChars = 14;
constexpr std::int64_t kCopyChunk = 4096;

// The name of frame n's file: the base, then the suffix, in a tracked buffer sized for the
// base and the longest suffix.
class FrameName {
  public:
    explicit FrameName(const wchar_t* base) : baseChars_(std::wcslen(base)) {
        std::uint64_t bytes = 0;
        if (CheckedMulAdd(baseChars_ + kMaxSuffixChars + 1, sizeof(wchar_t), 0, &bytes) &&
            FitsBlock(bytes))
            name_ = static_cast<wchar_t*>(ImageAlloc(static_cast<std::uint32_t>(bytes)));
        if (name_ != nullptr)
            std::wmemcpy(name_, base, baseChars_);
    }
    ~FrameName() { ImageFree(name_); }
    FrameName(const FrameName&) = delete;
    FrameName& operator=(const FrameName&) = delete;

    bool ok() const { return name_ != nullptr; }
    const wchar_t* For(std::int32_t n, std::int32_t maxFrames) {
        wchar_t* suffix = name_ + baseChars_;
        if (n == 0 && maxFrames == 1) {
            std::wcscpy(suffix, L"_flat.gif");
        } else if (n <= 2) {
            static const wchar_t* const kStates[3] = {L"off.gif", L"clk.gif", L"rol.gif"};
            std::wcscpy(suffix, kStates[n]);
        } else {
            wchar_t digits[10];
            int count = 0;
            for (std::uint32_t v = static_cast<std::uint32_t>(n); v != 0; v /= 10)
                digits[count++] = static_cast<wchar_t>(L'0' + v % 10);
            while (count > 0)
                *suffix++ = digits[--count];
            std::wcscpy(suffix, L".gif");
        }
        return name_;
    }

  private:
    std::size_t baseChars_;
    wchar_t* name_ = nullptr;
};

// Copies the source's bytes [from, to) to out: false when a write fails.
bool CopySource(GifWalker& walker, GifOutFile* out, std::int64_t from, std::int64_t to) {
    std::uint8_t chunk[kCopyChunk];
    while (from < to) {
        const std::int64_t part = std::min<std::int64_t>(to - from, kCopyChunk);
        if (!walker.ReadAt(from, chunk, part) || !out->Write(chunk, static_cast<std::size_t>(part)))
            return false;
        from += part;
    }
    return true;
}

class Splitter {
  public:
    Splitter(ImageMemStream* source, FrameName* names, std::int32_t maxFrames)
        : walker_(source), names_(names), maxFrames_(maxFrames) {}

    // Walks the blocks to the trailer or the frame limit; 0 with *frames, or an error.
    int Run(std::int32_t* frames);

  private:
    // Frame n's file: the head, the source's bytes [from, to), and a trailer when whole.
    int WriteFrame(std::int32_t n, std::int64_t from, std::int64_t to, bool whole);

    GifWalker walker_;
    FrameName* names_;
    std::int32_t maxFrames_;
    GifHead head_ = {};
};

int Splitter::Run(std::int32_t* frames) {
    int r = walker_.ReadHead(&head_);
    if (r != kOk)
        return r;
    std::int32_t n = 0;
    std::int64_t frameStart = head_.end;
    for (;;) {
        GifBlock b;
        if (walker_.Next(&b) != kOk) {
            // An image cut short still makes its file, as far as the source goes.
            if (b.start >= 0 && b.kind == kGifImage)
                WriteFrame(n, frameStart, walker_.Size(), false);
            return kWriteError;
        }
        if (b.kind == kGifTrailer)
            break;
        if (b.kind != kGifImage)
            continue;  // extensions and stray bytes go with the next image
        r = WriteFrame(n, frameStart, b.end, true);
        if (r != kOk)
            return r;
        ++n;
        frameStart = b.end;
        if (maxFrames_ >= 0 && n >= maxFrames_)
            break;
    }
    *frames = n;
    return kOk;
}

int Splitter::WriteFrame(std::int32_t n, std::int64_t from, std::int64_t to, bool whole) {
    GifOutFile out(names_->For(n, maxFrames_));
    if (!out.IsOpen())
        return kNotFound;
    if (!CopySource(walker_, &out, 0, head_.end) || !CopySource(walker_, &out, from, to))
        return kWriteError;
    const bool trailerWritten = !whole || out.WriteByte(kGifTrailer);
    return out.Close() && trailerWritten ? kOk : kWriteError;
}

}  // namespace

int GifSplitFrames(const wchar_t* sourcePath, const wchar_t* basePath, std::int32_t* frameCount,
                   std::int32_t maxFrames) {
    if (frameCount == nullptr || basePath == nullptr)
        return kOutOfMemory;
    *frameCount = 0;
    int r = kOk;
    const GifSource source(sourcePath, &r);
    if (source.get() == nullptr)
        return r;
    FrameName names(basePath);
    if (!names.ok())
        return kOutOfMemory;
    Splitter splitter(source.get(), &names, maxFrames);
    std::int32_t frames = 0;
    r = splitter.Run(&frames);
    if (r == kOk)
        *frameCount = frames;
    return r;
}

}  // namespace imagelib
