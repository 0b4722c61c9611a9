// GIF writer round trips. What a load gives at 1, 4 or 8 bits is written with
// ImageWriteGifFile and loaded again: it must come back with the same size, indices,
// colours and transparent index. Every frame of an animation load goes through
// GifWriteAnimFile and must come back in the same place with the same indices, colours
// and control fields. The first bytes choose the flags and the screen as for the other
// targets; only flags whose results are paletted (or are recognised and skipped) are kept.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/checked_size.h"
#include "formats/gif/gif_writer.h"
#include "fuzz_files.h"
#include "fuzz_load.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"
#include "win32/types.h"

namespace {

constexpr std::uint32_t kKeptFlags =
    IMAGELIB_MAP_TO_DISPLAY_PALETTE | IMAGELIB_REDUCE | IMAGELIB_REDUCE4_NO_ENTRY0 |
    IMAGELIB_REDUCE4_PLAIN_GREYS | IMAGELIB_IMAGE_AND_MASK | IMAGELIB_GIF_FIRST_FRAME_ONLY |
    IMAGELIB_REPORT_TRANSPARENT | IMAGELIB_FORCE_8BIT | IMAGELIB_NEAREST_COLOUR;
constexpr std::uint32_t kReduceFlags = IMAGELIB_REDUCE | IMAGELIB_FORCE_8BIT;
// Larger images are not written: the encoder's work repeats itself every 4,096 codes and
// the time is better spent on other inputs. The same for a reloaded animation's screen.
constexpr std::uint64_t kMaxWrittenPixels = std::uint64_t{1} << 20;
constexpr std::uint64_t kMaxReloadedScreen = std::uint64_t{1} << 24;
constexpr std::uint64_t kMaxReducedPixels = std::uint64_t{1} << 16;
constexpr std::size_t kRowsOffset = 1064;  // header and 256 RGBQUADs before a PackedDib's rows
constexpr std::uint32_t kMaxSide = 65535;
constexpr std::uint32_t kKindScreen = 0x69;
constexpr std::uint32_t kKindFrame = 0x2C;
constexpr std::uint32_t kKindControl = 0xF9;
constexpr std::uint32_t kKindLoop = 0xFF;

std::uint64_t Stride(std::uint64_t width, int bits) {
    return (width * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
}

// A paletted result as plain values.
struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bits = 0;
    std::vector<std::uint8_t> indices;      // top row first
    std::array<std::uint8_t, 768> colours;  // red, green, blue of the 256 entries
};

enum class Read { kPicture, kNotPaletted, kTooLarge };

// The PackedDib's picture, unless its depth is not 1, 4 or 8 or it is too large to write.
Read ReadPicture(HGLOBAL dib, Picture* p) {
    const std::uint64_t size = GlobalSize(dib);
    if (size < kRowsOffset)
        fuzz::Fail("a result block smaller than its header and colour table");
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(dib));
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes, sizeof h);
    Read result = Read::kPicture;
    if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8) {
        result = Read::kNotPaletted;
    } else if (h.biWidth <= 0 || h.biHeight <= 0) {
        fuzz::Fail("a paletted result of no size");
    } else if (std::uint64_t{static_cast<std::uint32_t>(h.biWidth)} *
                   static_cast<std::uint32_t>(h.biHeight) >
               kMaxWrittenPixels) {
        result = Read::kTooLarge;
    }
    if (result != Read::kPicture) {
        GlobalUnlock(dib);
        return result;
    }
    p->width = static_cast<std::uint32_t>(h.biWidth);
    p->height = static_cast<std::uint32_t>(h.biHeight);
    p->bits = h.biBitCount;
    const std::uint64_t stride = Stride(p->width, p->bits);
    if (size < kRowsOffset + stride * p->height)
        fuzz::Fail("a result block shorter than its rows");
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* q = bytes + sizeof(BITMAPINFOHEADER) + 4 * i;
        p->colours[3 * i] = q[2];
        p->colours[3 * i + 1] = q[1];
        p->colours[3 * i + 2] = q[0];
    }
    p->indices.resize(std::size_t{p->width} * p->height);
    const int perByte = 8 / p->bits;
    const unsigned mask = (1u << p->bits) - 1;
    for (std::uint32_t y = 0; y < p->height; ++y) {
        const std::uint8_t* row = bytes + kRowsOffset + (p->height - 1 - y) * stride;
        for (std::uint32_t x = 0; x < p->width; ++x) {
            const int shift = 8 - p->bits * (1 + static_cast<int>(x % perByte));
            p->indices[std::size_t{y} * p->width + x] =
                static_cast<std::uint8_t>(row[x / perByte] >> shift & mask);
        }
    }
    GlobalUnlock(dib);
    return Read::kPicture;
}

