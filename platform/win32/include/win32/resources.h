// Module resources. A module's resources are compiled into it and registered at start-up
// (a program registers its own, a test registers fixtures); the lookup functions then
// find them by type and name as the platform's do. Names and types are strings (compared
// without regard to case) or integer ids made with MAKEINTRESOURCEW.
#pragma once

#include <cstdint>

#include "win32/types.h"

inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR p) {
    return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0;
}

// Predefined resource types.
inline const LPCWSTR RT_BITMAP = MAKEINTRESOURCEW(2);
inline const LPCWSTR RT_MENU = MAKEINTRESOURCEW(4);
inline const LPCWSTR RT_DIALOG = MAKEINTRESOURCEW(5);
inline const LPCWSTR RT_STRING = MAKEINTRESOURCEW(6);
inline const LPCWSTR RT_ACCELERATOR = MAKEINTRESOURCEW(9);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);
inline const LPCWSTR RT_GROUP_ICON = MAKEINTRESOURCEW(14);

extern "C" {
// Registers (or replaces) a resource of a module. The data is not copied: it must live as
// long as the registration (compiled-in arrays do). Returns FALSE for a null data pointer.
BOOL Win32RegisterResource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* data,
                           DWORD size);
// Removes every resource of a module (tests).
void Win32UnregisterModuleResources(HMODULE module);

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC res);  // 0 when res is unknown
void* LockResource(HGLOBAL loaded);               // the registered bytes, read-only
DWORD SizeofResource(HMODULE module, HRSRC res);
BOOL FreeResource(HGLOBAL loaded);
}
