// Test fixtures of the image library: a temporary folder per test, the independent tools
// that make fixture files (ImageMagick, the generator scripts in tests/fixtures), the
// independent decoders that give reference pixels (PIL, ImageMagick), hand-built BMP files,
// loads through the exports with their results copied out, and leak checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagelib.h"

namespace fixture {

// A fresh folder under the test build's work folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// /usr/bin/convert (ImageMagick) with the arguments, then more.
bool Convert(std::vector<std::string> args, const std::vector<std::string>& more = {});
// /usr/bin/python3 with a script of tests/fixtures and the arguments.
bool Python(const std::string& script, const std::vector<std::string>& args);

std::vector<std::uint8_t> ReadFile(const std::string& path);  // empty when unreadable
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::wstring Wide(const std::string& path);

// Pixels as red, green, blue bytes, the top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* at(int x, int y) const { return &rgb[(std::size_t(y) * width + x) * 3]; }
};

enum class Decoder { Pil, ImageMagick };

// The reference pixels of an image file from an independent decoder; false when it
// cannot decode the file.
bool ReferenceDecode(const std::string& path, Decoder decoder, RgbImage* out);

// A PackedDib (header, 256 colour-table entries, rows bottom-up at byte 1064) of 1, 4, 8
// or 24 bits as RGB; width and height 0 for any other depth.
RgbImage RgbFromPackedDib(const std::uint8_t* dib);

// "" when the images are equal, else where they first differ.
std::string CompareRgb(const RgbImage& expected, const RgbImage& actual);

// The image-and-mask layout as RGB: the left half the picture, the right half its mask.
// The pixels of the left half that the mask half shows transparent (not black), top row
// first.
std::vector<bool> MaskedPixels(const RgbImage& layout);
// "" when layout masks its picture as transparent says (a flag per pixel of its left
// half): its right half pure white where the flag is set and pure black elsewhere, its left
// half pure black wherever the flag is set; else the first pixel that is not.
std::string CheckMask(const RgbImage& layout, const std::vector<bool>& transparent);
// What a load reduced without dithering (flag 0x400000, no search flags) to a screen of
// screenBits (4: the 16 display colours; 8: the palette screen's 7 x 8 x 4 cube) gives
// for the unreduced layout: each opaque pixel its nearest display colour, the keys
// unchanged.
RgbImage NearestOnScreen(const RgbImage& layout, int screenBits);

// The fields of a hand-built Windows BMP.
struct BmpFields {
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t bits = 8;
    std::uint32_t headerSize = 40;
    std::uint32_t coloursUsed = 0;
    std::uint32_t compression = 0;
    std::uint16_t planes = 1;
};

// "BM", an information header cut to its size, the palette (blue, green, red, 0 quads)
// and the rows; the bits offset points just behind the palette.
std::vector<std::uint8_t> MakeBmp(const BmpFields& f, const std::vector<std::uint8_t>& palette,
                                  const std::vector<std::uint8_t>& rows);

// The two handle words of one load, cleaned up whatever happens.
struct Words {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    Words() = default;
    Words(const Words&) = delete;
    Words& operator=(const Words&) = delete;
    ~Words() { SerialImageCleanup(&a, &b); }
};

// A copy of a global block's bytes; empty when the handle names none.
std::vector<std::uint8_t> CopyBlock(std::uint32_t handle);

// The outcome of a load through the exports, its blocks copied out.
struct Loaded {
    int code = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> dib;
    std::vector<std::uint8_t> palette;  // the LOGPALETTE
    std::vector<int> percents;          // after each SerialImageNext of a stepwise load

    int bits() const { return dib.size() >= 16 ? dib[14] | dib[15] << 8 : 0; }
    int paletteCount() const { return palette.size() >= 4 ? palette[2] | palette[3] << 8 : 0; }
    const std::uint8_t* rows() const { return dib.data() + 1064; }
    RgbImage rgb() const { return RgbFromPackedDib(dib.data()); }
};

// A one-shot load (ImageLoadFile) of a file or of bytes in a buffer.
Loaded LoadFile(const std::string& path, std::uint32_t flags = 0);
Loaded LoadBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t flags = 0);
// A stepwise load of a file to its end. A finished one is checked on the way: percent
// never falling and ending at 100, a further step answering 69 and touching nothing, the
// first clean-up answering 0 and a second 1.
Loaded LoadStepwise(const std::string& path, std::uint32_t flags = 0);

// Live blocks of the tracked allocator and the global-memory layer, to prove that a path
// leaves nothing behind: Leaked() is "" while both counts are as at construction.
struct LiveBlocks {
    LiveBlocks();
    std::string Leaked() const;
    std::uint32_t tracked;
    std::uint32_t global;
};

}  // namespace fixture
