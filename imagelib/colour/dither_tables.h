// Process-wide look-up tables of the ditherers, built once by ImageDitherInit and never
// freed: the levels of the 7 x 8 x 4 display cube, the nearest level of every component
// value, the two clamps that replace comparisons in the inner loops, and the random
// weights that split each pixel's error.
#pragma once

#include <cstdint>

namespace imagelib {

constexpr int kBlueLevelCount = 4;
constexpr int kRedLevelCount = 7;
constexpr int kGreenLevelCount = 8;
constexpr std::uint8_t kBlueLevels[kBlueLevelCount] = {0, 85, 170, 255};
constexpr std::uint8_t kRedLevels[kRedLevelCount] = {0, 43, 85, 128, 170, 213, 255};
constexpr std::uint8_t kGreenLevels[kGreenLevelCount] = {0, 36, 73, 109, 146, 182, 219, 255};

// Clamp ranges: a byte plus an accumulated error lies in -256..511; an error plus a share
// of another lies in -512..511. Both follow from every error staying within -256..255.
constexpr int kByteClampLow = -256;
constexpr int kByteClampHigh = 511;
constexpr int kErrorClampLow = -512;
constexpr int kErrorClampHigh = 511;

constexpr int kDitherWeightCount = 256;
// A weight's high byte is 0..50 and its low byte 0..255: 13056 = 51 * 256.
constexpr int kDitherWeightModulus = 13056;

struct DitherTables {
    std::uint8_t blueIndex[256];
    std::uint8_t redIndex[256];
    std::uint8_t greenIndex[256];
    std::uint8_t byteClamp[kByteClampHigh - kByteClampLow + 1];
    std::int16_t errorClamp[kErrorClampHigh - kErrorClampLow + 1];
    std::uint16_t weights[kDitherWeightCount];
    // Each weight split once into the shares of its error that go right (a = w >> 8) and
    // down (b = (w & 255) mod (63 - a)), in 64ths, so that no pixel divides.
    std::uint8_t shareRight[kDitherWeightCount];
    std::uint8_t shareBelow[kDitherWeightCount];
    bool built;
};

extern DitherTables DitherTable;
// The next weight used is weights[DitherWeightIndex mod 256]; every dithered row restarts
// it at a fresh random value.
extern std::uint32_t DitherWeightIndex;

// Builds the tables on the first call; later calls return at once.
void ImageDitherInit();

// Index of the level nearest to value; a tie keeps the lower index; count <= 1 gives 0.
std::uint8_t ImageNearestLevel(std::uint8_t value, const std::uint8_t* levels, std::uint16_t count);

inline std::uint8_t DitherByteClamp(int sum) {
    return DitherTable.byteClamp[sum - kByteClampLow];
}
inline std::int16_t DitherErrorClamp(int sum) {
    return DitherTable.errorClamp[sum - kErrorClampLow];
}

// Test hook: forget the tables, zero the weight index and restart the random generator,
// so that the next build draws the weights of a fresh process.
void ImageDitherReset();

}  // namespace imagelib
