// 24-bit work rows: the reducer's input, and the rows in which the mask of an
// image-and-mask layout is cleaned.
#include <cstring>

#include "core/tracked_memory.h"
#include "engine/serial_engine.h"

namespace imagelib {

bool ImageAllocWork24(SerialImageContext* ctx) {
    std::uint64_t size = 0;
    if (ctx->info.width <= 0 || ctx->info.height <= 0 ||
        !RowsBytes(ctx->info.width, ctx->info.height, 24, &size))
        return false;
    auto* work = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(size)));
    if (work == nullptr)
        return false;
    ctx->work = work;
    ImageExpandTo24(ctx);
    return true;
}

namespace {

void PutColour(std::uint8_t* out, const PaletteEntry3& c) {
    out[0] = c.blue;
    out[1] = c.green;
    out[2] = c.red;
}

// One row of palette indices of bpp bits (1, 4 or 8), most significant bits first, as
// blue, green, red.
void ExpandIndexedRow(const std::uint8_t* in, std::uint8_t* out, std::int64_t width, int bpp,
                      const PaletteEntry3* palette) {
    if (bpp == 8) {
        for (std::int64_t x = 0; x < width; ++x)
            PutColour(out + x * 3, palette[in[x]]);
    } else if (bpp == 4) {
        for (std::int64_t x = 0; x + 1 < width; x += 2) {
            PutColour(out + x * 3, palette[in[x / 2] >> 4]);
            PutColour(out + x * 3 + 3, palette[in[x / 2] & 0x0F]);
        }
        if (width % 2 == 1)  // an odd last pixel: the high nibble of the last byte
            PutColour(out + (width - 1) * 3, palette[in[width / 2] >> 4]);
    } else {
        for (std::int64_t x = 0; x < width; ++x)
            PutColour(out + x * 3, palette[(in[x / 8] >> (7 - x % 8)) & 1]);
    }
}

}  // namespace

void ImageExpandTo24(SerialImageContext* ctx) {
    const std::int64_t width = ctx->info.width;
    const std::int64_t height = ctx->info.height;
    const std::int32_t bpp = ctx->info.bitsPerPixel;
    const std::uint64_t inStride = RowStride(width, bpp);
    const std::uint64_t outStride = WorkStride24(width);
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* in = ctx->bits + y * inStride;
        std::uint8_t* out = ctx->work + y * outStride;
        if (bpp == 24) {
            std::memcpy(out, in, static_cast<std::size_t>(width * 3));
        } else if (bpp == 32) {  // the fourth byte (alpha) is dropped
            for (std::int64_t x = 0; x < width; ++x)
                std::memcpy(out + x * 3, in + x * 4, 3);
        } else if (bpp == 1 || bpp == 4 || bpp == 8) {
            ExpandIndexedRow(in, out, width, bpp, ctx->palette);
        }
        // Other depths leave the work row zero.
    }
}

bool ImageCleanMask(SerialImageContext* ctx) {
    if (!ImageAllocWork24(ctx))
        return false;
    ctx->info.bitsPerPixel = 24;
    const std::int64_t width = ctx->info.width;
    const std::uint64_t stride = WorkStride24(width);
    // The mask is the right half: bytes (width * 3) / 2 up to width * 3 of each row. It
    // holds the black key where the image is opaque and the white key elsewhere, whatever
    // colour that entry has (a pure red one too): all that is not black turns white.
    const std::int64_t from = width * 3 / 2;
    const std::int64_t to = width * 3;
    for (std::int64_t y = 0; y < ctx->info.height; ++y) {
        std::uint8_t* row = ctx->work + y * stride;
        for (std::int64_t i = from; i + 3 <= to; i += 3) {
            std::uint8_t* p = row + i;
            if ((p[0] | p[1] | p[2]) != 0)
                std::memset(p, 255, 3);
        }
    }
    return true;
}

}  // namespace imagelib
