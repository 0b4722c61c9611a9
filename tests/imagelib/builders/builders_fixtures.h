// Shared by the builder tests: DIBs of display-cube colours (which survive every
// reduction and every screen unchanged), the screen's context with the cube palette
// selected, bitmaps deleted at the end, and a fixture that proves nothing is left behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "../../platform/gdi_test_support.h"
#include "fixture_support.h"
#include "win32/gdi.h"

namespace builders_test {

using gdi_test::Colour;
using gdi_test::Dib;

// count colours of the 256-entry display palette, spread over it.
std::vector<Colour> CubeColours(int count);
// The display palette's 256 colours.
std::vector<Colour> DisplayColours();

// The width x height DIB of the given depth with pixel (x, y) from pattern; the colour
// table of an indexed DIB is table.
Dib PatternDib(LONG width, LONG height, WORD bits, const std::vector<Colour>& table);
// The colour PatternDib gives pixel (x, y), y counted from the bottom.
Colour PatternColour(const Dib& dib, const std::vector<Colour>& table, LONG x, LONG y);
// The index (or 0xRRGGBB) PatternDib stores at (x, y).
std::uint32_t PatternValue(WORD bits, const std::vector<Colour>& table, LONG x, LONG y);

// The same DIB as a BMP file.
std::vector<std::uint8_t> BmpFileOf(Dib& dib);

// The screen's context; on a palette screen the display palette is selected into it.
class ScreenDc {
  public:
    ScreenDc();
    ~ScreenDc();
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_ = 0;
    HPALETTE palette_ = 0;
    HPALETTE old_ = 0;
};

// A bitmap deleted when the test ends.
class Bitmap {
  public:
    explicit Bitmap(HBITMAP h = 0) : h_(h) {}
    ~Bitmap() { reset(0); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    HBITMAP get() const { return h_; }
    void reset(HBITMAP h) {
        if (h_ != 0)
            DeleteObject(h_);
        h_ = h;
    }

  private:
    HBITMAP h_;
};

// A bitmap of the screen's depth made from a 24-bit DIB whose pixel (x, y) is colour(x, y).
HBITMAP MakeBitmap(LONG width, LONG height, Colour (*colour)(LONG, LONG));
HBITMAP MakeBitmapFrom(LONG width, LONG height, const std::function<Colour(LONG, LONG)>& colour);

struct BitmapSize {
    LONG width = 0;
    LONG height = 0;
};
BitmapSize SizeOf(HBITMAP bitmap);

// Every test starts on the default screen, and leaves no bitmap, palette, context,
// tracked block or global block behind.
class BuilderTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

  private:
    std::uint32_t objects_ = 0;
    std::uint32_t contexts_ = 0;
    std::optional<fixture::LiveBlocks> blocks_;
};

}  // namespace builders_test
