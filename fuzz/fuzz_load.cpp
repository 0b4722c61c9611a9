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
