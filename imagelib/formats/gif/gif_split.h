// Splitting a GIF file into one file per frame without decoding it.
#pragma once

#include <cstdint>

namespace imagelib {

// Copies each frame of the GIF at sourcePath into a file of its own: the source's header,
// screen descriptor and global colour table, then the source's blocks from the end of the
// previous frame's data up to the end of this frame's data, byte for byte, then a trailer.
// The file of frame n is basePath followed by "_flat.gif" (n 0 and maxFrames 1), "off.gif"
// (n 0), "clk.gif" (1), "rol.gif" (2) or "<n>.gif"; it is created only when the frame's
// image begins, so blocks after the last image make no file. Stops after maxFrames frames
// (negative: no limit; 0 acts as 1). *frameCount is 0 on entry and the number of files
// written on success. Results: 0; 1 a null basePath or frameCount, or out of memory; 3 the
// source cannot be opened or a frame file cannot be created; 5 not a GIF file; 7 the header,
// screen descriptor or colour table is cut short; 8 any later short read (a source without
// a trailer included) or failed write. Files written before a failure stay.
int GifSplitFrames(const wchar_t* sourcePath, const wchar_t* basePath, std::int32_t* frameCount,
                   std::int32_t maxFrames);

}  // namespace imagelib
