// JPEG loads from arbitrary data, with flags and screen chosen by the input; the caller's
// colours are set, so that flag 0x1000 quantises to them. No load may show more than one
// message.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_load.h"
#include "imagelib.h"
#include "win32/message_box.h"

namespace {

// 300 colours with repeats, so that the colormap fills and duplicates are skipped.
const std::vector<std::uint32_t>& CallerColours() {
    static const std::vector<std::uint32_t> colours = [] {
        std::vector<std::uint32_t> c;
        for (std::uint32_t i = 0; i < 300; ++i) {
            const std::uint32_t k = i % 280;
            c.insert(c.end(), {k * 37 % 256, k * 91 % 256, k * 13 % 256});
        }
        return c;
    }();
    return colours;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::LoadSetup setup;
    if (!fuzz::TakeSetup(data, size, &setup))
        return 0;
    SetImagePalette(300, CallerColours().data());
    Win32ClearNotices();
    fuzz::LoadAllWays(setup);
    // One message at most for each load: one-shot, stepwise, and the stepwise load with a
    // failing allocation when the input asks for one.
    const std::size_t loads = setup.failingAllocation != 0 ? 3 : 2;
    if (Win32RecordedNotices().size() > loads)
        fuzz::Fail("a load showed more than one message");
    return 0;
}
