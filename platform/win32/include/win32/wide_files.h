// The runtime's file functions on wide-character paths. wchar_t paths become UTF-8 in
// one place (Win32PathToUtf8) before they reach the file system.
#pragma once

#include <stdint.h>
#include <stdio.h>
#ifdef __cplusplus
#include <cstdint>
#include <cstdio>
#include <string>
#endif

// What _wstat reports about a file.
struct _stat {
    int64_t st_size;
    uint32_t st_mode;
};

#ifdef __cplusplus
extern "C" {
#endif
// 0 and the file's size and mode, or -1 when the path is null or cannot be stat-ed.
int _wstat(const wchar_t* path, struct _stat* out);
// fopen on a wide path with a wide mode ("rb", "wb", ...); null on failure.
FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
// 0 when the file was removed, else -1.
int _wremove(const wchar_t* path);
#ifdef __cplusplus
}

// The UTF-8 form of a wide path; empty for a null path or one holding a code point that
// is not a valid Unicode scalar value.
std::string Win32PathToUtf8(const wchar_t* path);
#endif
