// The JPEG driver's header step: the decompressor is created over the memory stream and
// set up from the caller's flags and the display class (colour space, colour count, scale,
// the caller's colours), and decompression is started.
#include <algorithm>
#include <cstring>
#include <limits>

#include "colour/caller_palette.h"
#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/result_codes.h"
#include "formats/jpeg/jpeg_driver.h"
#include "formats/jpeg/jpeg_source.h"
#include "formats/jpeg/jpeg_state.h"

namespace imagelib {
namespace {

constexpr int kDisplay16Colours = 4;
constexpr int kDisplay256Colours = 8;
constexpr int kColoursFor16 = 15;
constexpr int kColoursFor256 = 240;
constexpr int kColoursOtherwise = 256;
constexpr int kColormapSize = 256;

// The fixed colours of a 16-colour display, red, green, blue, in entry order.
constexpr std::uint8_t kFixedColours[kColoursFor16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0}, {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0}, {0, 0, 255},   {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

// libjpeg's own memory for one load: its whole-image buffers (see WholeImageBuffers), which
// the image needs for its own decoding as it needs its result rows, and beyond them what
// the input's size justifies. Past it libjpeg would need backing store, which it does not
// have, and would fail with "Backing store not supported".
constexpr std::uint64_t kJpegMemoryPerInputByte = 16;
constexpr std::uint64_t kJpegMemoryBase = std::uint64_t{32} << 20;

j_common_ptr Common(j_decompress_ptr d) {
    return reinterpret_cast<j_common_ptr>(d);
}

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t multiple) {
    return multiple > 1 ? (n + multiple - 1) / multiple * multiple : n;
}

// Bytes of libjpeg's whole-image buffers for this decode, as libjpeg sizes them: the
// coefficients of every component when the image comes in several scans, and the decoded
// rows that two-pass colour quantisation reads twice. False when one of them would not fit
// a block. Call after jpeg_calc_output_dimensions.
bool WholeImageBuffers(j_decompress_ptr d, std::uint64_t* total) {
    *total = 0;
    // A few buffers of at most a block each: their sum cannot wrap.
    const auto add = [total](std::uint64_t rowBytes, std::uint64_t rows) {
        std::uint64_t bytes = 0;
        if (!CheckedMul(rowBytes, rows, &bytes) || !FitsBlock(bytes))
            return false;
        *total += bytes;
        return true;
    };
    // The first scan's header is read: a baseline image covers every component in it.
    if (d->progressive_mode || d->comps_in_scan < d->num_components) {
        for (int i = 0; i < d->num_components; ++i) {
            const jpeg_component_info& c = d->comp_info[i];
            const std::uint64_t blocks =
                RoundUp(c.width_in_blocks, static_cast<std::uint64_t>(c.h_samp_factor));
            if (!add(blocks * sizeof(JBLOCK),
                     RoundUp(c.height_in_blocks, static_cast<std::uint64_t>(c.v_samp_factor))))
                return false;
        }
    }
    const bool twoPass = d->quantize_colors && d->two_pass_quantize && d->colormap == nullptr &&
                         d->out_color_components == 3;
    return !twoPass ||
           add(std::uint64_t{d->output_width} * 3,
               RoundUp(d->output_height, static_cast<std::uint64_t>(d->max_v_samp_factor)));
}

// An empty 256-entry colormap from the image pool.
void NewColormap(j_decompress_ptr d) {
    d->colormap = (*d->mem->alloc_sarray)(Common(d), JPOOL_IMAGE, kColormapSize, 3);
    d->actual_number_of_colors = 0;
}

// The scale denominator the flags ask for; 1 without a request.
unsigned int ScaleOf(std::uint32_t flags, JDIMENSION w, JDIMENSION h) {
    if (flags & kFlagJpegScaleHalf)
        return 2;
    if (flags & kFlagJpegScaleQuarter)
        return 4;
    if (flags & kFlagJpegScaleEighth)
        return 8;
    if (flags & kFlagJpegAutoScale) {
        if (w <= 200 && h <= 150)
            return 2;
        if (w <= 400 && h <= 300)
            return 4;
        if (w <= 800 && h <= 600)
            return 8;
    }
    return 1;
}

// The header step from the decompressor's creation to the start of decompression, with the
// trap armed: 0, or the code the load ends with (the decompressor is still to be destroyed).
int SetUp(JpegDecodeState& st, ImageMemStream* s, std::uint32_t flags, int displayClass) {
    j_decompress_ptr d = &st.decompressor;
    jpeg_CreateDecompress(d, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    jpeg_mem_stream_src(d, s);
    jpeg_read_header(d, TRUE);

    switch (d->jpeg_color_space) {
        case JCS_GRAYSCALE:
            // All 256 grey levels are the decoded samples themselves, indexes into the grey
            // ramp: only fewer levels need the quantiser, whose dithering would move them.
            d->out_color_space = JCS_GRAYSCALE;
            d->quantize_colors = displayClass <= kDisplay256Colours ? TRUE : FALSE;
            break;
        case JCS_RGB:
        case JCS_YCbCr:
            d->out_color_space = JCS_RGB;
            d->quantize_colors = displayClass <= kDisplay256Colours ? TRUE : FALSE;
            break;
        default:
            return kNotSupported;
    }
    // Decoding cost follows the stored size, whatever the scale: an image that could not be
    // held unscaled is not decoded scaled either.
    if (!ImageSizeAllowed(d->image_width, d->image_height))
        return kOutOfMemory;

    if (displayClass == kDisplay16Colours) {
        d->desired_number_of_colors = kColoursFor16;
        d->quantize_colors = TRUE;
        NewColormap(d);
        for (const auto& c : kFixedColours)
            JpegAddColormapEntry(d, c[0], c[1], c[2]);
    } else {
        d->desired_number_of_colors =
            displayClass == kDisplay256Colours ? kColoursFor256 : kColoursOtherwise;
    }
    d->scale_denom = ScaleOf(flags, d->image_width, d->image_height);

    // A count below 1 is no palette, as 0 is: a colormap of no colours fails the load.
    const CallerPalette& caller = ImageCallerPalette();
    if ((flags & kFlagUserPalette) && d->colormap == nullptr && caller.count > 0 &&
        caller.colours != nullptr) {
        NewColormap(d);
        // Once the colormap is full every further colour would be dropped.
        for (std::int32_t i = 0; i < caller.count && d->actual_number_of_colors < kColormapSize;
             ++i) {
            const std::uint32_t* c = caller.colours + 3 * static_cast<std::int64_t>(i);
            JpegAddColormapEntry(d, c[0], c[1], c[2]);
        }
    }

    // Unquantised colour comes out in the bitmap's own order, blue, green, red, straight
    // into the result rows.
    if (d->out_color_space == JCS_RGB && !d->quantize_colors)
        d->out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(d);
    std::uint64_t wholeImage = 0;
    if (!ImageSizeAllowed(d->output_width, d->output_height) || !WholeImageBuffers(d, &wholeImage))
        return kOutOfMemory;
    const std::uint64_t memory = kJpegMemoryBase +
                                 kJpegMemoryPerInputByte * static_cast<std::uint64_t>(s->size) +
                                 wholeImage;
    d->mem->max_memory_to_use =
        static_cast<long>(std::min<std::uint64_t>(memory, std::numeric_limits<long>::max()));
    st.scanWorkLimit = JpegScanWorkLimit(d);
    st.rowBytes = static_cast<std::int32_t>(
        RowStride(d->output_width, 8 * std::uint64_t(d->output_components)));
    st.rowsPerCall = static_cast<std::int32_t>((std::uint64_t{d->output_height} + 99) / 100);
    st.rowPointers = static_cast<JSAMPARRAY>((*d->mem->alloc_small)(
        Common(d), JPOOL_IMAGE, sizeof(JSAMPROW) * static_cast<std::size_t>(st.rowsPerCall)));

    // The progress monitor limits the scans read, so it comes with the limit. With several
    // scans, or two-pass quantisation, libjpeg reads the whole image here.
    st.progress.progress_monitor = JpegProgress;
    d->progress = &st.progress;
    jpeg_start_decompress(d);
    return kOk;
}

}  // namespace

int JpegDescribe(ImageFormatInfo* info) {
    *info = ImageFormatInfo{L"JPG JPEG", 0xD8FF, 0};
    return kOk;
}

void JpegAddColormapEntry(j_decompress_ptr d, std::uint32_t red, std::uint32_t green,
                          std::uint32_t blue) {
    JSAMPARRAY map = d->colormap;
    const int used = d->actual_number_of_colors;
    for (int i = 0; i < used; ++i) {
        if (map[0][i] == red && map[1][i] == green && map[2][i] == blue)
            return;
    }
    if (used >= kColormapSize)
        return;
    map[0][used] = static_cast<JSAMPLE>(red);
    map[1][used] = static_cast<JSAMPLE>(green);
    map[2][used] = static_cast<JSAMPLE>(blue);
    d->actual_number_of_colors = used + 1;
}

int JpegReadHeader(const wchar_t*, ImageMemStream* s, ImageInfo* info, std::uint32_t flags) {
    JpegDecodeState& st = DriverState<JpegDecodeState>(info);
    std::memset(&st, 0, sizeof st);
    st.info = info;
    st.firstStep = 1;
    j_decompress_ptr d = &st.decompressor;
    d->err = JpegInstallErrorTrap(&st.trap);
    d->client_data = &st;
    int result = kOk;
    const bool ok =
        JpegTrapped(&st.trap, [&] { result = SetUp(st, s, flags, info->displayClass); });
    if (!ok || result != kOk) {
        JpegEndDecode(st);
        return ok ? result : kReadError;
    }
    info->width = static_cast<std::int32_t>(d->output_width);
    info->height = static_cast<std::int32_t>(d->output_height);
    info->bitsPerPixel = d->out_color_space == JCS_EXT_BGR ? 24 : 8;
    return kOk;
}

int JpegReadPalette(ImageMemStream*, ImageInfo* info, PaletteEntry3* palette) {
    DriverState<JpegDecodeState>(info).palette = palette;
    return kOk;
}

}  // namespace imagelib
