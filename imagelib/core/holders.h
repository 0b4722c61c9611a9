// Holders that give back what the library takes for the length of one call, on every path
// out: a tracked block, a locked global block, the screen's device context, a stdio file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/checked_size.h"
#include "core/tracked_memory.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace imagelib {

class TrackedBlock {
  public:
    TrackedBlock() = default;
    ~TrackedBlock() { ImageFree(data_); }
    TrackedBlock(const TrackedBlock&) = delete;
    TrackedBlock& operator=(const TrackedBlock&) = delete;

    // bytes zero-filled bytes; false (and no block) when they pass one block or memory
    // runs out.
    bool Allocate(std::uint64_t bytes) {
        ImageFree(data_);
        data_ = nullptr;
        if (bytes == 0 || !FitsBlock(bytes))
            return false;
        data_ = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(bytes)));
        return data_ != nullptr;
    }
    std::uint8_t* get() const { return data_; }

  private:
    std::uint8_t* data_ = nullptr;
};

// A global block locked while the holder lives; get() is null when the handle names none.
class LockedGlobal {
  public:
    explicit LockedGlobal(HGLOBAL handle)
        : handle_(handle), bytes_(static_cast<std::uint8_t*>(GlobalLock(handle))) {}
    ~LockedGlobal() {
        if (bytes_ != nullptr)
            GlobalUnlock(handle_);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    std::uint8_t* get() const { return bytes_; }

  private:
    HGLOBAL handle_;
    std::uint8_t* bytes_;
};

// The screen's device context; get() is 0 when it cannot be had.
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

// A stdio file closed when the holder goes; Close() closes it early and tells whether the
// close succeeded (for a file written, whether its last bytes reached it).
class StdioFile {
  public:
    explicit StdioFile(std::FILE* file) : file_(file) {}
    ~StdioFile() { Close(); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    std::FILE* get() const { return file_; }
    bool Close() {
        std::FILE* f = file_;
        file_ = nullptr;
        return f != nullptr && std::fclose(f) == 0;
    }

  private:
    std::FILE* file_;
};

}  // namespace imagelib
