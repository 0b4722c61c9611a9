// The memory-stream source manager. All the data after the cursor is handed over as one
// piece, so that what libjpeg holds at any moment depends on the bytes alone, never on
// where the copy of the file lies: on damaged data libjpeg's decoding paths follow how many
// bytes it holds, and the same file must decode to the same pixels on every load. When the
// data runs out, libjpeg is handed an end-of-image marker, so a truncated file ends as
// libjpeg's rules for truncated data provide; no warning is raised for it here.
#include "formats/jpeg/jpeg_source.h"

namespace imagelib {
namespace {

constexpr JOCTET kEndOfImage[2] = {0xFF, kJpegEndOfImageMarker};
constexpr JOCTET kMarkerPrefix = 0xFF;

mem_stream_source_mgr* SourceOf(j_decompress_ptr d) {
    return reinterpret_cast<mem_stream_source_mgr*>(d->src);
}

void init_mem_stream_source(j_decompress_ptr d) {
    mem_stream_source_mgr* src = SourceOf(d);
    const ImageMemStream* s = src->stream;
    src->start = s->base;
    src->lastPiece = 0;
    // The cursor may lie anywhere after a seek: only the data from it to the end counts.
    const std::int64_t offset = s->cursor - s->base;
    src->remaining =
        offset >= 0 && offset <= s->size ? static_cast<std::int32_t>(s->size - offset) : 0;
}

boolean fill_mem_stream_buffer(j_decompress_ptr d) {
    mem_stream_source_mgr* src = SourceOf(d);
    ImageMemStream* s = src->stream;
    const std::int32_t n = src->remaining;
    if (n >= 1) {
        src->pub.next_input_byte = s->cursor;
        src->pub.bytes_in_buffer = static_cast<std::size_t>(n);
        s->cursor += n;
        src->remaining = 0;
        src->lastPiece = n;
    } else {
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
        src->lastPiece = sizeof kEndOfImage;
    }
    return TRUE;
}

void skip_mem_stream_data(j_decompress_ptr d, long count) {
    if (count <= 0)
        return;
    mem_stream_source_mgr* src = SourceOf(d);
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        const bool ended = src->remaining <= 0;
        fill_mem_stream_buffer(d);
        // Skipping past the end of the data lands on the end-of-image marker.
        if (ended)
            return;
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void term_mem_stream_source(j_decompress_ptr) {}

}  // namespace

void jpeg_mem_stream_src(j_decompress_ptr d, ImageMemStream* stream) {
    if (d->src == nullptr) {
        d->src = static_cast<jpeg_source_mgr*>((*d->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(d), JPOOL_PERMANENT, sizeof(mem_stream_source_mgr)));
    }
    mem_stream_source_mgr* src = SourceOf(d);
    src->pub.init_source = init_mem_stream_source;
    src->pub.fill_input_buffer = fill_mem_stream_buffer;
    src->pub.skip_input_data = skip_mem_stream_data;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = term_mem_stream_source;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->stream = stream;
}

int JpegNextMarker(j_decompress_ptr d) {
    if (d->unread_marker != 0)
        return d->unread_marker;
    // libjpeg's marker reader skips stray bytes and 0xFF fill before a marker code; an
    // 0xFF followed by 0 is a stuffed data byte, not a marker.
    const JOCTET* p = d->src->next_input_byte;
    const JOCTET* end = p + d->src->bytes_in_buffer;
    while (p != nullptr && p < end) {
        while (p < end && *p != kMarkerPrefix)
            ++p;
        while (p < end && *p == kMarkerPrefix)
            ++p;
        if (p < end && *p != 0)
            return *p;
    }
    // Past the data libjpeg is handed this source's end-of-image marker; with data not
    // handed over yet the next marker is not known.
    return SourceOf(d)->remaining > 0 ? 0 : kJpegEndOfImageMarker;
}

}  // namespace imagelib
