#include "colour/random_source.h"

namespace imagelib {

namespace {

constexpr std::uint32_t kMultiplier = 214013;
constexpr std::uint32_t kIncrement = 2531011;

// Process-wide like the rest of the library's state; the library is single-threaded.
std::uint32_t g_randomState = kRandomStartState;

}  // namespace

std::int32_t ImageRandom() {
    g_randomState = g_randomState * kMultiplier + kIncrement;  // wraps mod 2^32 by design
    return static_cast<std::int32_t>((g_randomState >> 16) & kRandomMax);
}

void ImageRandomReset() {
    g_randomState = kRandomStartState;
}

}  // namespace imagelib
