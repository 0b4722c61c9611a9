// A caller's device-independent bitmap run through the load engine as if it were a BMP
// file: the load the DIB builders (ConvertBitmapBits, ConvertBitmapImage and
// CreateAnimationMaskImage) share.
#pragma once

#include <cstdint>

#include "win32/types.h"

namespace imagelib {

// Offset of the pixel rows in the in-memory file: file header, information header and
// 256 colour-table slots.
constexpr std::uint32_t kDibFileRowsOffset = 14 + 40 + 256 * 4;

// The engine's two handle words for one load; whatever they still name (a load or its
// result) is freed when the DibLoad goes, unless it was handed over.
class DibLoad {
  public:
    DibLoad() = default;
    ~DibLoad() { Release(); }
    DibLoad(const DibLoad&) = delete;
    DibLoad& operator=(const DibLoad&) = delete;

    // Runs the engine one-shot on header (a BITMAPINFOHEADER with its colour table behind
    // it) and rows, with the caller's flags word (may be null, written back as the engine
    // leaves it). False when the engine could not be started: a size the file cannot hold
    // or memory running out first.
    bool Run(const void* header, const void* rows, std::uint32_t* flags);
    // True when the load finished and the words hold a PackedDib and its DisplayPalette.
    bool Finished() const { return result_ == kFinished; }
    // The PackedDib of a finished load, locked; null otherwise.
    std::uint8_t* LockDib();
    // Gives the two result handles to the caller, who frees them.
    void HandOver(std::uint32_t* dib, std::uint32_t* palette);
    // Frees whatever the words name.
    void Release();

  private:
    static constexpr int kFinished = 69;
    std::uint32_t a_ = 0;
    std::uint32_t b_ = 0;
    int result_ = 0;
};

// A device-dependent bitmap for dc made from a PackedDib (header, 256 colour-table
// entries, rows at byte 1064); 0 when it cannot be made.
HBITMAP BitmapFromPackedDib(HDC dc, const std::uint8_t* dib);

}  // namespace imagelib
