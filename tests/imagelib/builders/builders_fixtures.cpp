#include "builders/builders_fixtures.h"

#include <cstring>

#include "colour/colour_reduce.h"
#include "engine/serial_context.h"
#include "win32/global_memory.h"

namespace builders_test {

std::vector<Colour> DisplayColours() {
    imagelib::PaletteEntry3 p[256];
    imagelib::ImageDisplayPalette256(p);
    std::vector<Colour> out;
    for (const auto& e : p)
        out.push_back({e.red, e.green, e.blue});
    return out;
}

std::vector<Colour> CubeColours(int count) {
    const std::vector<Colour> all = DisplayColours();
    std::vector<Colour> out;
    for (int i = 0; i < count; ++i)
        out.push_back(all[(i * 223 / (count > 1 ? count - 1 : 1)) % 224]);
    return out;
}

std::uint32_t PatternValue(WORD bits, const std::vector<Colour>& table, LONG x, LONG y) {
    const std::uint32_t k = static_cast<std::uint32_t>(x * 7 + y * 3 + (x * y) % 5);
    if (bits == 24) {
        const Colour c = table[k % table.size()];
        return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
    }
    return k % table.size();
}

Dib PatternDib(LONG width, LONG height, WORD bits, const std::vector<Colour>& table) {
    return gdi_test::MakeDib(width, height, bits, bits == 24 ? std::vector<Colour>{} : table,
                             [&](LONG x, LONG y) { return PatternValue(bits, table, x, y); });
}

Colour PatternColour(const Dib& dib, const std::vector<Colour>& table, LONG x, LONG y) {
    const WORD bits = reinterpret_cast<const BITMAPINFOHEADER*>(dib.info.data())->biBitCount;
    const std::uint32_t v = PatternValue(bits, table, x, y);
    if (bits == 24)
        return {BYTE(v >> 16), BYTE(v >> 8), BYTE(v)};
    return table[v];
}

std::vector<std::uint8_t> BmpFileOf(Dib& dib) {
    const BITMAPINFOHEADER& h = *dib.header();
    fixture::BmpFields f;
    f.width = h.biWidth;
    f.height = h.biHeight;
    f.bits = h.biBitCount;
    f.coloursUsed = h.biClrUsed;
    f.compression = h.biCompression;
    const std::vector<std::uint8_t> palette(
        dib.info.begin() + sizeof(BITMAPINFOHEADER),
        dib.info.begin() + sizeof(BITMAPINFOHEADER) + 4 * (h.biBitCount <= 8 ? h.biClrUsed : 0));
    return fixture::MakeBmp(f, palette, dib.rows);
}

ScreenDc::ScreenDc() : dc_(GetDC(0)) {
    if ((GetDeviceCaps(dc_, RASTERCAPS) & RC_PALETTE) == 0)
        return;
    const std::vector<Colour> colours = DisplayColours();
    std::vector<std::uint8_t> block(4 + 4 * colours.size());
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        lp->palPalEntry[i] = PALETTEENTRY{colours[i].r, colours[i].g, colours[i].b, 0};
    palette_ = CreatePalette(lp);
    old_ = SelectPalette(dc_, palette_, FALSE);
    RealizePalette(dc_);
}

ScreenDc::~ScreenDc() {
    if (palette_ != 0) {
        SelectPalette(dc_, old_, FALSE);
        DeleteObject(palette_);
    }
    ReleaseDC(0, dc_);
}

HBITMAP MakeBitmap(LONG width, LONG height, Colour (*colour)(LONG, LONG)) {
    return MakeBitmapFrom(width, height, std::function<Colour(LONG, LONG)>(colour));
}

HBITMAP MakeBitmapFrom(LONG width, LONG height, const std::function<Colour(LONG, LONG)>& colour) {
    Dib dib = gdi_test::MakeDib(width, height, 24, {}, [&](LONG x, LONG y) {
        const Colour c = colour(x, y);
        return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
    });
    ScreenDc dc;
    return CreateDIBitmap(dc.get(), dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(),
                          DIB_RGB_COLORS);
}

BitmapSize SizeOf(HBITMAP bitmap) {
    BITMAP bm{};
    if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm)
        return {};
    return {bm.bmWidth, bm.bmHeight};
}

void BuilderTest::SetUp() {
    Win32SetScreenFormat(32, FALSE);
    objects_ = Win32LiveGdiObjects();
    contexts_ = Win32LiveDeviceContexts();
    blocks_.emplace();
}

void BuilderTest::TearDown() {
    Win32FailGdiCallAfter(0);
    Win32FailGlobalAllocAfter(0);
    Win32SetScreenFormat(32, FALSE);
    EXPECT_EQ(Win32LiveGdiObjects(), objects_) << "a bitmap or palette was left behind";
    EXPECT_EQ(Win32LiveDeviceContexts(), contexts_) << "a device context was left behind";
    EXPECT_EQ(blocks_->Leaked(), "");
}

}  // namespace builders_test
