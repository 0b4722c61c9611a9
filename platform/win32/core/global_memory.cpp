// Global memory over the C heap, named by handles from a table so that a handle is a
// 32-bit value and a stale one can be recognised instead of dereferenced.
#include "win32/global_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <unordered_map>

namespace {

// Handles run from kFirstHandle up to kLastHandle and then start again, skipping live
// ones: a freed handle comes back only after a billion allocations. Other handle
// families of this layer (loaded resources, device contexts) lie above kLastHandle.
constexpr HGLOBAL kFirstHandle = 0x10000;
constexpr HGLOBAL kLastHandle = 0x3FFFFFFF;

struct GlobalBlock {
    void* data;
    SIZE_T size;
    UINT lockCount;
};

struct GlobalTable {
    std::unordered_map<HGLOBAL, GlobalBlock> blocks;
    HGLOBAL next = kFirstHandle;
    std::uint32_t failCountdown = 0;
    std::uint64_t bytesOut = 0;   // bytes of the live blocks
    std::uint64_t peakBytes = 0;  // the high-water mark of bytesOut
};

GlobalTable& Table() {
    static GlobalTable table;
    return table;
}

GlobalBlock* Find(HGLOBAL mem) {
    auto& blocks = Table().blocks;
    auto it = blocks.find(mem);
    return it == blocks.end() ? nullptr : &it->second;
}

HGLOBAL NextFreeHandle(GlobalTable& t) {
    for (;;) {
        HGLOBAL h = t.next;
        t.next = h == kLastHandle ? kFirstHandle : h + 1;
        if (t.blocks.count(h) == 0)
            return h;
    }
}

// True when the test hook says this allocation is to fail.
bool InjectedFailure(GlobalTable& t) {
    if (t.failCountdown == 0)
        return false;
    return --t.failCountdown == 0;
}

// Large blocks (an image's rows) are fresh zero pages that their writer touches once each;
// in huge pages that costs one fault per 2 MiB instead of one per 4 KiB.
void AdviseHugePages(void* data, std::size_t bytes) {
    constexpr std::size_t kLarge = std::size_t{4} << 20;
    constexpr std::uintptr_t kPage = 4096;
    if (bytes < kLarge)
        return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kPage - 1);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    GlobalTable& t = Table();
    if (bytes == 0 || bytes > kGlobalMaxBlockSize || InjectedFailure(t))
        return 0;
    void* data = std::calloc(1, bytes);
    if (data == nullptr)
        return 0;
    AdviseHugePages(data, bytes);
    try {
        HGLOBAL h = NextFreeHandle(t);
        t.blocks.emplace(h, GlobalBlock{data, bytes, 0});
        t.bytesOut += bytes;
        t.peakBytes = std::max(t.peakBytes, t.bytesOut);
        return h;
    } catch (const std::bad_alloc&) {
        std::free(data);
        return 0;
    }
}

void* GlobalLock(HGLOBAL mem) {
    GlobalBlock* b = Find(mem);
    if (b == nullptr)
        return nullptr;
    if (b->lockCount < GMEM_LOCKCOUNT)
        ++b->lockCount;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
    GlobalBlock* b = Find(mem);
    if (b == nullptr || b->lockCount == 0)
        return FALSE;
    --b->lockCount;
    return b->lockCount > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    auto& blocks = Table().blocks;
    auto it = blocks.find(mem);
    if (it == blocks.end())
        return mem;
    std::free(it->second.data);
    Table().bytesOut -= it->second.size;
    blocks.erase(it);
    return 0;
}

UINT GlobalFlags(HGLOBAL mem) {
    GlobalBlock* b = Find(mem);
    return b == nullptr ? 0 : b->lockCount;
}

SIZE_T GlobalSize(HGLOBAL mem) {
    GlobalBlock* b = Find(mem);
    return b == nullptr ? 0 : b->size;
}

std::uint32_t Win32LiveGlobalBlocks(void) {
    return static_cast<std::uint32_t>(Table().blocks.size());
}

std::uint64_t Win32GlobalBytesOut(void) {
    return Table().bytesOut;
}

std::uint64_t Win32GlobalBytesPeak(void) {
    return Table().peakBytes;
}

void Win32ResetGlobalBytesPeak(void) {
    GlobalTable& t = Table();
    t.peakBytes = t.bytesOut;
}

void Win32FailGlobalAllocAfter(std::uint32_t n) {
    Table().failCountdown = n;
}

}  // extern "C"
