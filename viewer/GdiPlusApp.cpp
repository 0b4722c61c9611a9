#include "GdiPlusApp.h"

#include "win32/libloader.h"

void CGdiPlusApp::StartGdiplus() {
    // The module is never freed: the library stays until the process ends.
    const HMODULE module = LoadLibraryW(L"gdiplus.dll");
    if (!module)
        return;
    auto startup =
        reinterpret_cast<Gdiplus::GdiplusStartupProc>(GetProcAddress(module, "GdiplusStartup"));
    m_shutdown =
        reinterpret_cast<Gdiplus::GdiplusShutdownProc>(GetProcAddress(module, "GdiplusShutdown"));
    if (startup && m_shutdown &&
        startup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr) == Gdiplus::Ok) {
        m_bGdiplusStarted = TRUE;
    }
}

void CGdiPlusApp::ShutdownGdiplus() {
    if (m_bGdiplusStarted)
        m_shutdown(m_gdiplusToken);
}