// An 8-bit picture's rows as a PackedDib's rows, bottom-up, in a new global block.
HGLOBAL RowsBlock(const Picture& p) {
    const std::uint64_t stride = Stride(p.width, 8);
    const HGLOBAL block = GlobalAlloc(GHND, stride * p.height + 1);
    if (block == 0)
        fuzz::Fail("no memory for a frame's rows");
    auto* rows = static_cast<std::uint8_t*>(GlobalLock(block));
    for (std::uint32_t y = 0; y < p.height; ++y)
        std::memcpy(rows + (p.height - 1 - y) * stride, &p.indices[std::size_t{y} * p.width],
                    p.width);
    GlobalUnlock(block);
    return block;
}

// The sizes a GIF declares, its blocks walked as the loader walks them: the widest by the
// highest of the screen and the images (an animation load's blank result), and the pixels
// of all images, each doubled for the image and mask layout. Inputs that declare more are
// not loaded here at all: whatever they would show at this size, they show at a smaller
// one faster.
struct Declared {
    std::uint64_t largest = 0;
    std::uint64_t images = 0;
};

std::uint64_t U16At(const std::uint8_t* d) {
    return std::uint64_t{d[0]} | std::uint64_t{d[1]} << 8;
}

std::size_t ColourTableBytes(std::uint8_t packed) {
    return (packed & 0x80) != 0 ? std::size_t{3} << ((packed & 7) + 1) : 0;
}

std::size_t SkipSubBlocks(const std::uint8_t* d, std::size_t n, std::size_t p) {
    while (p < n) {
        const std::size_t length = d[p++];
        if (length == 0)
            break;
        p += length;
    }
    return p;
}

Declared DeclaredSizes(const std::uint8_t* d, std::size_t n) {
    Declared out;
    if (n < 13)
        return out;
    std::uint64_t width = U16At(d + 6);
    std::uint64_t height = U16At(d + 8);
    std::size_t p = 13 + ColourTableBytes(d[10]);
    while (p < n) {
        const std::uint8_t introducer = d[p++];
        if (introducer == 0x3B)
            break;
        if (introducer == 0x21) {
            p = SkipSubBlocks(d, n, p + 1);
        } else if (introducer == 0x2C) {
            if (n - p < 9)
                break;
            width = std::max(width, U16At(d + p + 4));
            height = std::max(height, U16At(d + p + 6));
            out.images += 2 * U16At(d + p + 4) * U16At(d + p + 6);
            p += 9 + ColourTableBytes(d[p + 8]) + 1;
            p = SkipSubBlocks(d, n, p);
        }
    }
    out.largest = 2 * width * height;
    return out;
}

// Reductions only of small images: the reducer has a target of its own in every format's
// load, and is slow under the sanitizers.
std::uint32_t LoadFlags(const fuzz::LoadSetup& setup, const Declared& declared) {
    std::uint32_t flags = setup.flags & kKeptFlags;
    if (declared.largest > kMaxReducedPixels)
        flags &= ~kReduceFlags;
    return flags;
}

// ---------------------------------------------------------------------------------------
// One frame through ImageWriteGifFile.

