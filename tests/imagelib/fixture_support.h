// Test fixtures of the image library: a temporary folder per test, the independent tools
// that make fixture files (ImageMagick, the generator scripts in tests/fixtures), the
// independent decoders that give reference pixels (PIL, ImageMagick), and our own result
// turned into the same RGB form for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Runs a program with arguments (no shell) and waits for it; true when it exits with 0.
// Its output goes to the test's output.
bool Run(const std::vector<std::string>& argv);
// /usr/bin/convert (ImageMagick) with the arguments.
bool Convert(const std::vector<std::string>& args);
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

}  // namespace fixture
