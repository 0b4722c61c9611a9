// Module resources: a registry of (module, type, name) -> bytes that programs and tests
// fill, looked up the way the platform's resource functions look up compiled resources.
#include "win32/resources.h"

#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

// Resource handles lie in ranges of their own, apart from global-memory handles and
// device contexts, so that a handle given to the wrong function is merely unknown.
constexpr HRSRC kFirstFound = 0x50000000;
constexpr HRSRC kLastFound = 0x5FFFFFFF;
constexpr HGLOBAL kFirstLoaded = 0x40000000;
constexpr HGLOBAL kLastLoaded = 0x4FFFFFFF;

// A resource type or name: an integer id, or a string kept in upper case.
struct ResourceId {
    bool isString;
    WORD id;
    std::wstring text;

    static ResourceId From(LPCWSTR p) {
        if (IS_INTRESOURCE(p)) {
            return {false, static_cast<WORD>(reinterpret_cast<std::uintptr_t>(p)), {}};
        }
        std::wstring upper(p);
        for (auto& c : upper)
            c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
        return {true, 0, upper};
    }
    bool operator==(const ResourceId& o) const {
        return std::tie(isString, id, text) == std::tie(o.isString, o.id, o.text);
    }
    bool operator<(const ResourceId& o) const {
        return std::tie(isString, id, text) < std::tie(o.isString, o.id, o.text);
    }
};

using ResourceKey = std::tuple<HMODULE, ResourceId, ResourceId>;  // module, type, name

// A registered resource's own copy of its bytes, shared by every handle loaded from it, so
// that loaded data outlives a registration that is replaced or removed.
struct Resource {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    DWORD size;
};

struct ResourceTable {
    std::map<ResourceKey, Resource> registered;
    // Every FindResourceW result and every LoadResource result stands for one resource.
    std::unordered_map<HRSRC, ResourceKey> found;
    std::unordered_map<HGLOBAL, Resource> loaded;
    HRSRC nextFound = kFirstFound;
    HGLOBAL nextLoaded = kFirstLoaded;
};

ResourceTable& Table() {
    static ResourceTable table;
    return table;
}

template <class Map>
std::uint32_t NextHandle(std::uint32_t& next, std::uint32_t first, std::uint32_t last,
                         const Map& live) {
    for (;;) {
        std::uint32_t h = next;
        next = h == last ? first : h + 1;
        if (live.count(h) == 0)
            return h;
    }
}

}  // namespace

extern "C" {

BOOL Win32RegisterResource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* data,
                           DWORD size) {
    if (data == nullptr || type == nullptr || name == nullptr)
        return FALSE;
    try {
        // One byte more, so that even an empty resource has an address.
        auto bytes = std::make_shared<std::vector<std::uint8_t>>(size + std::size_t{1}, 0);
        std::memcpy(bytes->data(), data, size);
        Table().registered[ResourceKey{module, ResourceId::From(type), ResourceId::From(name)}] =
            Resource{std::move(bytes), size};
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void Win32UnregisterModuleResources(HMODULE module) {
    auto& registered = Table().registered;
    for (auto it = registered.begin(); it != registered.end();) {
        it = std::get<0>(it->first) == module ? registered.erase(it) : std::next(it);
    }
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (name == nullptr || type == nullptr)
        return 0;
    ResourceTable& t = Table();
    try {
        ResourceKey key{module, ResourceId::From(type), ResourceId::From(name)};
        if (t.registered.count(key) == 0)
            return 0;
        // Found handles stay valid for the life of the process, as the platform's do; one
        // per distinct resource.
        for (const auto& entry : t.found) {
            if (entry.second == key)
                return entry.first;
        }
        HRSRC h = NextHandle(t.nextFound, kFirstFound, kLastFound, t.found);
        t.found.emplace(h, key);
        return h;
    } catch (...) {
        return 0;
    }
}

HGLOBAL LoadResource(HMODULE module, HRSRC res) {
    ResourceTable& t = Table();
    auto f = t.found.find(res);
    if (f == t.found.end() || std::get<0>(f->second) != module)
        return 0;
    auto r = t.registered.find(f->second);
    if (r == t.registered.end())
        return 0;
    try {
        HGLOBAL h = NextHandle(t.nextLoaded, kFirstLoaded, kLastLoaded, t.loaded);
        t.loaded.emplace(h, r->second);
        return h;
    } catch (...) {
        return 0;
    }
}

void* LockResource(HGLOBAL loaded) {
    const ResourceTable& t = Table();
    auto it = t.loaded.find(loaded);
    return it == t.loaded.end() ? nullptr : const_cast<std::uint8_t*>(it->second.bytes->data());
}

DWORD SizeofResource(HMODULE module, HRSRC res) {
    const ResourceTable& t = Table();
    auto f = t.found.find(res);
    if (f == t.found.end() || std::get<0>(f->second) != module)
        return 0;
    auto r = t.registered.find(f->second);
    return r == t.registered.end() ? 0 : r->second.size;
}

BOOL FreeResource(HGLOBAL loaded) {
    return Table().loaded.erase(loaded) != 0 ? TRUE : FALSE;
}

}  // extern "C"
