#include "fuzz_load.h"

#include <cstdio>
#include <cstdlib>

#include "core/tracked_memory.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"

namespace fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

LiveCounts Live() {
    return {Win32LiveGlobalBlocks(), imagelib::ImageLiveBlockCount()};
}

void ExpectNoLeak(const LiveCounts& before) {
    const LiveCounts now = Live();
    if (now.global != before.global)
        Fail("a global block was left behind");
    if (now.tracked != before.tracked)
        Fail("a tracked block was left behind");
}

bool TakeSetup(const std::uint8_t* data, std::size_t size, LoadSetup* setup) {
    if (size < 5)
        return false;
    setup->flags = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                   static_cast<std::uint32_t>(data[2]) << 16 |
                   static_cast<std::uint32_t>(data[3]) << 24;
    switch (data[4] % 3) {
        case 0:
            Win32SetScreenFormat(32, FALSE);
            break;
        case 1:
            Win32SetScreenFormat(8, TRUE);
            break;
        default:
            Win32SetScreenFormat(4, FALSE);
            break;
    }
    setup->failingAllocation = FailingAllocation(data, size);
    setup->data = data + 5;
    setup->size = size - 5;
    return true;
}

namespace {

// Codes a load may end with: finished, or an error (68 is never an end).
bool EndCode(int r) {
    return r != IMAGELIB_CALL_AGAIN && r != IMAGELIB_OK;
}

// After 69 the words hold two unlocked result blocks; after an error they are 0.
void CheckEnd(int r, std::uint32_t a, std::uint32_t b) {
    if (!EndCode(r))
        Fail("a load ended with 0 or 68");
    if (r == IMAGELIB_FINISHED) {
        if (a == 0 || b == 0 || GlobalSize(a) < 1064 || GlobalSize(b) != 1032)
            Fail("a finished load did not hand over its two blocks");
        if ((GlobalFlags(a) & GMEM_LOCKCOUNT) != 0 || (GlobalFlags(b) & GMEM_LOCKCOUNT) != 0)
            Fail("a result block was left locked");
    }
}

// The colour of pixel x of a row of a 1-, 4-, 8- or 24-bit PackedDib, as blue, green, red.
const std::uint8_t* PixelColour(const std::uint8_t* dib, const std::uint8_t* row, int bits,
                                std::int64_t x) {
    if (bits == 24)
        return row + x * 3;
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (static_cast<int>(x % perByte) + 1);
    return dib + 40 + 4 * ((row[x / perByte] >> shift) & ((1 << bits) - 1));
}

bool IsGrey(const std::uint8_t* p, std::uint8_t v) {
    return p[0] == v && p[1] == v && p[2] == v;
}

// A result in the image-and-mask layout is a mask: its right half only pure black and pure
// white, and its left half pure black wherever the mask is white.
void CheckMaskLayout(std::uint32_t handle) {
    const auto* dib = static_cast<const std::uint8_t*>(GlobalLock(handle));
    if (dib == nullptr)
        Fail("a result block could not be locked");
    const auto i32 = [dib](int at) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(dib[at]) |
                                         static_cast<std::uint32_t>(dib[at + 1]) << 8 |
                                         static_cast<std::uint32_t>(dib[at + 2]) << 16 |
                                         static_cast<std::uint32_t>(dib[at + 3]) << 24);
    };
    const std::int64_t width = i32(4);
    const std::int64_t height = i32(8);
    const int bits = dib[14];
    if (bits == 1 || bits == 4 || bits == 8 || bits == 24) {
        const std::int64_t stride = (width * bits + 31) / 32 * 4;
        if (width % 2 != 0 || height < 0 ||
            static_cast<std::uint64_t>(1064 + stride * height) > GlobalSize(handle))
            Fail("a mask layout's header does not match its block");
        const std::int64_t half = width / 2;
        for (std::int64_t y = 0; y < height; ++y) {
            const std::uint8_t* row = dib + 1064 + y * stride;
            for (std::int64_t x = 0; x < half; ++x) {
                const std::uint8_t* mask = PixelColour(dib, row, bits, half + x);
                if (IsGrey(mask, 255)) {
                    if (!IsGrey(PixelColour(dib, row, bits, x), 0))
                        Fail("a transparent pixel is not black in the image half");
                } else if (!IsGrey(mask, 0)) {
                    Fail("a mask pixel is neither black nor white");
                }
            }
        }
    }
    GlobalUnlock(handle);
}

void OneShot(const LoadSetup& setup) {
    std::uint32_t a = 0, b = 0, flags = setup.flags;
    std::int32_t transparent = -1;
    const int r = ImageLoadFileTransIndex(
        L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size), &a, &b, &flags, &transparent);
    if (r == IMAGELIB_CALL_AGAIN)
        Fail("a one-shot load answered 68");
    // A first step that fails before the begin step ran leaves the words for the clean-up.
    if (r != IMAGELIB_FINISHED && r != IMAGELIB_NOT_FOUND && r != IMAGELIB_OUT_OF_MEMORY &&
        (a | b) != 0)
        Fail("a failed one-shot load left its words set");
    CheckEnd(r, a, b);
    if (r == IMAGELIB_FINISHED && (flags & IMAGELIB_IMAGE_AND_MASK) != 0)
        CheckMaskLayout(a);
    SerialImageCleanup(&a, &b);
}

// A stepwise load. Percent never falls and stays within 0..100; an error of
// SerialImageNext frees the load and clears the words, as the header promises.
void Stepwise(const LoadSetup& setup) {
    std::uint32_t a = 0, b = 0, flags = setup.flags;
    int r = SerialImageFileFirst(L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size), &a,
                                 &b, &flags);
    if (r != IMAGELIB_CALL_AGAIN) {
        // The first step: 3 and 1 may leave the context named for the caller's clean-up.
        if (r == IMAGELIB_FINISHED || r == IMAGELIB_OK)
            Fail("a first step answered 0 or 69");
        SerialImageCleanup(&a, &b);
        return;
    }
    int lastPercent = 0;
    while (r == IMAGELIB_CALL_AGAIN) {
        const int percent = SerialImagePercentComplete(&a, &b);
        if (percent < lastPercent || percent > 100)
            Fail("percent fell or passed 100");
        lastPercent = percent;
        r = SerialImageNext(&a, &b, &flags, nullptr);
    }
    if (r != IMAGELIB_FINISHED && (a | b) != 0)
        Fail("SerialImageNext failed but left the words naming the load");
    CheckEnd(r, a, b);
    SerialImageCleanup(&a, &b);
}

}  // namespace

std::uint32_t FailingAllocation(const std::uint8_t* data, std::size_t size) {
    return size < 5 ? 0 : data[4] / 3;
}

void LoadAllWays(const LoadSetup& setup) {
    const LiveCounts before = Live();
    OneShot(setup);
    ExpectNoLeak(before);
    Stepwise(setup);
    ExpectNoLeak(before);
    // Once more with one global allocation failing, when the input asks for it.
    if (setup.failingAllocation != 0) {
        Win32FailGlobalAllocAfter(setup.failingAllocation);
        Stepwise(setup);
        Win32FailGlobalAllocAfter(0);
        ExpectNoLeak(before);
    }
}

}  // namespace fuzz
