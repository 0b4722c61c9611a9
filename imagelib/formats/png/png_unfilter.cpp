// The five PNG row filters undone. The first pixel (no left neighbour) is handled apart,
// and for each pixel size the left pixel is carried in registers, so the inner loops
// carry neither a position test nor a reload of what they just stored.
#include <cstdlib>
#include <cstring>

#include "formats/png/png_decoder.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kFilterSub = 1;
constexpr std::uint32_t kFilterUp = 2;
constexpr std::uint32_t kFilterAverage = 3;
constexpr std::uint32_t kFilterPaeth = 4;

inline int PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int ab = pa <= pb ? a : b;
    const int pab = pa <= pb ? pa : pb;
    return pab <= pc ? ab : c;
}

// x + (left + up) / 2 modulo 256, as (left + 2x + up) / 2: the sum of what does not wait
// for the pixel to the left is formed first, so that the chain from one pixel to the next
// is one addition, one shift and the truncation to a byte.
inline std::uint8_t Average(int x, int left, int up) {
    return static_cast<std::uint8_t>((left + (2 * x + up)) >> 1);
}

// Sub, Average and Paeth for pixels of U bytes; n is a whole number of pixels or the
// bytes a cut-short scanline has (the last pixel may then be partial).
template <std::size_t U>
void UnfilterLeft(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                  std::uint8_t* out, std::size_t n) {
    int a[U], c[U];
    const std::size_t first = U < n ? U : n;
    for (std::size_t k = 0; k < U; ++k)
        a[k] = c[k] = 0;
    for (std::size_t k = 0; k < first; ++k) {
        const int up = prior[k];
        int v = in[k];
        if (type == kFilterAverage)
            v += up >> 1;
        else if (type == kFilterPaeth)
            v += up;
        a[k] = out[k] = static_cast<std::uint8_t>(v);
        c[k] = up;
    }
    const std::size_t whole = n - (n - first) % U;
    std::size_t i = first;
    switch (type) {
        case kFilterSub:
            for (; i < whole; i += U) {
                for (std::size_t k = 0; k < U; ++k)
                    a[k] = out[i + k] = static_cast<std::uint8_t>(in[i + k] + a[k]);
            }
            break;
        case kFilterAverage:
            for (; i < whole; i += U) {
                for (std::size_t k = 0; k < U; ++k)
                    a[k] = out[i + k] = Average(in[i + k], a[k], prior[i + k]);
            }
            break;
        default:
            for (; i < whole; i += U) {
                for (std::size_t k = 0; k < U; ++k) {
                    const int up = prior[i + k];
                    a[k] = out[i + k] =
                        static_cast<std::uint8_t>(in[i + k] + PaethPredictor(a[k], up, c[k]));
                    c[k] = up;
                }
            }
            break;
    }
    // The bytes of a partial last pixel.
    for (std::size_t k = 0; i < n; ++i, ++k) {
        const int up = prior[i];
        int pred = a[k];
        if (type == kFilterAverage)
            pred = (a[k] + up) >> 1;
        else if (type == kFilterPaeth)
            pred = PaethPredictor(a[k], up, c[k]);
        out[i] = static_cast<std::uint8_t>(in[i] + pred);
    }
}

// An 8-bit RGB scanline unfiltered into blue, green, red order. The filters work on each
// sample with the same sample of the pixel before and above, so they work as well on the
// samples in the output's order: prior is the previous output row, and only the input is
// read in reverse within each pixel. n may end inside a pixel (a scanline cut short):
// the samples there are placed as they arrive.
template <std::uint32_t Type>
void UnfilterToBgr(const std::uint8_t* in, const std::uint8_t* prior, std::uint8_t* out,
                   std::size_t n) {
    int a0 = 0, a1 = 0, a2 = 0;  // blue, green, red of the pixel to the left
    int c0 = 0, c1 = 0, c2 = 0;  // and of the pixel above that
    const auto one = [](std::uint8_t x, int left, int up, int upLeft) -> int {
        switch (Type) {
            case kFilterSub:
                return static_cast<std::uint8_t>(x + left);
            case kFilterUp:
                return static_cast<std::uint8_t>(x + up);
            case kFilterAverage:
                return Average(x, left, up);
            case kFilterPaeth:
                return static_cast<std::uint8_t>(x + PaethPredictor(left, up, upLeft));
            default:
                return x;
        }
    };
    const std::size_t whole = n - n % 3;
    std::size_t i = 0;
    for (; i < whole; i += 3) {
        const int b0 = prior[i], b1 = prior[i + 1], b2 = prior[i + 2];
        a0 = one(in[i + 2], a0, b0, c0);
        a1 = one(in[i + 1], a1, b1, c1);
        a2 = one(in[i], a2, b2, c2);
        out[i] = static_cast<std::uint8_t>(a0);
        out[i + 1] = static_cast<std::uint8_t>(a1);
        out[i + 2] = static_cast<std::uint8_t>(a2);
        c0 = b0, c1 = b1, c2 = b2;
    }
    if (i < n)  // red
        out[i + 2] = static_cast<std::uint8_t>(one(in[i], a2, prior[i + 2], c2));
    if (i + 1 < n)  // green
        out[i + 1] = static_cast<std::uint8_t>(one(in[i + 1], a1, prior[i + 1], c1));
}

}  // namespace

void PngUnfilterRowToBgr(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                         std::uint8_t* out, std::size_t n) {
    switch (type) {
        case kFilterSub:
            return UnfilterToBgr<kFilterSub>(in, prior, out, n);
        case kFilterUp:
            return UnfilterToBgr<kFilterUp>(in, prior, out, n);
        case kFilterAverage:
            return UnfilterToBgr<kFilterAverage>(in, prior, out, n);
        case kFilterPaeth:
            return UnfilterToBgr<kFilterPaeth>(in, prior, out, n);
        default:
            return UnfilterToBgr<0>(in, prior, out, n);
    }
}

void PngUnfilterRow(std::uint32_t type, const std::uint8_t* in, const std::uint8_t* prior,
                    std::uint8_t* out, std::size_t n, std::size_t unit) {
    if (type == kFilterUp) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
        return;
    }
    if (type != kFilterSub && type != kFilterAverage && type != kFilterPaeth) {
        // None, and any type above 4, leave the bytes as they are.
        std::memcpy(out, in, n);
        return;
    }
    switch (unit) {
        case 1:
            return UnfilterLeft<1>(type, in, prior, out, n);
        case 2:
            return UnfilterLeft<2>(type, in, prior, out, n);
        case 3:
            return UnfilterLeft<3>(type, in, prior, out, n);
        case 4:
            return UnfilterLeft<4>(type, in, prior, out, n);
        case 6:
            return UnfilterLeft<6>(type, in, prior, out, n);
        default:
            return UnfilterLeft<8>(type, in, prior, out, n);
    }
}

}  // namespace imagelib
