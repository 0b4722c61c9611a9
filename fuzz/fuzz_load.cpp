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
    setup->data = data + 5;
    setup->size = size - 5;
    return true;
}

namespace {

void OneShot(const LoadSetup& setup) {
    std::uint32_t a = 0, b = 0, flags = setup.flags;
    std::int32_t transparent = -1;
    const int r = ImageLoadFileTransIndex(
        L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size), &a, &b, &flags, &transparent);
    if (r == IMAGELIB_CALL_AGAIN)
        Fail("a one-shot load answered 68");
    SerialImageCleanup(&a, &b);
}

void Stepwise(const LoadSetup& setup) {
    std::uint32_t a = 0, b = 0, flags = setup.flags;
    int r = SerialImageFileFirst(L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size), &a,
                                 &b, &flags);
    int lastPercent = 0;
    while (r == IMAGELIB_CALL_AGAIN) {
        const int percent = SerialImagePercentComplete(&a, &b);
        if (percent < lastPercent || percent > 100)
            Fail("percent fell or passed 100");
        lastPercent = percent;
        r = SerialImageNext(&a, &b, &flags, nullptr);
    }
    SerialImageCleanup(&a, &b);
}

}  // namespace

void LoadAllWays(const LoadSetup& setup) {
    const LiveCounts before = Live();
    OneShot(setup);
    ExpectNoLeak(before);
    Stepwise(setup);
    ExpectNoLeak(before);
}

}  // namespace fuzz