void CheckStillFile(const std::filesystem::path& file, const Picture& before,
                    std::int32_t transparent) {
    const std::vector<std::uint8_t> bytes = fuzz::ReadWholeFile(file);
    if (bytes.size() < 13 || (bytes[10] & 7) + 1 != before.bits)
        fuzz::Fail("the written screen descriptor does not give the image's depth");
    Win32SetScreenFormat(32, FALSE);
    std::uint32_t a = 0, b = 0, flags = IMAGELIB_REPORT_TRANSPARENT;
    std::int32_t reloadedTransparent = -1;
    const int r = ImageLoadFileTransIndex(fuzz::WidePath(file).c_str(), nullptr, 0, &a, &b, &flags,
                                          &reloadedTransparent);
    if (r != IMAGELIB_FINISHED)
        fuzz::Fail("a written GIF does not load");
    Picture after;
    const Read read = ReadPicture(a, &after);
    SerialImageCleanup(&a, &b);
    if (read != Read::kPicture || after.bits != 8)
        fuzz::Fail("a written GIF does not load to 8 bits");
    if (after.width != before.width || after.height != before.height)
        fuzz::Fail("a written GIF loads to another size");
    if (after.indices != before.indices)
        fuzz::Fail("a written GIF loads to other indices");
    const std::size_t used = std::size_t{3} << before.bits;
    if (std::memcmp(after.colours.data(), before.colours.data(), used) != 0)
        fuzz::Fail("a written GIF loads to other colours");
    if (reloadedTransparent != transparent)
        fuzz::Fail("a written GIF loads with another transparent index");
}

void RoundTripStill(const fuzz::LoadSetup& setup, const Declared& declared,
                    const std::filesystem::path& file) {
    if (declared.largest > kMaxWrittenPixels)
        return;
    std::uint32_t a = 0, b = 0, flags = LoadFlags(setup, declared);
    std::int32_t transparent = -1;
    if (ImageLoadFileTransIndex(L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size), &a, &b,
                                &flags, &transparent) != IMAGELIB_FINISHED) {
        SerialImageCleanup(&a, &b);
        return;
    }
    Picture before;
    const Read read = ReadPicture(a, &before);
    int written = -1;
    if (read == Read::kPicture) {
        const auto* dib = static_cast<const std::uint8_t*>(GlobalLock(a));
        const void* rows = dib + kRowsOffset;
        written = ImageWriteGifFile(fuzz::WidePath(file).c_str(), 1, &rows, dib, transparent);
        GlobalUnlock(a);
    }
    SerialImageCleanup(&a, &b);
    if (read != Read::kPicture)
        return;
    const bool fits = before.width <= kMaxSide && before.height <= kMaxSide;
    if (written != (fits ? 0 : 1))
        fuzz::Fail("the writer's result does not fit the image's size");
    if (!fits) {
        if (std::filesystem::exists(file))
            fuzz::Fail("a file was created for a size the writer refuses");
        return;
    }
    CheckStillFile(file, before, transparent);
    std::filesystem::remove(file);
}

// ---------------------------------------------------------------------------------------
// Every frame through GifWriteAnimFile.

struct Frame {
    GifAnimRecord record;  // place and size, control fields of the graphic control before it
    Picture picture;
};

struct Animation {
    std::vector<Frame> frames;
    std::int32_t loop = -1;
    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    bool writable = true;  // false: a frame was too large or not 8 bits
};

// A loaded frame's picture, when it is 8 bits and within the pixels to be written.
bool ReadFrame(const GifAnimRecord& r, std::uint64_t pixelsSoFar, Picture* p) {
    if (pixelsSoFar > kMaxWrittenPixels || ReadPicture(r.dib, p) != Read::kPicture || p->bits != 8)
        return false;
    if (p->width != r.width || p->height != r.height)
        fuzz::Fail("a frame's bitmap is not of its record's size");
    return true;
}

