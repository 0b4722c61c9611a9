// Fixtures of the JPEG tests: the files of make_jpeg.py (made once per test program),
// djpeg as the reference decoder, screens of each display class, 24-bit DIB rows for the
// writer, and the messages the library recorded.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fixture_support.h"

namespace jpegtest {

// A file of make_jpeg.py's folder.
std::string File(const std::string& name);
// A fresh path in the fixture folder, for files a test writes.
std::string OutFile(const std::string& name);

// djpeg -pnm with the options (e.g. {"-scale", "1/2"}, {"-colors", "240"}) as RGB, the
// top row first (greyscale output expanded); false when djpeg fails (a warning about the
// data is no failure).
bool Djpeg(const std::string& file, const std::vector<std::string>& options,
           fixture::RgbImage* out);

// Rows of djpeg's output (the top row 0) as RGB, without holding the whole image; the
// output file is removed.
bool DjpegRows(const std::string& file, const std::vector<std::string>& options,
               const std::vector<int>& rows, std::map<int, std::vector<std::uint8_t>>* out);

// cjpeg with the arguments; true when it succeeds.
bool Cjpeg(const std::vector<std::string>& args);
// A binary PPM of the image.
bool WritePpm(const std::string& path, const fixture::RgbImage& image);

// Writes colours (red, green, blue each) as a one-row PPM, a colormap for djpeg -map.
bool WriteColourMap(const std::string& path, const std::vector<std::uint8_t>& rgb);

// The screen of a display class: 4 (16 colours), 8 (256-colour palette device) or 16.
void SetDisplayClass(int displayClass);

// A picture of smooth gradients and a soft bump, RGB, the top row first.
fixture::RgbImage Picture(int width, int height);

// The picture as 24-bit rows, bottom-up, blue-green-red, in the writer's two layouts:
// padded: 3 bytes for the width rounded up to 4 pixels; else the 24-bit DIB stride. The
// spare bytes hold a pattern, so that reading them would show.
std::vector<std::uint8_t> DibRows(const fixture::RgbImage& image, bool padded);

// Peak signal-to-noise ratio in dB of two images of one size (infinity when equal).
double Psnr(const fixture::RgbImage& a, const fixture::RgbImage& b);

// The messages recorded since the last clear, as "caption: text"; and the clear.
std::vector<std::string> Messages();
void ClearMessages();

}  // namespace jpegtest
