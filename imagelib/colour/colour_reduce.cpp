#include "colour/colour_reduce.h"

#include <cstring>

#include "colour/dither_tables.h"
#include "colour/palettes.h"
#include "colour/random_source.h"
#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"

namespace imagelib {

namespace {

// The colour a quantiser chose and the index that stands for it.
struct Choice {
    int index;
    PaletteEntry3 colour;
};

inline int ClampByte(int sum) {
    return sum < 0 ? 0 : sum > 255 ? 255 : sum;
}
inline int ClampError(int sum) {
    return sum < -256 ? -256 : sum > 255 ? 255 : sum;
}

// The mask half of a row, when it has one: its 24-bit pixels and the palette entries it
// is written with.
struct RowMask {
    const std::uint8_t* pixels;  // null: the row has no mask half
    int black;
    int white;

    // A pixel whose mask is not black is transparent.
    bool Transparent(std::int32_t x) const {
        const std::uint8_t* p = pixels + static_cast<std::int64_t>(x) * 3;
        return (p[0] | p[1] | p[2]) != 0;
    }
};

// The mask of a row function whose nearest(red, green, blue) search gives an index of its
// palette: pure black and pure white are looked up once per row, and only for a mask.
template <class Nearest>
RowMask MaskOf(const std::uint8_t* pixels, Nearest nearest) {
    if (pixels == nullptr)
        return RowMask{nullptr, 0, 0};
    ImageDitherInit();  // the searches may read the tables
    return RowMask{pixels, nearest(0, 0, 0), nearest(255, 255, 255)};
}

// Error diffusion with random weights, shared by every row function. Each pixel passes
// a/64 of its error to the next pixel of its row, b/64 to the same column of the next row
// and the rest to the next column of the next row, a and b drawn afresh for every pixel.
// quantise(red, green, blue) gives a Choice; emit(x, index) stores it.
//
// One pass: the error a pixel receives from the row before is added as the pixel is read,
// the share for the next pixel and the diagonal share for the next column are carried in
// locals, and each column's error for the next row is written once. The row copy itself
// is not changed (nothing reads it afterwards); the results are those of adding the whole
// error row first and passing every share through the row copy and the error row.
//
// With a mask, a transparent pixel is a hole in the picture: it shows black, the error
// it would receive is dropped and it passes none on, so no colour of the picture leaks
// into it or through it. (Masked is a template argument: rows without a mask, the common
// case, pay nothing for the test.)
template <bool Masked, class Quantise, class Emit>
void DiffuseRow(const std::uint8_t* row, std::int16_t* errors, std::int32_t width,
                const RowMask& mask, Quantise quantise, Emit emit) {
    DitherWeightIndex = static_cast<std::uint32_t>(ImageRandom());
    int right[3] = {0, 0, 0};     // blue, green, red shares for the pixel x
    int diagonal[3] = {0, 0, 0};  // the diagonal shares for column x of the next row
    for (std::int32_t x = 0; x < width; ++x) {
        const std::uint8_t* pixel = row + static_cast<std::int64_t>(x) * 3;
        std::int16_t* down = errors + static_cast<std::int64_t>(x) * 3;
        if (Masked && mask.Transparent(x)) {
            emit(x, mask.black);
            for (int c = 0; c < 3; ++c) {
                down[c] = static_cast<std::int16_t>(diagonal[c]);
                right[c] = 0;
                diagonal[c] = 0;
            }
            continue;
        }
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = ClampByte(ClampByte(pixel[c] + down[c]) + right[c]);
        const Choice choice =
            quantise(static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[1]),
                     static_cast<std::uint8_t>(v[0]));
        emit(x, choice.index);
        const int error[3] = {v[0] - choice.colour.blue, v[1] - choice.colour.green,
                              v[2] - choice.colour.red};
        const std::uint32_t k = DitherWeightIndex % kDitherWeightCount;
        ++DitherWeightIndex;
        const int a = DitherTable.shareRight[k];
        const int b = DitherTable.shareBelow[k];
        for (int c = 0; c < 3; ++c) {
            // Arithmetic shifts: a negative share is floored towards minus infinity.
            right[c] = (a * error[c]) >> 6;
            const int below = (b * error[c]) >> 6;
            down[c] = static_cast<std::int16_t>(ClampError(diagonal[c] + below));
            diagonal[c] = ClampError(error[c] - right[c] - below);
        }
    }
    std::int16_t* spare = errors + static_cast<std::int64_t>(width) * 3;
    for (int c = 0; c < 3; ++c)
        spare[c] = static_cast<std::int16_t>(diagonal[c]);
}

// One row, dithered or (flag 0x400000) each pixel by its nearest colour alone; then the
// mask half, if any, behind the image half (its first pixel may share the image's last
// byte).
template <class Quantise, class Emit>
void DitherRow(const std::uint8_t* row, std::int16_t* errors, std::int32_t width,
               std::uint32_t flags, const RowMask& mask, Quantise quantise, Emit emit) {
    ImageDitherInit();
    const bool masked = mask.pixels != nullptr;
    if ((flags & kFlagNearestColour) != 0) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* pixel = row + static_cast<std::int64_t>(x) * 3;
            emit(x, masked && mask.Transparent(x) ? mask.black
                                                  : quantise(pixel[2], pixel[1], pixel[0]).index);
        }
    } else if (masked) {
        DiffuseRow<true>(row, errors, width, mask, quantise, emit);
    } else {
        DiffuseRow<false>(row, errors, width, mask, quantise, emit);
    }
    if (masked) {
        for (std::int32_t x = 0; x < width; ++x)
            emit(width + x, mask.Transparent(x) ? mask.white : mask.black);
    }
}

