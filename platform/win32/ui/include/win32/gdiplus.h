// The graphics library's start-up interface. The library is loaded explicitly
// (LoadLibraryW) and its two entry points are found by name (GetProcAddress); where it is
// not installed, nothing is started.
#pragma once

#include <cstdint>

#include "win32/types.h"

using ULONG_PTR = std::uintptr_t;

namespace Gdiplus {

enum Status {
    Ok = 0,
    GenericError = 1,
};

using DebugEventProc = void (*)(int level, char* message);

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput;

using GdiplusStartupProc = Status (*)(ULONG_PTR* token, const GdiplusStartupInput* input,
                                      GdiplusStartupOutput* output);
using GdiplusShutdownProc = void (*)(ULONG_PTR token);

}  // namespace Gdiplus
