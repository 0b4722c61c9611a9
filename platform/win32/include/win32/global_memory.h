// Movable global memory. A handle is a 32-bit value from a table of live blocks, from
// 0x10000 (so it never fits in 16 bits) to 0x3FFFFFFF (bits 30 and 31 are never set); 0 is
// no block, and a freed handle is not handed out again soon. A zero, unknown or freed
// handle is a harmless no-op everywhere (lock gives null, flags 0, size 0).
#pragma once

#include "win32/types.h"

static const UINT GMEM_MOVEABLE = 0x0002;
static const UINT GMEM_ZEROINIT = 0x0040;
static const UINT GHND = 0x0042;  // GMEM_MOVEABLE | GMEM_ZEROINIT (C wants a literal here)
static const UINT GMEM_LOCKCOUNT = 0x00FF;

// The largest block a caller may ask for: what a 32-bit process could hold at most.
static const SIZE_T kGlobalMaxBlockSize = 0x7FFFFFFF;

#ifdef __cplusplus
extern "C" {
#endif
// Blocks are always zero-filled, whatever the flags. 0 for 0 bytes, for more than
// kGlobalMaxBlockSize, or when memory runs out.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);   // TRUE while the block stays locked
HGLOBAL GlobalFree(HGLOBAL mem);  // 0 on success (a locked block is freed too), else mem
UINT GlobalFlags(HGLOBAL mem);    // lock count in GMEM_LOCKCOUNT
SIZE_T GlobalSize(HGLOBAL mem);

// Test hooks: live blocks, the bytes they hold, and the high-water mark of those bytes
// since the last reset.
uint32_t Win32LiveGlobalBlocks(void);
uint64_t Win32GlobalBytesOut(void);
uint64_t Win32GlobalBytesPeak(void);
void Win32ResetGlobalBytesPeak(void);
// The n-th allocation from now (1 = the next) fails, once; 0 turns failing off.
void Win32FailGlobalAllocAfter(uint32_t n);
#ifdef __cplusplus
}
#endif
