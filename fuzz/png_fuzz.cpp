// PNG loads from arbitrary data, with flags and screen chosen by the input.
#include <cstddef>
#include <cstdint>

#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::LoadSetup setup;
    if (!fuzz::TakeSetup(data, size, &setup))
        return 0;
    fuzz::LoadAllWays(setup);
    return 0;
}
