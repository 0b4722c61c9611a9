// Expected colours of the reducers, written out here rather than taken from the library:
// the 7 x 8 x 4 display cube, the 16 display colours, and a plain nearest-colour search.
#pragma once

#include <array>
#include <cstdint>

namespace expect {

struct Rgb {
    std::uint8_t red, green, blue;
};

constexpr std::uint8_t kRedLevels[7] = {0, 43, 85, 128, 170, 213, 255};
constexpr std::uint8_t kGreenLevels[8] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr std::uint8_t kBlueLevels[4] = {0, 85, 170, 255};

// Entry r * 32 + g * 4 + b of the display cube; entries 224..255 are grey 128.
inline std::array<Rgb, 256> Cube() {
    std::array<Rgb, 256> cube;
    cube.fill({128, 128, 128});
    for (int r = 0; r < 7; ++r)
        for (int g = 0; g < 8; ++g)
            for (int b = 0; b < 4; ++b)
                cube[r * 32 + g * 4 + b] = {kRedLevels[r], kGreenLevels[g], kBlueLevels[b]};
    return cube;
}

constexpr Rgb kDisplay16[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// The level nearest to value, the lower one on a tie.
inline std::uint8_t NearestLevel(std::uint8_t value, const std::uint8_t* levels, int count) {
    int best = 0;
    for (int i = 1; i < count; ++i) {
        const int d = levels[i] > value ? levels[i] - value : value - levels[i];
        const int bestD = levels[best] > value ? levels[best] - value : value - levels[best];
        if (d < bestD)
            best = i;
    }
    return levels[best];
}

// The nearest of count colours from first on by squared distance, the earlier on a tie;
// with weightGreys the entries 7 and 8 count eight times their distance.
inline int Nearest(const Rgb* colours, int count, int first, int red, int green, int blue,
                   bool weightGreys = false) {
    int best = first;
    long bestD = -1;
    for (int i = first; i < count; ++i) {
        const long dr = red - colours[i].red, dg = green - colours[i].green,
                   db = blue - colours[i].blue;
        long d = dr * dr + dg * dg + db * db;
        if (weightGreys && (i == 7 || i == 8))
            d *= 8;
        if (bestD < 0 || d < bestD) {
            best = i;
            bestD = d;
        }
    }
    return best;
}

}  // namespace expect
