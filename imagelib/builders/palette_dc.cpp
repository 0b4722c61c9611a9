// The screen's context with a caller's palette, held for one builder call.
#include "builders/palette_dc.h"

#include "win32/gdi.h"

namespace imagelib {

bool PaletteScreenDc::Open(HPALETTE palette) {
    Close();
    if (palette == 0)
        palette = GetStockObject(DEFAULT_PALETTE);
    dc_ = GetDC(0);
    if (dc_ == 0)
        return false;
    old_ = SelectPalette(dc_, palette, FALSE);
    return old_ != 0 && RealizePalette(dc_) != GDI_ERROR;
}

void PaletteScreenDc::Close() {
    if (dc_ == 0)
        return;
    // A failed reselection leaves nothing behind: releasing the context lets go of the
    // palette selected into it.
    if (old_ != 0)
        SelectPalette(dc_, old_, FALSE);
    ReleaseDC(0, dc_);
    dc_ = 0;
    old_ = 0;
}

}  // namespace imagelib
