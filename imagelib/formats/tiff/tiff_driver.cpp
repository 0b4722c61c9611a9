// The TIFF driver: the first image of a file, bilevel, grey and palette images of 1, 4 or
// 8 bits, RGB (chunky or planar, a fourth sample dropped) and CMYK of 8 bits per sample,
// in uncompressed, LZW or PackBits strips, orientation top-left or bottom-left. The header
// reader checks the tags in a fixed order; the decoding runs in four phases: read the
// image (its 24-bit pixels turned to BGR on the way), pad its rows, a third that reports
// progress only, finish.
#include "formats/tiff/tiff_driver.h"

#include <algorithm>
#include <cstring>

#include "core/checked_size.h"
#include "core/mem_stream.h"
#include "engine/serial_engine.h"
#include "formats/tiff/tiff_codes.h"
#include "formats/tiff/tiff_directory.h"
#include "formats/tiff/tiff_state.h"

namespace imagelib {
namespace {

constexpr std::uint32_t kCcittHuffman = 2;
constexpr std::uint32_t kCcittT4 = 3;
constexpr std::uint32_t kCcittT6 = 4;
constexpr std::uint32_t kTransparencyMask = 4;
constexpr std::uint32_t kYCbCr = 6;

enum Phase : std::uint32_t { kPhaseRead = 0, kPhasePad = 1, kPhaseSwap = 2, kPhaseDone = 3 };

bool IndexedBits(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8;
}

std::uint32_t TagU32(const TiffDirectory* d, std::uint16_t tag, std::int32_t fallback) {
    return static_cast<std::uint32_t>(TiffTagValue(d, tag, fallback));
}

// Greys from black to white in 1 << bits steps; white first for WhiteIsZero.
void GreyPalette(TiffImage& t, std::uint32_t bits, bool whiteIsZero) {
    const std::uint32_t n = 1u << bits;
    for (std::uint32_t i = 0; i < n; ++i) {
        auto v = static_cast<std::uint8_t>(i * 255 / (n - 1));
        if (whiteIsZero)
            v = static_cast<std::uint8_t>(255 - v);
        t.palette[i] = PaletteEntry3{v, v, v};
    }
}

// The ColorMap's 16-bit values by their high bytes; a map whose high bytes are all 0 holds
// 8-bit values, taken by their low bytes. A map with fewer values than the palette needs
// is refused as missing.
bool MapPalette(TiffImage& t, const TiffEntry* map, std::uint32_t bits) {
    const std::uint32_t n = 1u << bits;
    if (map == nullptr || map->held < 3 * n)
        return false;
    bool allZero = true;
    for (int shift : {8, 0}) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const auto r = static_cast<std::uint8_t>(TiffEntryValue(map, i) >> shift);
            const auto g = static_cast<std::uint8_t>(TiffEntryValue(map, n + i) >> shift);
            const auto b = static_cast<std::uint8_t>(TiffEntryValue(map, 2 * n + i) >> shift);
            t.palette[i] = PaletteEntry3{r, g, b};
            allZero = allZero && (r | g | b) == 0;
        }
        if (!allZero)
            break;
    }
    return true;
}

// Step 3 of the header checks: the photometric interpretation with its samples and bits.
// 0 with *depth set, or a code.
int CheckPhotometric(const TiffDirectory* d, TiffImage& t, std::int32_t* depth) {
    switch (t.photometric) {
        case kTiffWhiteIsZero:
        case kTiffBlackIsZero:
            if (t.samples != 1)
                return kTiffGreySamples;
            if (!IndexedBits(t.bitsPerSample))
                return kTiffGreyBits;
            GreyPalette(t, t.bitsPerSample, t.photometric == kTiffWhiteIsZero);
            *depth = static_cast<std::int32_t>(t.bitsPerSample);
            return kOk;
        case kTiffRgb:
            // Three samples, or four whose last is not used: a pixel costs no more to decode
            // than the driver takes from it (at most four bytes, as a CMYK pixel).
            if (t.samples < 3 || t.samples > 4)
                return kTiffRgbSamples;
            if (t.bitsPerSample != 8)
                return kTiffRgbBits;
            *depth = 24;
            return kOk;
        case kTiffPalette:
            if (t.samples != 1)
                return kTiffPaletteSamples;
            if (!IndexedBits(t.bitsPerSample))
                return kTiffPaletteBits;
            if (!MapPalette(t, TiffFindTag(d, kTagColorMap), t.bitsPerSample))
                return kTiffMissingColorMap;
            *depth = static_cast<std::int32_t>(t.bitsPerSample);
            return kOk;
        case kTransparencyMask:
            return kTiffTransparencyMask;
        case kTiffSeparated:
            if (t.samples != 4)
                return kTiffCmykSamples;
            if (t.bitsPerSample != 8)
                return kTiffCmykBits;
            if (TagU32(d, kTagInkSet, 1) != 1)
                return kTiffBadInkSet;
            *depth = 24;
            return kOk;
        case kYCbCr:
            return kTiffYCbCr;
        default:
            return kTiffBadPhotometric;
    }
}

