// Common controls. The toolkit's widgets need no registration here.
#pragma once

#include "win32/types.h"

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};

constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

// No counterpart here: succeeds (and says so in the platform trace).
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
