// A block of the tracked allocator that the builder holding it frees on every path out.
#pragma once

#include <cstdint>

#include "core/checked_size.h"
#include "core/tracked_memory.h"

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

}  // namespace imagelib
