// The PNG driver: its row of the format table and the PNG writer that is not there.
// The header reader walks the whole chunk sequence and decides the output format; the
// first decode call inflates the whole image from the IDAT chunks where they lie in the
// source, straight into the result rows, unfiltering and placing each scanline as it comes
// out; the closing call writes the bitmap header and colour table and releases the decoder.
#include "formats/png/png_driver.h"

#include <cstring>

#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/tracked_memory.h"
#include "formats/png/png_codes.h"
#include "formats/png/png_decoder.h"
#include "formats/png/png_inflate.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kBitmapHeaderSize = 40;

PngDecoder* DecoderOf(ImageInfo* info) {
    return DriverState<PngDriverArea>(info).decoder;
}

void ReleaseDecoder(ImageInfo* info) {
    PngDecoder* d = DecoderOf(info);
    if (d == nullptr)
        return;
    PngFreeRows(*d);
    ImageFree(d);
    DriverState<PngDriverArea>(info).decoder = nullptr;
}

std::uint32_t BitmapWidth(const PngDecoder& d) {
    return d.imageAndMask ? d.width * 2 : d.width;
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);  // little-endian, as the bitmap header is
}

// The bitmap header and the output colours' RGBQUADs at the start of the PackedDib; the
// rows are in place already.
void WriteBitmapHeader(const PngDecoder& d, std::uint8_t* dib) {
    const std::uint32_t width = BitmapWidth(d);
    const std::uint64_t imageBytes = RowStride(width, d.outputDepth) * d.height;
    std::memset(dib, 0, kPackedDibRowsOffset);
    PutU32(dib, kBitmapHeaderSize);
    PutU32(dib + 4, width);
    PutU32(dib + 8, d.height);
    dib[12] = 1;  // planes
    dib[14] = static_cast<std::uint8_t>(d.outputDepth);
    PutU32(dib + 20, static_cast<std::uint32_t>(imageBytes));
    PutU32(dib + 32, d.outputColours);
    std::uint8_t* quad = dib + kBitmapHeaderSize;
    for (std::uint32_t i = 0; i < d.outputColours; ++i, quad += 4) {
        quad[0] = d.palette[i].blue;
        quad[1] = d.palette[i].green;
        quad[2] = d.palette[i].red;
    }
}

void PutToRows(void* target, const std::uint8_t* bytes, std::size_t n) {
    PngOutputBytes(*static_cast<PngDecoder*>(target), bytes, n);
}

// Inflates the IDAT data, read where they lie in the source, through the row sink; 69, or
// the code that ends the load.
int PngProcessData(PngDecoder& d, ImageMemStream* source) {
    StreamReader in(source);
    in.Seek(d.firstIdat);
    const PngInflateSource idat{&in, PngNextIdat};
    const PngInflateSink sink{&d, PutToRows};
    const PngInflateResult r = PngInflate(idat, sink, nullptr);
    if (r == PngInflateResult::kNoMemory)
        return kOutOfMemory;
    if (r != PngInflateResult::kOk)
        return kPngBadData;
    // A stream that ends before the image keeps the rows decoded so far.
    PngFinishRows(d);
    return kStepDone;
}

int DecodeImage(SerialImageContext* ctx, PngDecoder& d) {
    if (!d.alphaOutput)
        ctx->flags &= ~kFlagKeepAlpha;
    if (!d.imageAndMask) {
        ctx->flags &= ~kFlagImageAndMask;
    } else {
        ctx->transparentIndex = d.transparentIndex;
        if (d.cleanMask)
            ctx->flags |= kFlagCleanMask;
    }
    d.rowSize = RowStride(BitmapWidth(d), d.outputDepth);
    // The engine's rows have room for 24-bit (or 32-bit) rows of the same width, more
    // than any of the output depths needs.
    if (!PngStartRows(d, ctx->bits))
        return kOutOfMemory;
    if (d.idatBytes == 0)
        return kPngNoData;
    return PngProcessData(d, ctx->stream);
}

}  // namespace

int PngDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"PNG", 0x5089, 0};
    return kOk;
}

int PngReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t flags) {
    auto* d = static_cast<PngDecoder*>(ImageAlloc(sizeof(PngDecoder)));
    DriverState<PngDriverArea>(info).decoder = d;
    if (d == nullptr)
        return kOutOfMemory;
    d->info = info;
    std::memset(d->alpha, 255, sizeof d->alpha);
    StreamReader in(s);
    int r = PngReadIhdr(*d, in);
    if (r == kOk)
        r = PngWalkChunks(*d, in);
    if (r == kOk) {
        PngDecideOutput(*d, flags);
        if (!ImageSizeAllowed(BitmapWidth(*d), d->height))
            r = kOutOfMemory;
    }
    if (r != kOk) {
        ReleaseDecoder(info);
        return r;
    }
    info->width = static_cast<std::int32_t>(BitmapWidth(*d));
    info->height = static_cast<std::int32_t>(d->height);
    info->bitsPerPixel = static_cast<std::int32_t>(d->outputDepth);
    return kOk;
}

int PngReadPalette(ImageMemStream*, ImageInfo* info, PaletteEntry3* palette) {
    const PngDecoder* d = DecoderOf(info);
    if (d != nullptr)
        std::memcpy(palette, d->palette, d->outputColours * sizeof(PaletteEntry3));
    return kOk;
}

int PngDecodeStep(SerialImageContext* ctx, int abort) {
    PngDecoder* d = DecoderOf(&ctx->info);
    if (d == nullptr)
        return abort ? kStepDone : kOutOfMemory;
    if (!abort)
        return DecodeImage(ctx, *d);
    if (d->decodeStarted && ctx->dib != nullptr)
        WriteBitmapHeader(*d, ctx->dib);
    ReleaseDecoder(&ctx->info);
    return kStepDone;
}

int PngWriteFile(const void*, const void*, const void*, const void*, const void*) {
    return kNotSupported;
}

}  // namespace imagelib
