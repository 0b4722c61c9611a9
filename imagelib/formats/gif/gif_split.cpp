// GifSplitFrames: a walk over the source's blocks that copies each frame, with the blocks
// before it, into a file of its own.
#include "formats/gif/gif_split.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "core/checked_size.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "formats/gif/gif_out_file.h"
#include "win32/wide_files.h"

namespace imagelib {
namespace {

constexpr std::size_t kSignatureBytes = 6;
constexpr std::size_t kScreenBytes = 7;
constexpr std::size_t kMaxColourTableBytes = 768;
constexpr std::size_t kImageDescriptorBytes = 9;
constexpr std::uint8_t kColourTableFlag = 0x80;
constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageIntroducer = 0x2C;
constexpr int kTrailer = 0x3B;
// The longest suffix: a frame number of up to 10 digits and ".gif".
constexpr std::size_t kMaxSuffixChars = 14;
constexpr std::size_t kCopyChunk = 4096;

std::size_t ColourTableBytes(std::uint8_t packed) {
    return std::size_t{3} << ((packed & 7) + 1);
}

// The source, closed on every path.
class InFile {
  public:
    explicit InFile(const wchar_t* path) : file_(_wfopen(path, L"rb")) {}
    ~InFile() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;
    std::FILE* get() const { return file_; }
    bool Read(void* bytes, std::size_t n) { return std::fread(bytes, 1, n, file_) == n; }

  private:
    std::FILE* file_;
};

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

// n bytes from the source's cursor to out: 0, or 8 on a short read or write.
int CopyBytes(InFile* in, GifOutFile* out, std::uint64_t n) {
    std::uint8_t chunk[kCopyChunk];
    while (n > 0) {
        const std::size_t part = n < kCopyChunk ? static_cast<std::size_t>(n) : kCopyChunk;
        if (!in->Read(chunk, part) || !out->Write(chunk, part))
            return kWriteError;
        n -= part;
    }
    return kOk;
}

// Data sub-blocks up to and including the zero-size terminator; with out null they are
// only stepped over. 0, or 8 when the source ends first or a write fails.
int PassSubBlocks(InFile* in, GifOutFile* out) {
    for (;;) {
        std::uint8_t size = 0;
        if (!in->Read(&size, 1) || (out != nullptr && !out->WriteByte(size)))
            return kWriteError;
        if (size == 0)
            return kOk;
        if (out != nullptr) {
            if (CopyBytes(in, out, size) != kOk)
                return kWriteError;
        } else {
            std::uint8_t skipped[255];
            if (!in->Read(skipped, size))
                return kWriteError;
        }
    }
}

class Splitter {
  public:
    Splitter(InFile* in, FrameName* names, std::int32_t maxFrames)
        : in_(in), names_(names), maxFrames_(maxFrames) {}

    // Reads the header, screen descriptor and global colour table: 0, 5 or 7.
    int ReadHead();
    // Walks the blocks to the trailer or the frame limit; 0 with *frames, or an error.
    int Run(std::int32_t* frames);

  private:
    // The image whose introducer was just read, with the blocks since the last frame.
    int CopyFrame(long frameStart, std::int32_t n);

    InFile* in_;
    FrameName* names_;
    std::int32_t maxFrames_;
    // Signature, screen descriptor and global colour table, as read.
    std::uint8_t head_[kSignatureBytes + kScreenBytes + kMaxColourTableBytes] = {};
    std::size_t headBytes_ = 0;
};

int Splitter::ReadHead() {
    if (!in_->Read(head_, kSignatureBytes))
        return kReadError;
    if (std::memcmp(head_, "GIF87a", kSignatureBytes) != 0 &&
        std::memcmp(head_, "GIF89a", kSignatureBytes) != 0)
        return kNotGif;
    if (!in_->Read(head_ + kSignatureBytes, kScreenBytes))
        return kReadError;
    headBytes_ = kSignatureBytes + kScreenBytes;
    const std::uint8_t packed = head_[kSignatureBytes + 4];
    if ((packed & kColourTableFlag) != 0) {
        if (!in_->Read(head_ + headBytes_, ColourTableBytes(packed)))
            return kReadError;
        headBytes_ += ColourTableBytes(packed);
    }
    return kOk;
}

int Splitter::Run(std::int32_t* frames) {
    std::int32_t n = 0;
    long frameStart = std::ftell(in_->get());
    for (;;) {
        const int introducer = std::fgetc(in_->get());
        if (introducer == EOF)
            return kWriteError;
        if (introducer == kTrailer)
            break;
        if (introducer == kExtensionIntroducer) {
            std::uint8_t label = 0;
            if (!in_->Read(&label, 1) || PassSubBlocks(in_, nullptr) != kOk)
                return kWriteError;
        } else if (introducer == kImageIntroducer) {
            const int r = CopyFrame(frameStart, n);
            if (r != kOk)
                return r;
            ++n;
            frameStart = std::ftell(in_->get());
            if (maxFrames_ >= 0 && n >= maxFrames_)
                break;
        }
        // Any other byte is a stray one: it goes to the next frame's file with the blocks.
    }
    *frames = n;
    return kOk;
}

int Splitter::CopyFrame(long frameStart, std::int32_t n) {
    const long introducerEnd = std::ftell(in_->get());
    if (frameStart < 0 || introducerEnd < frameStart)
        return kWriteError;
    GifOutFile out(names_->For(n, maxFrames_));
    if (!out.IsOpen())
        return kNotFound;
    if (!out.Write(head_, headBytes_) || std::fseek(in_->get(), frameStart, SEEK_SET) != 0 ||
        CopyBytes(in_, &out, static_cast<std::uint64_t>(introducerEnd - frameStart)) != kOk)
        return kWriteError;
    std::uint8_t descriptor[kImageDescriptorBytes];
    if (!in_->Read(descriptor, sizeof(descriptor)) || !out.Write(descriptor, sizeof(descriptor)))
        return kWriteError;
    const std::uint8_t packed = descriptor[8];
    if ((packed & kColourTableFlag) != 0 && CopyBytes(in_, &out, ColourTableBytes(packed)) != kOk)
        return kWriteError;
    // The minimum code size byte, then the image data.
    if (CopyBytes(in_, &out, 1) != kOk || PassSubBlocks(in_, &out) != kOk)
        return kWriteError;
    const std::uint8_t trailer = kTrailer;
    const bool trailerWritten = out.Write(&trailer, 1);
    return out.Close() && trailerWritten ? kOk : kWriteError;
}

}  // namespace

int GifSplitFrames(const wchar_t* sourcePath, const wchar_t* basePath, std::int32_t* frameCount,
                   std::int32_t maxFrames) {
    if (frameCount == nullptr || basePath == nullptr)
        return kOutOfMemory;
    *frameCount = 0;
    InFile in(sourcePath);
    if (in.get() == nullptr)
        return kNotFound;
    FrameName names(basePath);
    if (!names.ok())
        return kOutOfMemory;
    Splitter splitter(&in, &names, maxFrames);
    int r = splitter.ReadHead();
    if (r != kOk)
        return r;
    std::int32_t frames = 0;
    r = splitter.Run(&frames);
    if (r == kOk)
        *frameCount = frames;
    return r;
}

}  // namespace imagelib
