// The stepwise load engine: the steps a load passes through between its creator and the
// caller's result, and the two handle words that name a running load.
#pragma once

#include <cstdint>

#include "engine/serial_context.h"

namespace imagelib {

// The handle words of a context: the upper and lower 16 bits of its tracked-block key.
void ImageContextToWords(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b);
// The running load the two words name, or null when they name none (a finished result,
// cleared words, a freed load).
SerialImageContext* ImageContextFromWords(std::uint32_t a, std::uint32_t b);

// A fresh zero-filled context with state kStateIdle and transparent index -1; null when
// memory runs out.
SerialImageContext* ImageNewContext();

// Detects the format, reads header and palette, allocates the result blocks: 68 or an
// error code. On an error everything stays on the context for the creator's clean-up.
int SerialImageBegin(SerialImageContext* ctx);

// True when a colour reduction runs after the decoding and reports percent 50 to 100
// itself; drivers then report their decoding as 0 to 50.
bool ImageReductionFollows(const SerialImageContext* ctx);
// The percent a driver reports after done of total units (rows, bytes...) of its decoding:
// 0 to 100, or 0 to 50 when a reduction follows. A total of 0 counts as finished.
std::int32_t ImageDecodePercent(const SerialImageContext* ctx, std::int64_t done,
                                std::int64_t total);

// True when the decoded rows hold an image half and its mask half side by side. A GIF
// animation's frames carry their own masks; the load's own rows stay blank.
bool ImageHasMaskLayout(const SerialImageContext* ctx);

int SerialImageReduceStep(SerialImageContext* ctx, int abort);  // 68, 69 or 1
int SerialImagePaletteStep(SerialImageContext* ctx);            // 69
// Moves a decoded frame onto a new result block the size of its logical screen (clipped
// to it), filled with the background index, or in an image-and-mask layout with the keys
// of a transparent pixel; the image's size becomes the screen's. False when the screen is
// too large or its block cannot be allocated.
bool ImagePlaceOnScreen(SerialImageContext* ctx);
// Builds the header, colour table and logical palette and hands the blocks over through
// a and b: 69.
int SerialImageFinish(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b);

// Whitens the mask half of an image-and-mask layout in 24-bit work rows: every pixel but
// black ones becomes white. False when the work rows cannot be allocated.
bool ImageCleanMask(SerialImageContext* ctx);
// 24-bit work rows filled from the result rows; false when out of memory.
bool ImageAllocWork24(SerialImageContext* ctx);
void ImageExpandTo24(SerialImageContext* ctx);

}  // namespace imagelib
