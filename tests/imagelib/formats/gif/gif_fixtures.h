// GIF test fixtures: the generator's files made once per test program, their expected
// indices, and the animation records and frames of a load read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fixture_support.h"

namespace giffix {

// The folder of make_gif.py's files, made on first use and kept for the test program.
const fixture::TempDir& Dir();
std::string File(const std::string& name);  // Dir() + "/" + name

// What NAME.idx says a decoder must give.
struct Expected {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> palette;  // red, green, blue per entry
    std::vector<std::uint8_t> indices;  // top row first
};
bool ReadExpected(const std::string& name, Expected* out);

// The 8-bit rows of a PackedDib, top row first, without padding.
std::vector<std::uint8_t> IndicesOf(const std::uint8_t* dib);
// The colour-table entry i of a PackedDib as red, green, blue.
std::vector<std::uint8_t> ColourAt(const std::uint8_t* dib, int i);

// An image's data: the minimum code size, then sub-blocks of LZW codes (a clear code, one
// code per index at the widths a decoder reads them, the end code) and the terminator.
std::vector<std::uint8_t> LzwData(int minSize, const std::vector<int>& indices);

// A GIF89a file of one image on a logical screen.
struct Still {
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<std::uint8_t> table;  // the global table, red, green, blue per entry
    int transparent = -1;             // 0 or more: a graphic control marks it transparent
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<int> indices;  // in the order the data give them: top row first, or by passes
    bool interlaced = false;
    // When not empty, the image's data as they stand (minimum code size on) instead of the
    // indices' codes, and nothing after them: no terminator, no trailer.
    std::vector<std::uint8_t> data;
};
std::vector<std::uint8_t> MakeGif(const Still& g);

// An animation load through ImageLoadGIFAnimation with everything it hands over copied
// out and freed.
struct Frame {
    std::vector<std::uint8_t> dib;
    std::vector<std::uint8_t> palette;
};
struct Animation {
    int code = 0;
    std::uint32_t flags = 0;
    std::uint32_t listBytes = 0;         // size of the record block
    std::vector<GifAnimRecord> records;  // up to and without the closing empty one
    std::vector<Frame> frames;           // of the 0x2C records, in order
    std::vector<std::uint8_t> result;    // the PackedDib in a
};
Animation LoadAnimation(const std::string& path, std::uint32_t flags = 0);
Animation LoadAnimationBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t flags = 0);

}  // namespace giffix