// Emits one index per byte.
struct EmitByte {
    std::uint8_t* out;
    void operator()(std::int32_t x, int index) const { out[x] = static_cast<std::uint8_t>(index); }
};

// The 16-colour search remembers its recent answers: dithered rows meet the same colours
// again and again, and the search is the dearest part of a pixel. Exact: a colour and the
// two flags that change the search make the key.
std::uint8_t CachedMatchColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                std::uint32_t flags) {
    constexpr int kCacheBits = 12;
    static std::uint32_t keys[1 << kCacheBits];  // key + 1; 0: empty
    static std::uint8_t answers[1 << kCacheBits];
    const std::uint32_t searchFlags =
        (flags & kFlagReduce4NoEntry0 ? 1u : 0u) | (flags & kFlagReduce4PlainGreys ? 2u : 0u);
    const std::uint32_t key =
        (std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue) << 2 | searchFlags;
    const std::uint32_t slot = (key * 2654435761u) >> (32 - kCacheBits);
    if (keys[slot] != key + 1) {
        keys[slot] = key + 1;
        answers[slot] = static_cast<std::uint8_t>(ImageMatchColor16(red, green, blue, flags));
    }
    return answers[slot];
}

Choice FromPalette(const PaletteEntry3* palette, int index) {
    return {index, palette[index]};
}

}  // namespace

void ImageDitherRow8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags, const std::uint8_t* mask) {
    auto quantise = [](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        const int r = DitherTable.redIndex[red];
        const int g = DitherTable.greenIndex[green];
        const int b = DitherTable.blueIndex[blue];
        return Choice{(r * kGreenLevelCount + g) * kBlueLevelCount + b,
                      {kRedLevels[r], kGreenLevels[g], kBlueLevels[b]}};
    };
    // The cube holds pure black and pure white at its corners.
    const RowMask keys = MaskOf(mask, [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return quantise(r, g, b).index;
    });
    DitherRow(rowCopy, errors, width, flags, keys, quantise, EmitByte{out});
}

void ImageDitherRow4(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                     std::int32_t width, std::uint32_t flags, const std::uint8_t* mask) {
    auto quantise = [flags](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return FromPalette(DisplayColors16.data(), CachedMatchColor16(red, green, blue, flags));
    };
    // Over all 16 colours, whatever the flags keep the dithering from: the mask's black and
    // white are the palette's own.
    const RowMask keys = MaskOf(mask, [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return ImageNearestColor16(r, g, b, 0, 15, 1);
    });
    // Two pixels per byte, the first in the high nibble.
    auto emit = [out](std::int32_t x, int index) {
        std::uint8_t& byte = out[x / 2];
        if (x % 2 == 0) {
            byte = static_cast<std::uint8_t>(index << 4);
        } else {
            byte = static_cast<std::uint8_t>(byte + index);
        }
    };
    DitherRow(rowCopy, errors, width, flags, keys, quantise, emit);
}

void ImageDitherRowUser8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                         std::int32_t width, std::uint32_t flags, const std::uint8_t* mask) {
    auto quantise = [flags](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return FromPalette(UserPalette.data(), ImageMatchUserColor(red, green, blue, flags));
    };
    DitherRow(rowCopy, errors, width, flags, MaskOf(mask, ImageNearestUserColor), quantise,
              EmitByte{out});
}

void ImageDitherRowFixed8(std::uint8_t* rowCopy, std::uint8_t* out, std::int16_t* errors,
                          std::int32_t width, std::uint32_t flags, const std::uint8_t* mask) {
    auto quantise = [flags](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return FromPalette(GifPalette256.data(), ImageMatchColor256(red, green, blue, flags));
    };
    const RowMask keys = MaskOf(mask, [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return ImageNearestColor256(r, g, b, 0, 255);
    });
    DitherRow(rowCopy, errors, width, flags, keys, quantise, EmitByte{out});
}

