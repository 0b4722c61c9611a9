// 24-bit work rows: the reducer's input, and the rows in which the mask of an
// image-and-mask layout is cleaned.
#include <cstring>

#include "core/tracked_memory.h"
#include "engine/serial_engine.h"

namespace imagelib {

bool ImageAllocWork24(SerialImageContext* ctx) {
    const std::uint64_t size =
        static_cast<std::uint64_t>(ctx->info.height) * WorkStride24(ctx->info.width);
    if (ctx->info.height <= 0 || size > 0xFFFFFFFFull)
        return false;
    auto* work = static_cast<std::uint8_t*>(ImageAlloc(static_cast<std::uint32_t>(size)));
    if (work == nullptr)
        return false;
    ctx->work = work;
    ImageExpandTo24(ctx);
    return true;
}

void ImageExpandTo24(SerialImageContext* ctx) {
    const std::int64_t width = ctx->info.width;
    const std::int64_t height = ctx->info.height;
    const std::int32_t bpp = ctx->info.bitsPerPixel;
    const std::uint64_t inStride = RowStride(width, bpp);
    const std::uint64_t outStride = WorkStride24(width);
    const PaletteEntry3* palette = ctx->palette;
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* in = ctx->bits + y * inStride;
        std::uint8_t* out = ctx->work + y * outStride;
        for (std::int64_t x = 0; x < width; ++x, out += 3) {
            if (bpp == 24) {
                std::memcpy(out, in + x * 3, 3);
                continue;
            }
            if (bpp == 32) {  // the fourth byte (alpha) is dropped
                std::memcpy(out, in + x * 4, 3);
                continue;
            }
            std::uint8_t index = 0;
            if (bpp == 1) {
                index = (in[x / 8] >> (7 - x % 8)) & 1;
            } else if (bpp == 4) {
                index = (x % 2 == 0) ? in[x / 2] >> 4 : in[x / 2] & 0x0F;
            } else if (bpp == 8) {
                index = in[x];
            } else {
                continue;
            }
            out[0] = palette[index].blue;
            out[1] = palette[index].green;
            out[2] = palette[index].red;
        }
    }
}

bool ImageCleanMask(SerialImageContext* ctx) {
    if (!ImageAllocWork24(ctx))
        return false;
    ctx->info.bitsPerPixel = 24;
    const std::int64_t width = ctx->info.width;
    const std::uint64_t stride = WorkStride24(width);
    // The mask is the right half: bytes (width * 3) / 2 up to width * 3 of each row.
    const std::int64_t from = width * 3 / 2;
    const std::int64_t to = width * 3;
    for (std::int64_t y = 0; y < ctx->info.height; ++y) {
        std::uint8_t* row = ctx->work + y * stride;
        for (std::int64_t i = from; i + 3 <= to; i += 3) {
            std::uint8_t* p = row + i;
            const bool pure = (p[0] == 0 || p[0] == 255) && (p[1] == 0 || p[1] == 255) &&
                              (p[2] == 0 || p[2] == 255);
            if (!pure)
                std::memset(p, 255, 3);
        }
    }
    return true;
}

}  // namespace imagelib
