#include "colour/dither_tables.h"

#include <cstdlib>

#include "colour/random_source.h"

namespace imagelib {

DitherTables DitherTable;
std::uint32_t DitherWeightIndex;

std::uint8_t ImageNearestLevel(std::uint8_t value, const std::uint8_t* levels,
                               std::uint16_t count) {
    if (count <= 1) {
        return 0;
    }
    std::uint8_t best = 0;
    int bestDifference = std::abs(value - levels[0]);
    for (std::uint16_t i = 1; i < count; ++i) {
        const int difference = std::abs(value - levels[i]);
        if (difference < bestDifference) {
            best = static_cast<std::uint8_t>(i);
            bestDifference = difference;
        }
    }
    return best;
}

void ImageDitherInit() {
    if (DitherTable.built) {
        return;
    }
    for (int sum = kByteClampLow; sum <= kByteClampHigh; ++sum) {
        DitherTable.byteClamp[sum - kByteClampLow] = static_cast<std::uint8_t>(sum < 0     ? 0
                                                                               : sum > 255 ? 255
                                                                                           : sum);
    }
    for (int sum = kErrorClampLow; sum <= kErrorClampHigh; ++sum) {
        DitherTable.errorClamp[sum - kErrorClampLow] = static_cast<std::int16_t>(sum < -256  ? -256
                                                                                 : sum > 255 ? 255
                                                                                             : sum);
    }
    for (int v = 0; v < 256; ++v) {
        const auto value = static_cast<std::uint8_t>(v);
        DitherTable.blueIndex[v] = ImageNearestLevel(value, kBlueLevels, kBlueLevelCount);
        DitherTable.redIndex[v] = ImageNearestLevel(value, kRedLevels, kRedLevelCount);
        DitherTable.greenIndex[v] = ImageNearestLevel(value, kGreenLevels, kGreenLevelCount);
    }
    for (int i = 0; i < kDitherWeightCount; ++i) {
        const auto weight = static_cast<std::uint16_t>(ImageRandom() % kDitherWeightModulus);
        const int a = weight >> 8;
        DitherTable.weights[i] = weight;
        DitherTable.shareRight[i] = static_cast<std::uint8_t>(a);
        DitherTable.shareBelow[i] = static_cast<std::uint8_t>((weight & 255) % (63 - a));
    }
    DitherTable.built = true;
}

void ImageDitherReset() {
    DitherTable.built = false;
    DitherWeightIndex = 0;
    ImageRandomReset();
}

}  // namespace imagelib
