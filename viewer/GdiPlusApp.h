// The graphics library's state of the application object: started at launch when the
// library is there, shut down at exit only if it started.
#pragma once

#include "win32/gdiplus.h"
#include "win32/types.h"

class CGdiPlusApp {
  public:
    // Loads the library and starts it; any failure is silent.
    void StartGdiplus();
    // Shuts the library down if StartGdiplus started it.
    void ShutdownGdiplus();

    Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;  // version 1, the defaults
    ULONG_PTR m_gdiplusToken = 0;
    BOOL m_bGdiplusStarted = FALSE;

  private:
    Gdiplus::GdiplusShutdownProc m_shutdown = nullptr;
};
