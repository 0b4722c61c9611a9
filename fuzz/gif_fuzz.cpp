// GIF loads from arbitrary data: one-shot and stepwise (single mode), then as an animation
// with the same flags, whose frames, records and result must all be handed over or freed.
#include <cstddef>
#include <cstdint>

#include "fuzz_load.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

void LoadAnimation(const fuzz::LoadSetup& setup) {
    const fuzz::LiveCounts before = fuzz::Live();
    std::uint32_t a = 0, b = 0, list = 0, flags = setup.flags;
    const int r = ImageLoadGIFAnimation(L"fuzz", setup.data, static_cast<std::uint32_t>(setup.size),
                                        &a, &b, &list, &flags);
    if (r != IMAGELIB_FINISHED && (a != 0 || b != 0 || list != 0))
        fuzz::Fail("a failed animation load left its words or list set");
    if (list != 0) {
        const auto* records = static_cast<const GifAnimRecord*>(GlobalLock(list));
        const std::uint64_t count = GlobalSize(list) / sizeof(GifAnimRecord);
        std::uint64_t i = 0;
        for (; i < count && records[i].kind != 0; ++i) {
            if (records[i].kind == 0x2C) {
                if (records[i].dib == 0 || records[i].palette == 0)
                    fuzz::Fail("a frame record without its bitmap or palette");
                GlobalFree(records[i].dib);
                GlobalFree(records[i].palette);
            }
        }
        if (i == count)
            fuzz::Fail("the record list has no closing empty record");
        GlobalUnlock(list);
        GlobalFree(list);
    }
    SerialImageCleanup(&a, &b);
    fuzz::ExpectNoLeak(before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::LoadSetup setup;
    if (!fuzz::TakeSetup(data, size, &setup))
        return 0;
    fuzz::LoadAllWays(setup);
    LoadAnimation(setup);
    return 0;
}
