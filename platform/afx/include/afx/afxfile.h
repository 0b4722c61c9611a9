// File status queries of the framework.
#pragma once

#include <climits>
#include <cstdint>

#include "win32/types.h"

struct CFileStatus {
    std::int64_t m_size = 0;
    BYTE m_attribute = 0;                 // CFile::Attribute bits
    wchar_t m_szFullName[PATH_MAX] = {};  // the full path that was tested
};

class CFile {
  public:
    enum Attribute : BYTE {
        normal = 0x00,
        readOnly = 0x01,
        directory = 0x10,
    };

    // True when the name is shorter than the platform's path limit, can be made a full
    // path (relative names against the current folder, "." and ".." resolved by name) and
    // names an existing file or folder.
    static BOOL GetStatus(LPCWSTR fileName, CFileStatus& status);
};
