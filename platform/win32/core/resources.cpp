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

// One registration: its own copy of its bytes and their size. A find handle and every
// handle loaded from it share it, so that what they report and what they hold stay one
// registration's, also when the resource is registered again or removed meanwhile.
struct Resource {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    DWORD size;
};

struct FoundResource {
    HMODULE module;
    Resource resource;
};

struct ResourceTable {
    std::map<ResourceKey, Resource> registered;
    // Every FindResourceW result stands for one registration, every LoadResource result
    // for the registration of the find handle it was loaded from.
    std::unordered_map<HRSRC, FoundResource> found;
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
    ResourceTable& t = Table();
    for (auto it = t.registered.begin(); it != t.registered.end();) {
        it = std::get<0>(it->first) == module ? t.registered.erase(it) : std::next(it);
    }
    // The module is gone, and with it the handles found in it; loaded ones stay until freed.
    for (auto it = t.found.begin(); it != t.found.end();) {
        it = it->second.module == module ? t.found.erase(it) : std::next(it);
    }
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (name == nullptr || type == nullptr)
        return 0;
    ResourceTable& t = Table();
    try {
        auto r =
            t.registered.find(ResourceKey{module, ResourceId::From(type), ResourceId::From(name)});
        if (r == t.registered.end())
            return 0;
        // Found handles stay valid while their module's resources are registered, as the
        // platform's do while the module is loaded; one per registration.
        for (const auto& entry : t.found) {
            if (entry.second.resource.bytes == r->second.bytes)
                return entry.first;
        }
        HRSRC h = NextHandle(t.nextFound, kFirstFound, kLastFound, t.found);
        t.found.emplace(h, FoundResource{module, r->second});
        return h;
    } catch (...) {
        return 0;
    }
}

HGLOBAL LoadResource(HMODULE module, HRSRC res) {
    ResourceTable& t = Table();
    auto f = t.found.find(res);
    if (f == t.found.end() || f->second.module != module)
        return 0;
    try {
        HGLOBAL h = NextHandle(t.nextLoaded, kFirstLoaded, kLastLoaded, t.loaded);
        t.loaded.emplace(h, f->second.resource);
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
    return f == t.found.end() || f->second.module != module ? 0 : f->second.resource.size;
}

BOOL FreeResource(HGLOBAL loaded) {
    return Table().loaded.erase(loaded) != 0 ? TRUE : FALSE;
}

}  // extern "C"
