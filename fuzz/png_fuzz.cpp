// PNG loads from arbitrary data, with flags and screen chosen by the input. A declared
// image of more than 1 Mi pixels is loaded without colour reduction: its dithering costs
// seconds under the fuzzer's instrumentation and is the reducer's business, not PNG's.
#include <cstddef>
#include <cstdint>

#include "fuzz_load.h"
#include "imagelib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::LoadSetup setup;
    if (!fuzz::TakeSetup(data, size, &setup))
        return 0;
    constexpr std::size_t kIhdrEnd = 24;  // signature, length, type, width, height
    if (setup.size >= kIhdrEnd) {
        const std::uint8_t* p = setup.data + 16;
        const std::uint64_t width = std::uint64_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
        const std::uint64_t height = std::uint64_t{p[4]} << 24 | p[5] << 16 | p[6] << 8 | p[7];
        if (width * height > (1u << 20))
            setup.flags &= ~std::uint32_t{IMAGELIB_REDUCE | IMAGELIB_FORCE_8BIT};
    }
    fuzz::LoadAllWays(setup);
    return 0;
}
