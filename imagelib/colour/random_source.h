// The library's own pseudo-random generator for the ditherers' weights. It is kept apart
// from the C library's rand so that no other code in the process moves its sequence:
// state' = state * 214013 + 2531011 (mod 2^32), value = bits 16..30 of state'.
#pragma once

#include <cstdint>

namespace imagelib {

constexpr std::uint32_t kRandomStartState = 1;
constexpr std::int32_t kRandomMax = 32767;

// The next value, 0..kRandomMax.
std::int32_t ImageRandom();

// Test hook: back to the start state, so the next values are 41, 18467, 6334, ...
void ImageRandomReset();

}  // namespace imagelib
