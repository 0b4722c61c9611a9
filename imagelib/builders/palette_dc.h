// The screen's device context with a caller's palette selected and realised, through which
// the GIF and JPEG builders read a bitmap's colours.
#pragma once

#include "win32/types.h"

namespace imagelib {

// The old palette is selected back and the context released on every path out.
class PaletteScreenDc {
  public:
    PaletteScreenDc() = default;
    ~PaletteScreenDc() { Close(); }
    PaletteScreenDc(const PaletteScreenDc&) = delete;
    PaletteScreenDc& operator=(const PaletteScreenDc&) = delete;

    // Takes the screen's context and selects and realises palette in it (0: the stock
    // default palette). False when any of these calls fails: the bitmap's colours would
    // then not come from the palette the caller chose.
    bool Open(HPALETTE palette);
    HDC get() const { return dc_; }
    // Selects the old palette back and releases the context.
    void Close();

  private:
    HDC dc_ = 0;
    HPALETTE old_ = 0;
};

}  // namespace imagelib
