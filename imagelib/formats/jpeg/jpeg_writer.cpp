// The JPEG writer over libjpeg's compressor and its standard file destination. Every
// libjpeg call runs under the error trap; one row at a time is copied and turned from
// blue, green, red into libjpeg's red, green, blue.
#include "formats/jpeg/jpeg_writer.h"

#include <cstdio>
#include <cstring>

#include "core/checked_size.h"
#include "core/holders.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "formats/jpeg/jpeg_error_trap.h"
#include "win32/wide_files.h"

namespace imagelib {
namespace {

// The largest width or height a JPEG file can state.
constexpr std::int64_t kMaxJpegDimension = JPEG_MAX_DIMENSION;

struct JpegWriteState {
    jpeg_compress_struct compressor;
    JpegErrorTrap trap;
};

// Bytes from one row's start to the next's in the caller's layout.
std::uint64_t SourceStride(std::uint64_t width, bool paddedRows) {
    return paddedRows ? 12 * ((width + 3) / 4) : WorkStride24(width);
}

// The whole compression, with the trap armed.
void Compress(JpegWriteState& ws, std::FILE* file, int quality, const std::uint8_t* bits,
              std::uint32_t width, std::uint32_t height, std::uint64_t stride, JSAMPLE* row) {
    jpeg_compress_struct* c = &ws.compressor;
    jpeg_stdio_dest(c, file);
    c->image_width = width;
    c->image_height = height;
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    if (quality > 0)
        jpeg_set_quality(c, quality, TRUE);
    jpeg_start_compress(c, TRUE);
    JSAMPROW rows[1] = {row};
    while (c->next_scanline < height) {
        const std::uint8_t* in = bits + (height - 1 - c->next_scanline) * stride;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
        jpeg_write_scanlines(c, rows, 1);
    }
    jpeg_finish_compress(c);
}

}  // namespace

int JpegWriteFile(const wchar_t* path, int quality, const std::uint8_t* bits,
                  const BITMAPINFOHEADER* header, std::uint32_t paddedRows) {
    if (path == nullptr || bits == nullptr || header == nullptr)
        return kOutOfMemory;
    const std::int64_t width = header->biWidth;
    const std::int64_t height = header->biHeight;
    if (width <= 0 || height <= 0 || width > kMaxJpegDimension || height > kMaxJpegDimension)
        return kOutOfMemory;
    TrackedBlock row;
    TrackedBlock state;
    if (!row.Allocate(static_cast<std::uint64_t>(3 * width)) ||
        !state.Allocate(sizeof(JpegWriteState)))
        return kOutOfMemory;
    auto* ws = reinterpret_cast<JpegWriteState*>(state.get());
    jpeg_compress_struct* c = &ws->compressor;
    c->err = JpegInstallErrorTrap(&ws->trap);
    int result = kOk;
    if (!JpegTrapped(&ws->trap, [&] {
            jpeg_CreateCompress(c, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
        })) {
        result = kOutOfMemory;
    } else {
        StdioFile file(_wfopen(path, L"wb"));
        if (file.get() == nullptr) {
            result = kNotFound;
        } else {
            const std::uint64_t stride =
                SourceStride(static_cast<std::uint64_t>(width), paddedRows != 0);
            if (!JpegTrapped(&ws->trap, [&] {
                    Compress(*ws, file.get(), quality, bits, static_cast<std::uint32_t>(width),
                             static_cast<std::uint32_t>(height), stride, row.get());
                }))
                result = kWriteError;
            // A file that cannot be closed was not written whole.
            if (!file.Close() && result == kOk)
                result = kWriteError;
        }
    }
    jpeg_destroy(reinterpret_cast<j_common_ptr>(c));
    JpegEndMessages(&ws->trap);
    return result;
}

}  // namespace imagelib
