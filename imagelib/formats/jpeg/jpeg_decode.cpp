// The JPEG driver's decoding steps: scanlines straight into the result rows, the palette
// of quantised output, the percent from libjpeg's passes, and the end of the decompressor.
#include <algorithm>

#include "core/result_codes.h"
#include "engine/serial_engine.h"
#include "formats/jpeg/jpeg_driver.h"
#include "formats/jpeg/jpeg_source.h"
#include "formats/jpeg/jpeg_state.h"

namespace imagelib {
namespace {

// Decoding work is counted in coefficients: a scan costs, for every block of its components,
// the coefficients of its band plus this much for visiting the block at all (a scan whose
// blocks libjpeg only steps over still costs about a tenth of one that refines every
// coefficient).
constexpr std::uint64_t kBlockVisitCost = 8;
constexpr std::uint64_t kPassesAllowed = 16;
// Real files have about 10 scans; libjpeg's own tools stop at 500.
constexpr std::int32_t kMaxScans = 500;

std::uint64_t ScanCost(std::uint64_t blocks, int firstCoefficient, int lastCoefficient) {
    const int band = std::max(lastCoefficient - firstCoefficient + 1, 1);
    return blocks * (static_cast<std::uint64_t>(band) + kBlockVisitCost);
}

// Adds the work of the scan libjpeg has just begun.
void CountScan(JpegDecodeState& st) {
    const j_decompress_ptr d = &st.decompressor;
    std::uint64_t blocks = 0;
    for (int i = 0; i < std::min(d->comps_in_scan, MAX_COMPS_IN_SCAN); ++i) {
        const jpeg_component_info* c = d->cur_comp_info[i];
        blocks += std::uint64_t{c->width_in_blocks} * c->height_in_blocks;
    }
    st.scanWork += ScanCost(blocks, d->Ss, d->Se);
    st.scansSeen = d->input_scan_number;
}

// While libjpeg reads the scans of a multi-scan image (all of them before the first row),
// the scans past the work limit are not read: once a scan is complete, libjpeg is made to
// meet the end of the image instead of the next scan's marker, and decodes the image from
// the scans it has. The work stays within the limit plus one scan.
void LimitScans(JpegDecodeState& st) {
    const j_decompress_ptr d = &st.decompressor;
    if (d->input_scan_number != st.scansSeen)
        CountScan(st);
    const bool readingScans = d->progress->completed_passes == 0;
    const bool scanComplete = d->input_iMCU_row >= d->total_iMCU_rows;
    const bool overLimit = st.scanWork >= st.scanWorkLimit || st.scansSeen >= kMaxScans;
    if (st.scansCut || !readingScans || !scanComplete || !overLimit ||
        JpegNextMarker(d) == kJpegEndOfImageMarker)
        return;
    st.scansCut = 1;
    d->unread_marker = kJpegEndOfImageMarker;
    JpegNotice(reinterpret_cast<j_common_ptr>(d), kJpegTooManyScans, st.scansSeen);
}

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

// Palette store: the colormap's colours (grey levels for one component), black after them;
// the grey ramp for unquantised greyscale, whose samples index it.
void JpegStorePalette(JpegDecodeState& st) {
    const j_decompress_ptr d = &st.decompressor;
    st.info->bitsPerPixel = 8;
    if (!d->quantize_colors) {
        for (int i = 0; i < 256; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            st.palette[i] = PaletteEntry3{level, level, level};
        }
        return;
    }
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

std::uint64_t JpegScanWorkLimit(j_decompress_ptr d) {
    std::uint64_t blocks = 0;
    for (int i = 0; i < d->num_components; ++i)
        blocks += std::uint64_t{d->comp_info[i].width_in_blocks} * d->comp_info[i].height_in_blocks;
    return kPassesAllowed * ScanCost(blocks, 0, DCTSIZE2 - 1);
}

void JpegProgress(j_common_ptr codec) {
    auto& st = *static_cast<JpegDecodeState*>(codec->client_data);
    LimitScans(st);

    // The percent is reported from the first decoding step on, once the engine has settled
    // whether a colour reduction follows (the passes libjpeg makes before it are not seen).
    const jpeg_progress_mgr* p = codec->progress;
    if (st.firstStep || p->completed_passes == 0)
        return;
    const std::int64_t limit = p->pass_limit;
    const std::int64_t whole = static_cast<std::int64_t>(p->total_passes - 1) * limit;
    const std::int64_t done =
        static_cast<std::int64_t>(p->completed_passes - 1) * limit + p->pass_counter;
    // libjpeg's pass estimates may shrink: the percent never falls.
    st.info->percent =
        std::max(st.info->percent, ImageDecodePercent(ContextOf(st.info), done, whole));
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
    const bool indexed = ctx->info.bitsPerPixel == 8;
    const std::int32_t calls = ctx->rowsPerStep;
    int result = kStepAgain;
    const bool ok = JpegTrapped(&st.trap, [&] {
        if (d->output_scanline >= d->output_height) {
            if (indexed)
                JpegStorePalette(st);
            jpeg_finish_decompress(d);
            result = kStepDone;
            return;
        }
        for (std::int32_t i = 0; i < calls && d->output_scanline < d->output_height; ++i)
            JpegStoreRows(st);
    });
    if (!ok) {
        // The load ends with the rows decoded so far; indexed rows keep the colours they
        // index, which libjpeg chose before the first row.
        if (indexed)
            JpegStorePalette(st);
        JpegEndDecode(st);
        return kStepDone;
    }
    return result;
}

}  // namespace imagelib