namespace {

void FreeReducerRows(ColourReducer* r) {
    ImageFree(r->rowCopy);
    ImageFree(r->errorRows);
    r->rowCopy = nullptr;
    r->errorRows = nullptr;
}

// Allocates the row copy and the error row of a new reduction. On failure nothing stays
// allocated, so the reducer is idle again and no later call can meet half a reducer.
int StartReduction(ColourReducer* r, const ReduceRows& rows, int bits) {
    const std::int64_t width = rows.width;
    if (width < 0 || rows.height < 0 || rows.work == nullptr || rows.bits == nullptr) {
        return kOutOfMemory;  // the code for a bad argument
    }
    const std::uint64_t inStride = WorkStride24(width);
    const std::uint64_t outStride = RowStride(width, bits);
    // The row copy has room for one more pixel; the error row one column more than the row.
    std::uint64_t errorBytes = 0;
    if (!FitsBlock(inStride + 3) ||
        !CheckedMul(static_cast<std::uint64_t>(width) + 1, 3 * sizeof(std::int16_t), &errorBytes) ||
        !FitsBlock(errorBytes)) {
        return kOutOfMemory;
    }
    const auto copyBytes = static_cast<std::uint32_t>(inStride + 3);
    const auto errorRowBytes = static_cast<std::uint32_t>(errorBytes);
    r->rowCopy = static_cast<std::uint8_t*>(ImageAlloc(copyBytes));
    r->errorRows = static_cast<std::int16_t*>(ImageAlloc(errorRowBytes));
    if (r->rowCopy == nullptr || r->errorRows == nullptr) {
        FreeReducerRows(r);
        return kOutOfMemory;
    }
    r->inStride = static_cast<std::int32_t>(inStride);
    r->outStride = static_cast<std::int32_t>(outStride);
    r->row = 0;
    return kOk;
}

}  // namespace

int ImageReduceRows(ColourReducer* r, const ReduceRows& rows, int bits, int abort,
                    ImageDitherRowFunction row) {
    if (abort != 0) {
        FreeReducerRows(r);
        return kStepDone;
    }
    // The reducer is idle unless it holds both rows; half a reducer is never resumed.
    if (r->rowCopy == nullptr || r->errorRows == nullptr) {
        FreeReducerRows(r);
        const int started = StartReduction(r, rows, bits);
        if (started != kOk) {
            return started;
        }
    }
    if (r->row < rows.height) {
        const std::uint64_t rowIndex = static_cast<std::uint64_t>(r->row);
        const std::uint64_t inStride = static_cast<std::uint64_t>(r->inStride);
        const std::uint64_t outStride = static_cast<std::uint64_t>(r->outStride);
        std::uint8_t* out = rows.bits + outStride * rowIndex;
        std::memcpy(r->rowCopy, rows.work + inStride * rowIndex, inStride);
        // The row functions write only the pixels; the padding is cleared here so that no
        // bytes of the deeper rows that shared this memory survive in it.
        std::memset(out, 0, outStride);
        if (rows.maskLayout) {
            const std::int32_t half = rows.width / 2;
            row(r->rowCopy, out, r->errorRows, half, rows.flags,
                r->rowCopy + static_cast<std::int64_t>(half) * 3);
        } else {
            row(r->rowCopy, out, r->errorRows, rows.width, rows.flags, nullptr);
        }
        ++r->row;
    }
    return r->row >= rows.height ? kStepDone : kStepAgain;
}

std::int32_t ImageReducePercent(const ColourReducer& r, std::int32_t height) {
    return height <= 0 ? 100 : static_cast<std::int32_t>(50 + (std::int64_t{50} * r.row) / height);
}

int ImageReduceToDisplay8(ColourReducer* r, const ReduceRows& rows, int abort) {
    return ImageReduceRows(r, rows, 8, abort, ImageDitherRow8);
}

int ImageReduceToDisplay4(ColourReducer* r, const ReduceRows& rows, int abort) {
    return ImageReduceRows(r, rows, 4, abort, ImageDitherRow4);
}

int ImageReduceToUserPalette(ColourReducer* r, const ReduceRows& rows, int abort) {
    return ImageReduceRows(r, rows, 8, abort, ImageDitherRowUser8);
}

int ImageReduceToFixedPalette(ColourReducer* r, const ReduceRows& rows, int abort) {
    return ImageReduceRows(r, rows, 8, abort, ImageDitherRowFixed8);
}

int ImageReduceToGifPalette(const ReduceRows& rows, bool callerPalette) {
    const auto reduce = callerPalette ? ImageReduceToUserPalette : ImageReduceToFixedPalette;
    ColourReducer reducer{};
    int r = kStepAgain;
    while (r == kStepAgain)
        r = reduce(&reducer, rows, 0);
    reduce(&reducer, rows, 1);
    return r;
}

}  // namespace imagelib
