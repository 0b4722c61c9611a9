// The library's result codes, one constant per meaning. 68 and 69 are step results and
// never come out of an error path.
#pragma once

#include <cstdint>

namespace imagelib {

constexpr int kOk = 0;
constexpr int kOutOfMemory = 1;  // also: bad argument, empty handle words
constexpr int kNotSupported = 2;
constexpr int kNotFound = 3;  // file or resource missing, cannot be created, format not recognised
constexpr int kNotGif = 5;    // also: data without a BMP file header
constexpr int kBmpEmptyImage = 6;
constexpr int kReadError = 7;
constexpr int kWriteError = 8;
constexpr int kStepAgain = 68;
constexpr int kStepDone = 69;

}  // namespace imagelib