// Step 4: the strips. Their offsets (and byte counts) are copied when there are fewer than
// 400; StripOffsets must hold a value for every strip.
int CheckStrips(const TiffDirectory* d, TiffImage& t, std::int64_t height) {
    const std::uint64_t perPlane =
        (static_cast<std::uint64_t>(height) - 1 + t.rowsPerStrip) / t.rowsPerStrip;
    const bool planes = t.photometric == kTiffRgb && t.planar == kTiffPlanarSeparate;
    const std::uint64_t count = planes ? 3 * perPlane : perPlane;
    const TiffEntry* offsets = TiffFindTag(d, kTagStripOffsets);
    if (offsets->held < count)
        return kTiffMissingTag;
    t.stripCount = static_cast<std::uint32_t>(count);
    const TiffEntry* byteCounts = TiffFindTag(d, kTagStripByteCounts);
    t.hasByteCounts = byteCounts != nullptr ? 1 : 0;
    if (count < kTiffStoredStrips) {
        for (std::uint32_t i = 0; i < count; ++i) {
            t.stripOffsets[i] = static_cast<std::uint32_t>(TiffEntryValue(offsets, i));
            t.stripByteCounts[i] = byteCounts != nullptr
                                       ? static_cast<std::uint32_t>(TiffEntryValue(byteCounts, i))
                                       : 0;
        }
    }
    return kOk;
}

int CheckCompression(std::uint32_t compression) {
    switch (compression) {
        case kTiffCompressionNone:
        case kTiffCompressionLzw:
        case kTiffCompressionPackBits:
            return kOk;
        case kCcittHuffman:
            return kTiffCcittHuffman;
        case kCcittT4:
            return kTiffCcittT4;
        case kCcittT6:
            return kTiffCcittT6;
        default:
            return kTiffBadCompression;
    }
}

// The header checks in their order, on an open directory.
int ReadTags(const TiffDirectory* d, ImageInfo* info, TiffImage& t) {
    const TiffEntry* width = TiffFindTag(d, kTagImageWidth);
    const TiffEntry* height = TiffFindTag(d, kTagImageLength);
    if (width == nullptr || height == nullptr || TiffFindTag(d, kTagStripOffsets) == nullptr)
        return kTiffMissingTag;
    const std::int64_t w = TiffEntryFirstValue(width);
    const std::int64_t h = TiffEntryFirstValue(height);
    const bool sizeAllowed = w > 0 && h > 0 && ImageSizeAllowed(w, h);
    t.samples = TagU32(d, kTagSamplesPerPixel, 1);
    t.photometric = TagU32(d, kTagPhotometric, kTiffBlackIsZero);
    // A RowsPerStrip of 0 or beyond the height makes the whole image one strip.
    const std::int64_t rowsPerStrip = TiffTagValue(d, kTagRowsPerStrip, 0);
    t.rowsPerStrip = static_cast<std::uint32_t>(
        rowsPerStrip <= 0 || rowsPerStrip > h ? std::max<std::int64_t>(h, 1) : rowsPerStrip);
    t.bitsPerSample = TagU32(d, kTagBitsPerSample, 1);
    t.compression = TagU32(d, kTagCompression, kTiffCompressionNone);
    t.orientation = TagU32(d, kTagOrientation, kTiffTopLeft);
    t.planar = TagU32(d, kTagPlanarConfiguration, 1);
    t.predictor = TagU32(d, kTagPredictor, 1);
    std::int32_t depth = 0;
    int r = CheckPhotometric(d, t, &depth);
    if (r != kOk)
        return r;
    // Strips are counted only for a size the library can hold; any other fails below.
    if (sizeAllowed && (r = CheckStrips(d, t, h)) != kOk)
        return r;
    if ((r = CheckCompression(t.compression)) != kOk)
        return r;
    if (t.orientation != kTiffTopLeft && t.orientation != kTiffBottomLeft)
        return kTiffBadOrientation;
    if (TagU32(d, kTagFillOrder, 1) != 1)
        return kTiffBadFillOrder;
    if (t.planar != 1) {
        if (t.photometric != kTiffRgb)
            return kTiffPlanarNotRgb;
        if (t.planar != kTiffPlanarSeparate)
            return kTiffBadPlanar;
    }
    if (t.predictor != 1 && !(t.compression == kTiffCompressionLzw && t.bitsPerSample == 8 &&
                              (t.samples == 1 || t.samples >= 3)))
        return kTiffBadPredictor;
    if (!sizeAllowed)
        return kOutOfMemory;
    info->width = static_cast<std::int32_t>(w);
    info->height = static_cast<std::int32_t>(h);
    info->bitsPerPixel = depth;
    t.phase = kPhaseRead;
    return kOk;
}

