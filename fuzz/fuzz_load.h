// What every format's fuzz target does with one input: its first bytes choose the flags
// word and the screen, the rest is loaded from a buffer one-shot and stepwise (and, for
// animation targets, as an animation), and afterwards no global or tracked block may be
// left. Any broken rule aborts, so libFuzzer keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The settings an input's first bytes choose.
struct LoadSetup {
    std::uint32_t flags;
    const std::uint8_t* data;
    std::size_t size;
    // 0, or n: a third, stepwise load runs with the n-th global allocation failing.
    std::uint32_t failingAllocation = 0;
};

// Takes five bytes off the front of the input: four for the flags word, one for the screen
// (its value mod 3: true colour, 256-colour palette device or 16 colours) and the failing
// allocation (its value / 3). False when the input is shorter.
bool TakeSetup(const std::uint8_t* data, std::size_t size, LoadSetup* setup);
// The failing allocation an input's setup bytes choose (0: none).
std::uint32_t FailingAllocation(const std::uint8_t* data, std::size_t size);

// Loads the data one-shot and stepwise, and stepwise again with a failing allocation when
// the setup asks for one. Checks: percent never falls and stays within 0..100; a one-shot
// load never answers 68; an error of SerialImageNext clears the words; a finished load
// hands over two unlocked blocks, in the image-and-mask layout a true mask; everything is
// freed after the clean-up.
void LoadAllWays(const LoadSetup& setup);

// Aborts with a message: a rule of the library was broken.
[[noreturn]] void Fail(const char* what);

// Counts of live global and tracked blocks, for leak checks around other calls.
struct LiveCounts {
    std::uint32_t global;
    std::uint32_t tracked;
};
LiveCounts Live();
void ExpectNoLeak(const LiveCounts& before);

}  // namespace fuzz
