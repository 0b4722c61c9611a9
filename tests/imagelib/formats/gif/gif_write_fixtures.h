// Fixtures of the GIF writer and splitter tests: indexed images and their DIB rows, and
// three independent decoders (giflib's giftext, PIL, ImageMagick) whose view of a written
// file is compared with what was given to the writer.
#pragma once

#include <sys/resource.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imagelib.h"

namespace gifwrite {

using Rgb = std::array<std::uint8_t, 3>;

// A frame as the writer was asked to write it; indices top row first.
struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = 0;
    int disposal = 0;  // method 0 to 3
    int userInput = 0;
    int transparent = -1;  // transparent index, -1 for none
    std::vector<std::uint8_t> indices;
};

// A whole file as written: the screen, the global table, the loop count (-1 none).
struct Gif {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;
    int loop = -1;
    std::vector<Frame> frames;
};

// Distinct colours, so that a decoded colour names its index.
std::vector<Rgb> DistinctPalette(int count);

// Indices of a w x h frame from pixel(x, y).
template <class F>
std::vector<std::uint8_t> MakeIndices(int w, int h, F pixel) {
    std::vector<std::uint8_t> out(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[std::size_t(y) * w + x] = static_cast<std::uint8_t>(pixel(x, y));
    return out;
}

// DIB rows: bottom-up, bits per pixel, each row padded to 4 bytes.
std::vector<std::uint8_t> PackRows(const std::vector<std::uint8_t>& indices, int w, int h,
                                   int bits);
// A BITMAPINFOHEADER (width, height, bits) followed by 1 << bits RGBQUADs from palette
// (unused entries black).
std::vector<std::uint8_t> BitmapInfo(int w, int h, int bits, const std::vector<Rgb>& palette);

// Checks the file with each decoder: "" when it shows exactly expected, else what differs.
std::string CheckGiflib(const std::string& path, const Gif& expected);
std::string CheckPil(const std::string& path, const Gif& expected);
std::string CheckImageMagick(const std::string& path, const Gif& expected);
// All three, the first difference found.
std::string CheckAllDecoders(const std::string& path, const Gif& expected);

// A clear code inside an image's data as a standard decoder meets it: the table's next
// free entry and the pixels decoded before it.
struct ClearPoint {
    int next;
    long pixels;
};
// The clear codes after the first of every image in a GIF's LZW data, read by a plain
// standard decoder; false when the stream cannot be followed (a code out of range, data
// ending before the end code).
bool ClearPoints(const std::vector<std::uint8_t>& file, std::vector<ClearPoint>* clears);

// Limits the size of files this process writes while it lives; a write past it fails
// (without the signal) as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

// The animated writer's record of a frame: kind, size, place and control fields; the caller
// adds the bitmap or the rows.
GifAnimRecord FrameRecord(const Frame& f);

// The library's fixed 256 colours.
std::vector<Rgb> FixedPalette();
// The indices whose colour no earlier entry has: a pixel of that colour gets that index.
std::vector<int> FirstOfTheirColour(const std::vector<Rgb>& palette);

}  // namespace gifwrite
