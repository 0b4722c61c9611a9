// The table of GDI objects: bitmaps and palettes named by 32-bit handles, so that a stale
// or foreign handle is recognised instead of dereferenced; the stock palette; test hooks.
#include <new>
#include <unordered_map>
#include <variant>

#include "gdi_internal.h"

namespace {

// Handles run from kFirstObject to kLastObject and then start again, skipping live ones:
// a deleted handle comes back only after some 268 million creations. The stock palette
// has a fixed handle below kFirstObject, so it is never taken for a created object.
constexpr HGDIOBJ kStockDefaultPalette = 0x70000001;
constexpr HGDIOBJ kFirstObject = 0x70000100;
constexpr HGDIOBJ kLastObject = 0x7FFFFFFF;

using GdiObject = std::variant<win32gdi::Bitmap, win32gdi::Palette>;

struct ObjectTable {
    std::unordered_map<HGDIOBJ, GdiObject> objects;
    HGDIOBJ next = kFirstObject;
    std::uint32_t failCountdown = 0;
};

ObjectTable& Table() {
    static ObjectTable table;
    return table;
}

const win32gdi::Palette& StockPalette() {
    static const win32gdi::Palette palette{win32gdi::DefaultPaletteColours()};
    return palette;
}

HGDIOBJ Add(GdiObject&& object) {
    ObjectTable& t = Table();
    for (;;) {
        const HGDIOBJ h = t.next;
        t.next = h == kLastObject ? kFirstObject : h + 1;
        if (t.objects.count(h) != 0)
            continue;
        try {
            t.objects.emplace(h, std::move(object));
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return h;
    }
}

}  // namespace

namespace win32gdi {

HBITMAP AddBitmap(Bitmap&& bitmap) {
    return Add(GdiObject(std::move(bitmap)));
}

HPALETTE AddPalette(Palette&& palette) {
    return Add(GdiObject(std::move(palette)));
}

Bitmap* FindBitmap(HGDIOBJ handle) {
    auto& objects = Table().objects;
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : std::get_if<Bitmap>(&it->second);
}

const Palette* FindPalette(HGDIOBJ handle) {
    if (handle == kStockDefaultPalette)
        return &StockPalette();
    auto& objects = Table().objects;
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : std::get_if<Palette>(&it->second);
}

HPALETTE StockDefaultPalette() {
    return kStockDefaultPalette;
}

bool CallFails() {
    ObjectTable& t = Table();
    if (t.failCountdown == 0)
        return false;
    return --t.failCountdown == 0;
}

}  // namespace win32gdi

extern "C" {

HGDIOBJ GetStockObject(int index) {
    if (win32gdi::CallFails() || index != DEFAULT_PALETTE)
        return 0;
    return kStockDefaultPalette;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (object == kStockDefaultPalette)
        return TRUE;
    auto& objects = Table().objects;
    auto it = objects.find(object);
    if (it == objects.end())
        return FALSE;
    // A context must never be left holding a deleted palette.
    if (std::holds_alternative<win32gdi::Palette>(it->second) && win32gdi::SelectedAnywhere(object))
        return FALSE;
    objects.erase(it);
    return TRUE;
}

std::uint32_t Win32LiveGdiObjects(void) {
    return static_cast<std::uint32_t>(Table().objects.size());
}

void Win32FailGdiCallAfter(std::uint32_t n) {
    Table().failCountdown = n;
}

}  // extern "C"
