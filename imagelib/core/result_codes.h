// The library's result codes, one constant per meaning. 68 and 69 are step results and
// never come out of an error path.
#pragma once

#include <cstdint>

#include "imagelib.h"

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

// The public header names the same values for callers.
static_assert(kOk == IMAGELIB_OK && kOutOfMemory == IMAGELIB_OUT_OF_MEMORY &&
                  kNotSupported == IMAGELIB_NOT_SUPPORTED && kNotFound == IMAGELIB_NOT_FOUND &&
                  kNotGif == IMAGELIB_NOT_GIF && kBmpEmptyImage == IMAGELIB_BMP_EMPTY &&
                  kReadError == IMAGELIB_READ_ERROR && kWriteError == IMAGELIB_WRITE_ERROR &&
                  kStepAgain == IMAGELIB_CALL_AGAIN && kStepDone == IMAGELIB_FINISHED,
              "internal result codes differ from the public ones");

}  // namespace imagelib
