// The shell's "open" of a document: the desktop's default program for the file's type.
#pragma once

#include "win32/types.h"

// Results of ShellExecuteW: above 32 on success, else one of these.
constexpr HINSTANCE SE_ERR_FNF = 2;          // the file does not exist
constexpr HINSTANCE SE_ERR_NOASSOC = 31;     // no program for this verb and file type
constexpr HINSTANCE SE_RESULT_STARTED = 42;  // the program was asked to open the file

// Opens lpFile (a file or folder; relative to lpDirectory, else to the current folder)
// with the program the desktop associates with its type, as the desktop's own "open"
// does. The verb is "open" or null; the program is not waited for. Parameters are for
// programs, not documents, and nShowCmd is the started program's own business: both are
// ignored.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, int nShowCmd);
