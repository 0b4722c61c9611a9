// The colours a caller set with SetImagePalette, for the JPEG reader's quantisation.
#pragma once

#include <cstdint>

namespace imagelib {

struct CallerPalette {
    std::int32_t count;
    const std::uint32_t* colours;  // count entries of red, green, blue; the caller's memory
};

// The palette last set; count 0 or null colours means none.
const CallerPalette& ImageCallerPalette();

}  // namespace imagelib
