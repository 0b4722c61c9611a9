// The tracked allocator. Each block is one locked, zero-filled global block: a header,
// then the caller's data. Blocks are found by their data address (ImageFree) and by their
// key (the load engine's handle words), never by walking memory the caller gave us.
#include "core/tracked_memory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include "win32/global_memory.h"

namespace imagelib {
namespace {

struct alignas(16) ImageBlockHeader {
    HGLOBAL handle;
    std::uint32_t size;  // what the caller asked for
    std::uint32_t key;
    std::uint32_t context;  // 1 for a block from ImageAllocContext
};

constexpr std::uint64_t kHeaderSize = sizeof(ImageBlockHeader);
// Readers may look a few bytes past the end of their data; these always read as zero.
constexpr std::uint64_t kZeroTail = 5;

// Context keys: bit 31 set, never 0. Global-memory handles never have bit 31 (and never
// fit in 16 bits), so a key can never be mistaken for a handle or the other way round.
constexpr std::uint32_t kFirstKey = 0x80000001;
constexpr std::uint32_t kLastKey = 0xFFFFFFFF;

struct BlockTable {
    std::unordered_map<const void*, ImageBlockHeader*> byData;
    std::unordered_map<std::uint32_t, ImageBlockHeader*> byKey;
    std::uint32_t nextKey = kFirstKey;
    std::uint64_t bytesOut = 0;   // sizes asked for, of the live blocks
    std::uint64_t peakBytes = 0;  // the high-water mark of bytesOut
};

BlockTable& Blocks() {
    static BlockTable table;
    return table;
}

// The next key after the last one handed out that no live block holds; keys come round
// again only after two billion allocations.
std::uint32_t NextKey(BlockTable& t) {
    for (;;) {
        std::uint32_t k = t.nextKey;
        t.nextKey = k == kLastKey ? kFirstKey : k + 1;
        if (t.byKey.count(k) == 0)
            return k;
    }
}

void* DataOf(ImageBlockHeader* h) {
    return reinterpret_cast<std::uint8_t*>(h) + kHeaderSize;
}

void* Allocate(std::uint32_t n, std::uint32_t context) {
    if (n == 0)
        return nullptr;
    // A block costs its size: the header, the data and the zero tail, nothing more (many
    // small blocks, such as a decoder's tables, must not each take a page).
    const std::uint64_t total = n + kHeaderSize + kZeroTail;
    if (total > kGlobalMaxBlockSize)
        return nullptr;
    HGLOBAL handle = GlobalAlloc(GHND, total);
    if (handle == 0)
        return nullptr;
    auto* header = static_cast<ImageBlockHeader*>(GlobalLock(handle));
    BlockTable& t = Blocks();
    try {
        header->handle = handle;
        header->size = n;
        header->key = NextKey(t);
        header->context = context;
        void* data = DataOf(header);
        t.byData.emplace(data, header);
        try {
            t.byKey.emplace(header->key, header);
        } catch (const std::bad_alloc&) {
            t.byData.erase(data);
            throw;
        }
        t.bytesOut += n;
        t.peakBytes = std::max(t.peakBytes, t.bytesOut);
        return data;
    } catch (const std::bad_alloc&) {
        GlobalUnlock(handle);
        GlobalFree(handle);
        return nullptr;
    }
}

}  // namespace

void* ImageAlloc(std::uint32_t n) {
    return Allocate(n, 0);
}

void* ImageAllocContext(std::uint32_t n) {
    return Allocate(n, 1);
}

void ImageFree(void* p) {
    if (p == nullptr)
        return;
    BlockTable& t = Blocks();
    auto it = t.byData.find(p);
    if (it == t.byData.end())
        return;
    ImageBlockHeader* header = it->second;
    const HGLOBAL handle = header->handle;
    t.bytesOut -= header->size;
    t.byKey.erase(header->key);
    t.byData.erase(it);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

std::uint32_t ImageBlockKey(const void* p) {
    const BlockTable& t = Blocks();
    auto it = t.byData.find(p);
    return it == t.byData.end() ? 0 : it->second->key;
}

std::uint32_t ImageBlockSize(const void* p) {
    const BlockTable& t = Blocks();
    auto it = t.byData.find(p);
    return it == t.byData.end() ? 0 : it->second->size;
}

void* ImageBlockFromKey(std::uint32_t key) {
    BlockTable& t = Blocks();
    auto it = t.byKey.find(key);
    return it == t.byKey.end() ? nullptr : DataOf(it->second);
}

int ImageIsLiveContext(std::uint32_t key) {
    const BlockTable& t = Blocks();
    auto it = t.byKey.find(key);
    return it != t.byKey.end() && it->second->context == 1 ? 1 : 0;
}

// The platform's readability probes have no counterpart here: every range the library
// passes is its own memory, so the copy is never shortened.
void* HugeMemCopy(void* dst, const void* src, std::int32_t n) {
    if (n > 0)
        std::memcpy(dst, src, static_cast<std::size_t>(n));
    return dst;
}

std::uint32_t ImageLiveBlockCount() {
    return static_cast<std::uint32_t>(Blocks().byData.size());
}

std::uint64_t ImageLiveBytes() {
    return Blocks().bytesOut;
}

std::uint64_t ImagePeakBytes() {
    return Blocks().peakBytes;
}

void ImageResetPeakBytes() {
    BlockTable& t = Blocks();
    t.peakBytes = t.bytesOut;
}

}  // namespace imagelib