// The frames and loop count of a loaded list; frees the frames' handles and the list.
Animation TakeAnimation(HGLOBAL list) {
    Animation anim;
    const auto* records = static_cast<const GifAnimRecord*>(GlobalLock(list));
    const std::uint64_t count = GlobalSize(list) / sizeof(GifAnimRecord);
    GifAnimRecord control = {};
    std::uint64_t pixels = 0;
    for (std::uint64_t i = 0; i < count && records[i].kind != 0; ++i) {
        const GifAnimRecord& r = records[i];
        if (r.kind == kKindScreen) {
            anim.screenWidth = r.width;
            anim.screenHeight = r.height;
        } else if (r.kind == kKindLoop && anim.loop < 0) {
            anim.loop = static_cast<std::int32_t>(r.loopCount);
        } else if (r.kind == kKindControl) {
            control = r;
        } else if (r.kind == kKindFrame) {
            Frame f;
            f.record = control;
            f.record.kind = kKindFrame;
            f.record.width = r.width;
            f.record.height = r.height;
            f.record.left = r.left;
            f.record.top = r.top;
            control = {};
            pixels += std::uint64_t{r.width} * r.height;
            // A frame of no size has no picture to read; the writer must refuse it.
            const bool empty = r.width == 0 || r.height == 0;
            if (anim.writable && !empty && !ReadFrame(r, pixels, &f.picture))
                anim.writable = false;
            anim.frames.push_back(f);
            GlobalFree(r.dib);
            GlobalFree(r.palette);
        }
    }
    GlobalUnlock(list);
    GlobalFree(list);
    return anim;
}

// What GifWriteAnimFile must do with the frames: write them (true, and the screen), or
// refuse them as a bad argument.
bool ScreenOf(const Animation& anim, std::uint32_t* width, std::uint32_t* height) {
    *width = anim.frames[0].record.width;
    *height = anim.frames[0].record.height;
    for (const Frame& f : anim.frames) {
        const GifAnimRecord& r = f.record;
        if (r.width == 0 || r.height == 0 || r.width > kMaxSide || r.height > kMaxSide ||
            r.left > kMaxSide || r.top > kMaxSide)
            return false;
        *width = std::max<std::uint32_t>(*width, r.left + r.width);
        *height = std::max<std::uint32_t>(*height, r.top + r.height);
    }
    return *width <= kMaxSide && *height <= kMaxSide;
}

bool SameControl(const GifAnimRecord& x, const GifAnimRecord& y) {
    return (x.delay & 0xFFFF) == y.delay && (x.transparent != 0) == (y.transparent != 0) &&
           (x.transparentIndex & 0xFF) == y.transparentIndex &&
           (x.disposalHigh != 0) == (y.disposalHigh != 0) &&
           (x.disposalLow != 0) == (y.disposalLow != 0) && (x.userInput != 0) == (y.userInput != 0);
}

void CheckAnimationFile(const std::filesystem::path& file, const Animation& before,
                        std::uint32_t screenWidth, std::uint32_t screenHeight) {
    Win32SetScreenFormat(32, FALSE);
    std::uint32_t a = 0, b = 0, list = 0, flags = 0;
    const int r =
        ImageLoadGIFAnimation(fuzz::WidePath(file).c_str(), nullptr, 0, &a, &b, &list, &flags);
    // The screen widened to hold every frame may pass what the loader takes.
    if (!imagelib::ImageSizeAllowed(screenWidth, screenHeight)) {
        if (r != IMAGELIB_OUT_OF_MEMORY || a != 0 || b != 0 || list != 0)
            fuzz::Fail("an animation of too large a screen does not fail with 1");
        return;
    }
    if (r != IMAGELIB_FINISHED || list == 0)
        fuzz::Fail("a written animation does not load");
    SerialImageCleanup(&a, &b);
    std::vector<GifAnimRecord> records;
    {
        const auto* r = static_cast<const GifAnimRecord*>(GlobalLock(list));
        const std::uint64_t count = GlobalSize(list) / sizeof(GifAnimRecord);
        for (std::uint64_t i = 0; i < count && r[i].kind != 0; ++i)
            records.push_back(r[i]);
        GlobalUnlock(list);
        GlobalFree(list);
    }
    // Screen, loop count if any, then a graphic control and an image per frame.
    std::size_t next = 0;
    const bool looped = before.loop >= 0;
    const std::size_t expected = 1 + (looped ? 1 : 0) + 2 * before.frames.size();
    bool same = records.size() == expected && records[next].kind == kKindScreen &&
                records[next].width == screenWidth && records[next].height == screenHeight;
    ++next;
    if (same && looped) {
        same = records[next].kind == kKindLoop &&
               records[next].loopCount == (static_cast<std::uint32_t>(before.loop) & 0xFFFF);
        ++next;
    }
    for (const Frame& f : before.frames) {
        if (!same)
            break;
        const GifAnimRecord& control = records[next];
        const GifAnimRecord& image = records[next + 1];
        next += 2;
        same = control.kind == kKindControl && SameControl(f.record, control) &&
               image.kind == kKindFrame && image.width == f.record.width &&
               image.height == f.record.height && image.left == f.record.left &&
               image.top == f.record.top;
        Picture after;
        if (same && (ReadPicture(image.dib, &after) != Read::kPicture || after.bits != 8 ||
                     after.indices != f.picture.indices ||
                     after.colours != before.frames[0].picture.colours))
            same = false;
    }
    for (const GifAnimRecord& r : records) {
        if (r.kind == kKindFrame) {
            GlobalFree(r.dib);
            GlobalFree(r.palette);
        }
    }
    if (!same)
        fuzz::Fail("a written animation does not load to the same records and frames");
}

