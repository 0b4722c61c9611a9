// Turns rows over in place: the first becomes the last. Top-down sources become the
// bottom-up rows of a DIB this way.
#pragma once

#include <algorithm>
#include <cstdint>

namespace imagelib {

inline void FlipRows(std::uint8_t* rows, std::int64_t stride, std::int64_t height) {
    for (std::int64_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(rows + top * stride, rows + (top + 1) * stride, rows + bottom * stride);
}

}  // namespace imagelib
