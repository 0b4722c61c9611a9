// The five PNG row filters undone. Each loop handles the first pixel (no left neighbour)
// apart, so the inner loops carry no test of the position.
#include <cstdlib>
#include <cstring>

#include "formats/png/png_decoder.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kFilterSub = 1;
constexpr std::uint32_t kFilterUp = 2;
constexpr std::uint32_t kFilterAverage = 3;
constexpr std::uint32_t kFilterPaeth = 4;

inline std::uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int ab = pa <= pb ? a : b;
    const int pab = pa <= pb ? pa : pb;
    return static_cast<std::uint8_t>(pab <= pc ? ab : c);
}

}  // namespace

void PngUnfilterRow(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                    std::uint8_t* out, std::size_t n, std::size_t unit) {
    const std::size_t first = unit < n ? unit : n;
    switch (type) {
        case kFilterSub:
            std::memcpy(out, in, first);
            for (std::size_t i = first; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(in[i] + out[i - unit]);
            return;
        case kFilterUp:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
            return;
        case kFilterAverage:
            for (std::size_t i = 0; i < first; ++i)
                out[i] = static_cast<std::uint8_t>(in[i] + (prior[i] >> 1));
            for (std::size_t i = first; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(in[i] + ((out[i - unit] + prior[i]) >> 1));
            return;
        case kFilterPaeth:
            // Without a left neighbour the predictor is always the byte above.
            for (std::size_t i = 0; i < first; ++i)
                out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
            for (std::size_t i = first; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(
                    in[i] + PaethPredictor(out[i - unit], prior[i], prior[i - unit]));
            return;
        default:
            // None, and any type above 4, leave the bytes as they are.
            std::memcpy(out, in, n);
            return;
    }
}

}  // namespace imagelib
