// The executable's own path and explicitly loaded shared libraries.
#pragma once

#include "win32/types.h"

// The executable's path (the module handle is ignored: every module here is the
// executable). Copies at most size - 1 units and a terminator; the length copied, which
// equals size when the path was cut short, and 0 (with an empty text) on failure.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// A shared library by file name or path; 0 when it cannot be loaded.
HMODULE LoadLibraryW(LPCWSTR fileName);
void* GetProcAddress(HMODULE module, const char* procName);
BOOL FreeLibrary(HMODULE module);
