// A file the GIF writers and the frame splitter create: every write and the close are
// checked, and a file still open when its owner leaves is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/holders.h"

namespace imagelib {

class GifOutFile {
  public:
    // Creates (or truncates) path for writing; check IsOpen.
    explicit GifOutFile(const wchar_t* path);

    bool IsOpen() const { return file_.get() != nullptr; }
    std::FILE* get() const { return file_.get(); }
    // False unless all n bytes were written.
    bool Write(const void* bytes, std::size_t n);
    bool WriteByte(std::uint8_t b) { return Write(&b, 1); }
    bool WriteU16(std::uint32_t value);  // the low 16 bits, little-endian
    // Closes the file; false when buffered data could not be written out.
    bool Close() { return file_.Close(); }

  private:
    StdioFile file_;
};

}  // namespace imagelib
