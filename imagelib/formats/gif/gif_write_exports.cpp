// The exported GIF writer and frame splitter: thin C layers over GifWriteFile and
// GifSplitFrames.
#include "formats/gif/gif_split.h"
#include "formats/gif/gif_writer.h"
#include "imagelib.h"

extern "C" {

int32_t ImageWriteGifFile(const wchar_t* path, int32_t frameCount, const void* const* frameRows,
                          const void* bitmapInfo, int32_t transparentIndex) {
    return imagelib::GifWriteFile(path, frameCount,
                                  reinterpret_cast<const std::uint8_t* const*>(frameRows),
                                  static_cast<const BITMAPINFO*>(bitmapInfo), transparentIndex);
}

int32_t ImageSplitWebImage(const wchar_t* source, const wchar_t* baseName, int32_t* count,
                           int32_t maxFrames) {
    return imagelib::GifSplitFrames(source, baseName, count, maxFrames) == 0 ? 1 : 0;
}

}  // extern "C"