int DirectoryCode(int r) {
    switch (r) {
        case kTiffDirBadVersion:
            return kTiffBadVersion;
        case kTiffDirTooManyEntries:
            return kTiffTooManyEntries;
        case kTiffDirMissing:
            return kTiffMissingTag;
        default:
            return kOutOfMemory;
    }
}

}  // namespace

int TiffDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"TIF", 0x4D4D, 0x4949};
    return kOk;
}

int TiffReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t) {
    TiffImage& t = DriverState<TiffImage>(info);
    t = TiffImage{};
    ImageMemStreamSeek(s, 0, kSeekSet);
    TiffFile* raw = nullptr;
    const int r = TiffOpenDirectory(s, 0, &raw);
    if (r != kTiffDirOk)
        return DirectoryCode(r);
    const TiffFilePtr file(raw);
    return ReadTags(file->directory, info, t);
}

int TiffReadPalette(ImageMemStream*, ImageInfo* info, PaletteEntry3* palette) {
    const TiffImage& t = DriverState<TiffImage>(info);
    if (info->bitsPerPixel != 24)
        std::memcpy(palette, t.palette, sizeof(PaletteEntry3) << info->bitsPerPixel);
    return kOk;
}

int TiffDecodeStep(SerialImageContext* ctx, int abort) {
    // Nothing is held between steps: every phase frees what it made.
    if (abort)
        return kStepDone;
    ImageInfo& info = ctx->info;
    TiffImage& t = DriverState<TiffImage>(&info);
    const std::int64_t width = info.width;
    const std::int64_t height = info.height;
    const std::int64_t rowBytes = (width * info.bitsPerPixel + 7) / 8;
    const auto stride = static_cast<std::int64_t>(RowStride(width, info.bitsPerPixel));
    // The unpadded rows are read to the end of the padded image's room, then moved down to
    // their padded places.
    const std::int64_t pad = (stride - rowBytes) * height;
    // A third of the decoding per phase; the engine's helper leaves the second half to a
    // colour reduction that follows.
    const auto percent = [&](int thirds) { info.percent = ImageDecodePercent(ctx, thirds, 3); };
    switch (t.phase) {
        case kPhaseRead: {
            const int r = TiffReadImage(ctx->stream, info, t, ctx->bits + pad);
            if (r != kOk)
                return r;
            t.phase = kPhasePad;
            percent(1);
            return kStepAgain;
        }
        case kPhasePad:
            if (pad != 0) {
                for (std::int64_t row = 0; row < height; ++row)
                    std::memmove(ctx->bits + row * stride, ctx->bits + pad + row * rowBytes,
                                 static_cast<std::size_t>(rowBytes));
            }
            t.phase = kPhaseSwap;
            percent(2);
            return kStepAgain;
        case kPhaseSwap:
            // The reader turned 24-bit pixels to blue, green, red strip by strip already.
            t.phase = kPhaseDone;
            percent(3);
            return kStepAgain;
        default:
            percent(3);
            return kStepDone;
    }
}

}  // namespace imagelib
