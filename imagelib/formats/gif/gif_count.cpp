// Counting the images of a GIF file with a pass of its own over the file.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/result_codes.h"
#include "formats/gif/gif_anim.h"
#include "formats/gif/gif_codes.h"
#include "win32/wide_files.h"

namespace imagelib {
namespace {

// The C library opens a folder as if it were a file; the platform's does not.
bool IsFolder(const wchar_t* path) {
    struct _stat st;
    return _wstat(path, &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

class File {
  public:
    explicit File(const wchar_t* path)
        : f_(path != nullptr && !IsFolder(path) ? _wfopen(path, L"rb") : nullptr) {}
    ~File() {
        if (f_ != nullptr)
            std::fclose(f_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open() const { return f_ != nullptr; }
    bool Read(void* dst, std::size_t n) { return std::fread(dst, 1, n, f_) == n; }
    bool Byte(std::uint8_t* b) { return Read(b, 1); }

  private:
    std::FILE* f_;
};

constexpr std::uint8_t kTableFollows = 0x80;

bool SkipTable(File& f, std::uint8_t packed) {
    std::uint8_t table[768];
    return !(packed & kTableFollows) || f.Read(table, 3u << ((packed & 7) + 1));
}

bool SkipSubBlocks(File& f) {
    std::uint8_t block[255];
    for (;;) {
        std::uint8_t length = 0;
        if (!f.Byte(&length))
            return false;
        if (length == 0)
            return true;
        if (!f.Read(block, length))
            return false;
    }
}

int Count(File& f, std::int32_t* frames) {
    std::uint8_t head[13];
    if (!f.Read(head, 6))
        return kReadError;
    if (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0)
        return kGifNotGif;
    if (!f.Read(head + 6, 7) || !SkipTable(f, head[10]))
        return kReadError;
    for (;;) {
        std::uint8_t introducer = 0;
        if (!f.Byte(&introducer))
            return kReadError;  // also a file that ends without its trailer
        if (introducer == kGifTrailer)
            return kOk;
        if (introducer == kGifExtension) {
            std::uint8_t label = 0;
            if (!f.Byte(&label) || !SkipSubBlocks(f))
                return kReadError;
        } else if (introducer == kGifImage) {
            std::uint8_t descriptor[9];
            std::uint8_t minCodeSize = 0;
            if (!f.Read(descriptor, sizeof descriptor) || !SkipTable(f, descriptor[8]) ||
                !f.Byte(&minCodeSize) || !SkipSubBlocks(f))
                return kReadError;
            ++*frames;
        }
    }
}

}  // namespace

int GifCountFrames(const wchar_t* path, std::int32_t* count) {
    *count = 0;
    File f(path);
    if (!f.Open())
        return kNotFound;
    std::int32_t frames = 0;
    const int r = Count(f, &frames);
    if (r == kOk)
        *count = frames;
    return r;
}

}  // namespace imagelib