void RoundTripAnimation(const fuzz::LoadSetup& setup, const Declared& declared,
                        const std::filesystem::path& file) {
    if (declared.largest > kMaxWrittenPixels || declared.images > kMaxWrittenPixels)
        return;
    std::uint32_t a = 0, b = 0, list = 0, flags = setup.flags & kKeptFlags & ~kReduceFlags;
    const int r = ImageLoadGIFAnimation(L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size),
                                        &a, &b, &list, &flags);
    SerialImageCleanup(&a, &b);
    if (r != IMAGELIB_FINISHED || list == 0)
        return;
    const Animation anim = TakeAnimation(list);
    std::uint32_t width = 0, height = 0;
    const bool fits = !anim.frames.empty() && ScreenOf(anim, &width, &height);
    if (anim.frames.empty() || !anim.writable ||
        (fits && std::uint64_t{width} * height > kMaxReloadedScreen))
        return;

    std::vector<GifAnimRecord> records;
    for (const Frame& f : anim.frames) {
        records.push_back(f.record);
        records.back().dib = RowsBlock(f.picture);
    }
    std::vector<std::uint8_t> info(kRowsOffset);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = 1;
    header.biHeight = 1;
    header.biPlanes = 1;
    header.biBitCount = 8;
    std::memcpy(info.data(), &header, sizeof header);
    const Picture& first = anim.frames[0].picture;
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* q = info.data() + sizeof header + 4 * i;
        q[0] = first.colours[3 * i + 2];
        q[1] = first.colours[3 * i + 1];
        q[2] = first.colours[3 * i];
    }
    const int written = imagelib::GifWriteAnimFile(
        fuzz::WidePath(file).c_str(), static_cast<std::int32_t>(records.size()), anim.loop,
        records.data(), reinterpret_cast<const BITMAPINFO*>(info.data()));
    for (const GifAnimRecord& rec : records)
        GlobalFree(rec.dib);
    if (written != (fits ? 0 : 1))
        fuzz::Fail("the animated writer's result does not fit the frames");
    if (!fits) {
        if (std::filesystem::exists(file))
            fuzz::Fail("a file was created for frames the animated writer refuses");
        return;
    }
    CheckAnimationFile(file, anim, width, height);
    std::filesystem::remove(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path dir = fuzz::FreshWorkDir("gif_roundtrip_fuzz");
    const std::filesystem::path file = dir / "written.gif";
    fuzz::LoadSetup setup;
    if (!fuzz::TakeSetup(data, size, &setup))
        return 0;
    const Declared declared = DeclaredSizes(setup.data, setup.size);
    const fuzz::LiveCounts before = fuzz::Live();
    RoundTripStill(setup, declared, file);
    fuzz::ExpectNoLeak(before);
    fuzz::TakeSetup(data, size, &setup);
    RoundTripAnimation(setup, declared, file);
    fuzz::ExpectNoLeak(before);
    std::filesystem::remove(file);
    return 0;
}
