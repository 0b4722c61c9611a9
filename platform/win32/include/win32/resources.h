// Module resources. A module's resources are compiled into it and registered at start-up
// (a program registers its own, a test registers fixtures); the lookup functions then
// find them by type and name as the platform's do. Names and types are strings (compared
// without regard to case) or integer ids made with MAKEINTRESOURCEW.
#pragma once

#include <stdbool.h>
#include <stdint.h>

#include "win32/types.h"

// C casts, because the header serves C callers too.
static inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
    return (LPCWSTR)(uintptr_t)id;
}
static inline bool IS_INTRESOURCE(LPCWSTR p) {
    return ((uintptr_t)p >> 16) == 0;
}

// Predefined resource types.
static const LPCWSTR RT_BITMAP = (LPCWSTR)2;
static const LPCWSTR RT_MENU = (LPCWSTR)4;
static const LPCWSTR RT_DIALOG = (LPCWSTR)5;
static const LPCWSTR RT_STRING = (LPCWSTR)6;
static const LPCWSTR RT_ACCELERATOR = (LPCWSTR)9;
static const LPCWSTR RT_RCDATA = (LPCWSTR)10;
static const LPCWSTR RT_GROUP_ICON = (LPCWSTR)14;

#ifdef __cplusplus
extern "C" {
#endif
// Registers (or replaces) a resource of a module with a copy of its bytes, which the
// caller may free at once. A find handle names one registration: its size and the bytes
// of every handle loaded from it stay that registration's when the resource is replaced;
// loaded handles keep their bytes until FreeResource, also when the module's resources are
// unregistered. Returns FALSE for a null data pointer or when memory runs out.
BOOL Win32RegisterResource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* data,
                           DWORD size);
// Removes every resource of a module and the handles found in it (tests).
void Win32UnregisterModuleResources(HMODULE module);

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC res);  // 0 when res is unknown
void* LockResource(HGLOBAL loaded);               // the registered bytes, read-only
DWORD SizeofResource(HMODULE module, HRSRC res);
BOOL FreeResource(HGLOBAL loaded);
#ifdef __cplusplus
}
#endif
