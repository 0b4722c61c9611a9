// The JPEG driver's decoding steps: scanlines straight into the result rows, the palette
// of quantised output, the percent from libjpeg's passes, and the end of the decompressor.
#include <algorithm>

#include "core/result_codes.h"
#include "formats/jpeg/jpeg_driver.h"
#include "formats/jpeg/jpeg_state.h"

namespace imagelib {
namespace {

// The most decoding work, in stored pixels times scans, that a multi-scan image may ask
// for. Ordinary progressive files need a few dozen scans; a file of many tiny scans over a
// large image would otherwise take minutes.
constexpr std::uint64_t kMaxScanWork = std::uint64_t{1} << 34;

// Row store: the next scanlines go straight into their bitmap rows, the first scanline of
// the image into the last row in memory, so that the bitmap is bottom-up. Unquantised
// colour arrives as blue, green, red; greyscale and quantised output as one index a pixel.
void JpegStoreRows(JpegDecodeState& st) {
    j_decompress_ptr d = &st.decompressor;
    // Rows left to store = scanlines left to read (at least 1 here), so no pointer leaves
    // the bitmap.
    const std::int32_t n = std::min(st.rowsPerCall, st.rowIndex + 1);
    for (std::int32_t i = 0; i < n; ++i)
        st.rowPointers[i] = st.bits + static_cast<std::int64_t>(st.rowBytes) * (st.rowIndex - i);
    const JDIMENSION k = jpeg_read_scanlines(d, st.rowPointers, static_cast<JDIMENSION>(n));
    st.rowIndex -= static_cast<std::int32_t>(k);
}

// Palette store: the colormap's colours (grey levels for one component), black after them.
void JpegStorePalette(JpegDecodeState& st) {
    const j_decompress_ptr d = &st.decompressor;
    st.info->bitsPerPixel = 8;
    const int used = d->colormap != nullptr ? std::clamp(d->actual_number_of_colors, 0, 256) : 0;
    const bool colour = d->out_color_components == 3;
    for (int i = 0; i < 256; ++i) {
        PaletteEntry3& e = st.palette[i];
        if (i >= used) {
            e = PaletteEntry3{0, 0, 0};
        } else if (colour) {
            e = PaletteEntry3{d->colormap[0][i], d->colormap[1][i], d->colormap[2][i]};
        } else {
            e = PaletteEntry3{d->colormap[0][i], d->colormap[0][i], d->colormap[0][i]};
        }
    }
}

}  // namespace

void JpegProgress(j_common_ptr codec) {
    auto& st = *static_cast<JpegDecodeState*>(codec->client_data);
    const j_decompress_ptr d = &st.decompressor;
    const std::uint64_t stored = std::uint64_t{d->image_width} * d->image_height;
    const auto scans = static_cast<std::uint64_t>(std::max(d->input_scan_number, 0));
    if (stored * scans > kMaxScanWork)
        JpegRaise(codec, kJpegTooManyScans, d->input_scan_number);

    const jpeg_progress_mgr* p = codec->progress;
    if (p->completed_passes == 0)
        return;
    const std::int64_t limit = p->pass_limit;
    const std::int64_t whole = static_cast<std::int64_t>(p->total_passes - 1) * limit;
    std::int64_t percent = 100;
    if (whole != 0) {
        const std::int64_t done =
            static_cast<std::int64_t>(p->completed_passes - 1) * limit + p->pass_counter;
        percent = std::clamp<std::int64_t>(done * 100 / whole, 0, 100);
    }
    // The percent never falls, whatever libjpeg's pass estimates do.
    const auto scaled = static_cast<std::int32_t>(percent * st.percentSpan / 100);
    st.info->percent = std::max(st.info->percent, scaled);
}

void JpegEndDecode(JpegDecodeState& st) {
    jpeg_destroy(reinterpret_cast<j_common_ptr>(&st.decompressor));
    JpegEndMessages(&st.trap);
}

int JpegDecodeStep(SerialImageContext* ctx, int abort) {
    JpegDecodeState& st = DriverState<JpegDecodeState>(&ctx->info);
    const j_decompress_ptr d = &st.decompressor;
    if (st.firstStep) {
        st.bits = ctx->bits;
        st.rowIndex = ctx->info.height - 1;
        st.firstStep = 0;
    }
    if (abort) {
        JpegEndDecode(st);
        return kStepDone;
    }
    // Destroyed already: nothing is left to decode.
    if (d->global_state == 0)
        return kStepDone;
    const bool quantised = ctx->info.bitsPerPixel == 8;
    const std::int32_t calls = ctx->rowsPerStep;
    int result = kStepAgain;
    const bool ok = JpegTrapped(&st.trap, [&] {
        if (d->output_scanline >= d->output_height) {
            if (quantised)
                JpegStorePalette(st);
            jpeg_finish_decompress(d);
            result = kStepDone;
            return;
        }
        for (std::int32_t i = 0; i < calls && d->output_scanline < d->output_height; ++i)
            JpegStoreRows(st);
    });
    if (!ok) {
        // The load ends with the rows decoded so far; quantised rows keep the colours they
        // index, which libjpeg chose before the first row.
        if (quantised)
            JpegStorePalette(st);
        JpegEndDecode(st);
        return kStepDone;
    }
    return result;
}

}  // namespace imagelib
