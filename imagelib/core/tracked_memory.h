// The library's one allocator: every block it uses for itself comes from ImageAlloc and
// goes back through ImageFree. Blocks are zero-filled movable global blocks kept on one
// process-wide list (no lock: the library is single-threaded).
#pragma once

#include <cstdint>

namespace imagelib {

// n zero-filled bytes (the data area keeps at least n + 5 zero bytes), or null for n = 0,
// for a size too large, or when memory runs out. A block costs n bytes and a small header.
void* ImageAlloc(std::uint32_t n);
// ImageAlloc for a load context: the one kind of block ImageIsLiveContext accepts, so that
// words naming any other block (a source's data, a decoder's table) are never a load.
void* ImageAllocContext(std::uint32_t n);
// Frees a block from ImageAlloc; any other pointer (null, inside a block, freed) is ignored.
void ImageFree(void* p);

// Every live block also has a 32-bit key: bit 31 set, never 0, not reused soon. A load
// context travels to callers as its key; global handles never have bit 31, so a pair of
// words holding result handles is never taken for a live context.
std::uint32_t ImageBlockKey(const void* p);  // 0 when p is not a live block's data
void* ImageBlockFromKey(std::uint32_t key);  // null when no live block has that key
// The size asked for when p was allocated; 0 when p is not a live block's data.
std::uint32_t ImageBlockSize(const void* p);
// 1 when key names a live block from ImageAllocContext, else 0.
int ImageIsLiveContext(std::uint32_t key);

void* HugeMemCopy(void* dst, const void* src, std::int32_t n);

// Test hooks: the number of live tracked blocks, the bytes they hold (the sizes asked
// for), and the high-water mark of those bytes since the last reset.
std::uint32_t ImageLiveBlockCount();
std::uint64_t ImageLiveBytes();
std::uint64_t ImagePeakBytes();
void ImageResetPeakBytes();

}  // namespace imagelib
