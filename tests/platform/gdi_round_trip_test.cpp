// DIB -> bitmap -> DIB at every source depth and on every kind of screen: the colours that
// come back are the ones that screen can show, and reading row by row or in pieces gives the
// same rows as one whole read.
#include <string>

#include "gdi_test_support.h"

namespace {

using gdi_test::Colour;
using gdi_test::DibStride;
using gdi_test::GdiTest;

struct Screen {
    int bits;
    bool palette;
};

// The colour a screen shows for c: what a bitmap made from c reads back as.
Colour Shown(Colour c, const Screen& s, const std::vector<Colour>& selected) {
    switch (s.bits) {
        case 32:
        case 24:
            return c;
        case 16: {
            const unsigned r = c.r >> 3, g = c.g >> 2, b = c.b >> 3;
            return {BYTE(r << 3 | r >> 2), BYTE(g << 2 | g >> 4), BYTE(b << 3 | b >> 2)};
        }
        default: {
            if (s.palette)
                return gdi_test::Nearest(c, selected);
            std::vector<Colour> fixed = gdi_test::kSystemColours;
            if (s.bits == 4)
                fixed.erase(fixed.begin() + 8, fixed.begin() + 12);
            return gdi_test::Nearest(c, fixed);
        }
    }
}

std::vector<Colour> Ramp(std::size_t n) {
    std::vector<Colour> t;
    for (std::size_t i = 0; i < n; ++i)
        t.push_back({BYTE(i * 37 + 11), BYTE(255 - i * 13), BYTE(i * i * 7)});
    return t;
}

// Reads the bitmap row by row and in uneven pieces; each must equal the whole read.
void ExpectPiecewiseReadsEqual(HDC dc, HBITMAP bm, LONG w, LONG h, const std::vector<BYTE>& whole) {
    const std::uint64_t stride = DibStride(w, 24);
    BITMAPINFO request = gdi_test::Request24(w, h);
    std::vector<BYTE> rows(whole.size(), 0x55);
    for (LONG r = 0; r < h; ++r)
        ASSERT_EQ(GetDIBits(dc, bm, UINT(r), 1, &rows[stride * r], &request, DIB_RGB_COLORS), 1);
    EXPECT_EQ(rows, whole) << "row by row";
    rows.assign(whole.size(), 0x55);
    for (LONG r = 0; r < h; r += 3) {
        const UINT n = UINT(std::min<LONG>(3, h - r));
        ASSERT_EQ(GetDIBits(dc, bm, UINT(r), n, &rows[stride * r], &request, DIB_RGB_COLORS),
                  int(n));
    }
    EXPECT_EQ(rows, whole) << "three rows at a time";
}

void RoundTrip(const Screen& s, WORD dibBits, LONG w, LONG h, HPALETTE selectInto) {
    SCOPED_TRACE("screen " + std::to_string(s.bits) + (s.palette ? " palette" : "") + ", DIB " +
                 std::to_string(dibBits) + " bits, " + std::to_string(w) + "x" + std::to_string(h));
    Win32SetScreenFormat(s.bits, s.palette);
    const std::vector<Colour> table =
        dibBits <= 8 ? Ramp(std::size_t{1} << dibBits) : std::vector<Colour>{};
    const auto pixel = [&](LONG x, LONG y) -> std::uint32_t {
        if (dibBits <= 8)
            return std::uint32_t(x * 7 + y * 3) % (1u << dibBits);
        return std::uint32_t(x * 40503 + y * 2654435761u) & 0xFFFFFF;
    };
    gdi_test::Dib dib = gdi_test::MakeDib(w, h, dibBits, table, pixel);

    HDC dc = GetDC(0);
    ASSERT_NE(dc, 0u);
    HPALETTE old = 0;
    std::vector<Colour> selected = gdi_test::kSystemColours;
    if (selectInto != 0) {
        old = SelectPalette(dc, selectInto, FALSE);
        ASSERT_NE(old, 0u);
        RealizePalette(dc);
        selected = table;
    }
    HBITMAP bm =
        CreateDIBitmap(dc, dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(), DIB_RGB_COLORS);
    ASSERT_NE(bm, 0u);

    BITMAP info{};
    ASSERT_EQ(GetObjectW(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, w);
    EXPECT_EQ(info.bmHeight, h);
    EXPECT_EQ(info.bmBitsPixel, s.bits);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmWidthBytes, LONG((w * s.bits + 15) / 16 * 2));

    const std::vector<BYTE> whole = gdi_test::ReadAll(dc, bm, w, h);
    ASSERT_FALSE(whole.empty());
    for (LONG y = 0; y < h; ++y) {
        for (LONG x = 0; x < w; ++x) {
            const Colour want = Shown(gdi_test::DibColour(dib, table, pixel, x, y), s, selected);
            ASSERT_EQ(gdi_test::At(whole, w, x, y), want) << "pixel " << x << "," << y;
        }
        const std::uint64_t stride = DibStride(w, 24);
        for (std::uint64_t pad = 3 * std::uint64_t(w); pad < stride; ++pad)
            ASSERT_EQ(whole[stride * y + pad], 0) << "padding of row " << y;
    }
    ExpectPiecewiseReadsEqual(dc, bm, w, h, whole);

    EXPECT_TRUE(DeleteObject(bm));
    if (old != 0) {
        EXPECT_EQ(SelectPalette(dc, old, FALSE), selectInto);
    }
    EXPECT_EQ(ReleaseDC(0, dc), 1);
}

class GdiRoundTrip : public GdiTest {};

// Widths whose 24-bit rows need padding and whose source rows end inside a byte.
constexpr LONG kSizes[][2] = {{1, 1}, {3, 2}, {5, 7}, {13, 4}, {17, 9}, {64, 3}};

TEST_F(GdiRoundTrip, TrueColourScreensGiveBackEveryColourExactly) {
    for (const Screen s : {Screen{32, false}, Screen{24, false}})
        for (WORD bits : {1, 4, 8, 24})
            for (const auto& size : kSizes)
                RoundTrip(s, bits, size[0], size[1], 0);
}

TEST_F(GdiRoundTrip, HighColourScreenKeepsFiveSixFiveBits) {
    for (WORD bits : {1, 4, 8, 24})
        for (const auto& size : kSizes)
            RoundTrip({16, false}, bits, size[0], size[1], 0);
}

TEST_F(GdiRoundTrip, PaletteScreenShowsTheNearestColoursOfTheDefaultPalette) {
    for (WORD bits : {1, 4, 8, 24})
        for (const auto& size : kSizes)
            RoundTrip({8, true}, bits, size[0], size[1], 0);
}

TEST_F(GdiRoundTrip, PaletteScreenWithTheImagesOwnPaletteGivesBackEveryColour) {
    for (WORD bits : {1, 4, 8}) {
        const std::size_t n = std::size_t{1} << bits;
        std::vector<BYTE> block(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = WORD(n);
        PALETTEENTRY* e = &lp->palPalEntry[0];
        const std::vector<Colour> ramp = Ramp(n);
        for (std::size_t i = 0; i < n; ++i)
            e[i] = {ramp[i].r, ramp[i].g, ramp[i].b, 0};
        HPALETTE pal = CreatePalette(lp);
        ASSERT_NE(pal, 0u);
        for (const auto& size : kSizes)
            RoundTrip({8, true}, bits, size[0], size[1], pal);
        EXPECT_TRUE(DeleteObject(pal));
    }
}

TEST_F(GdiRoundTrip, SixteenColourScreenShowsTheStandardColours) {
    for (WORD bits : {1, 4, 8, 24})
        for (const auto& size : kSizes)
            RoundTrip({4, false}, bits, size[0], size[1], 0);
}

TEST_F(GdiRoundTrip, MonochromeScreenShowsBlackOrWhite) {
    Win32SetScreenFormat(1, FALSE);
    const std::vector<Colour> table = {{10, 10, 10}, {250, 240, 230}, {90, 90, 90}, {170, 0, 200}};
    const auto pixel = [](LONG x, LONG y) { return std::uint32_t(x + y) % 4; };
    gdi_test::Dib dib = gdi_test::MakeDib(9, 2, 8, table, pixel);
    HDC dc = GetDC(0);
    HBITMAP bm =
        CreateDIBitmap(dc, dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(), DIB_RGB_COLORS);
    ASSERT_NE(bm, 0u);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc, bm, 9, 2);
    ASSERT_FALSE(rows.empty());
    // Only the second colour is nearer white than black.
    const Colour black{0, 0, 0}, white{255, 255, 255};
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 9; ++x)
            EXPECT_EQ(gdi_test::At(rows, 9, x, y), pixel(x, y) == 1 ? white : black);
    DeleteObject(bm);
    ReleaseDC(0, dc);
}

// A bitmap made on a palette screen holds indexes: read through another palette it shows
// that palette's colours, as a display does when its palette changes.
TEST_F(GdiRoundTrip, PaletteBitmapIsReadThroughTheContextsPalette) {
    Win32SetScreenFormat(8, TRUE);
    std::vector<BYTE> block(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    PALETTEENTRY* e = &lp->palPalEntry[0];
    e[0] = {10, 20, 30, 0};
    e[1] = {200, 100, 50, 0};
    e[2] = {0, 250, 0, 0};
    HPALETTE pal = CreatePalette(lp);
    HDC dc = GetDC(0);
    const HPALETTE stock = SelectPalette(dc, pal, FALSE);
    EXPECT_EQ(stock, GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(RealizePalette(dc), 3u);
    const std::vector<Colour> table = {{10, 20, 30}, {200, 100, 50}, {0, 250, 0}};
    gdi_test::Dib dib =
        gdi_test::MakeDib(3, 1, 8, table, [](LONG x, LONG) { return std::uint32_t(x); });
    HBITMAP bm =
        CreateDIBitmap(dc, dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(), DIB_RGB_COLORS);
    std::vector<BYTE> raw(4, 0xEE);
    EXPECT_EQ(GetBitmapBits(bm, 4, raw.data()), 4);
    EXPECT_EQ(raw, (std::vector<BYTE>{0, 1, 2, 0}));
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), pal);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc, bm, 3, 1);
    ASSERT_FALSE(rows.empty());
    for (LONG x = 0; x < 3; ++x)
        EXPECT_EQ(gdi_test::At(rows, 3, x, 0), gdi_test::kSystemColours[x]);
    DeleteObject(bm);
    ReleaseDC(0, dc);
    EXPECT_TRUE(DeleteObject(pal));
}

// The colour table's length is biClrUsed; an index beyond it is black, and a count larger
// than the depth allows is cut to the depth.
TEST_F(GdiRoundTrip, IndexesBeyondTheUsedColoursAreBlack) {
    const std::vector<Colour> table = {{255, 0, 0}, {0, 0, 255}};
    const auto pixel = [](LONG x, LONG) { return std::uint32_t(x); };
    gdi_test::Dib dib = gdi_test::MakeDib(4, 1, 8, table, pixel);
    HDC dc = GetDC(0);
    HBITMAP bm =
        CreateDIBitmap(dc, dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(), DIB_RGB_COLORS);
    std::vector<BYTE> rows = gdi_test::ReadAll(dc, bm, 4, 1);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(gdi_test::At(rows, 4, 0, 0), (Colour{255, 0, 0}));
    EXPECT_EQ(gdi_test::At(rows, 4, 1, 0), (Colour{0, 0, 255}));
    EXPECT_EQ(gdi_test::At(rows, 4, 2, 0), (Colour{0, 0, 0}));
    EXPECT_EQ(gdi_test::At(rows, 4, 3, 0), (Colour{0, 0, 0}));
    DeleteObject(bm);

    gdi_test::Dib mono = gdi_test::MakeDib(2, 1, 1, table, pixel);
    mono.header()->biClrUsed = 300;  // only 2 entries follow; a 1-bit table has no more
    bm = CreateDIBitmap(dc, mono.header(), CBM_INIT, mono.rows.data(), mono.bmi(), DIB_RGB_COLORS);
    rows = gdi_test::ReadAll(dc, bm, 2, 1);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(gdi_test::At(rows, 2, 1, 0), (Colour{0, 0, 255}));
    DeleteObject(bm);
    ReleaseDC(0, dc);
}

// Without CBM_INIT a bitmap of the header's size starts black; rows and table are not read.
TEST_F(GdiRoundTrip, WithoutInitTheBitmapStartsBlack) {
    BITMAPINFO request = gdi_test::Request24(5, 2);
    HDC dc = GetDC(0);
    HBITMAP bm = CreateDIBitmap(dc, &request.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS);
    ASSERT_NE(bm, 0u);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc, bm, 5, 2);
    EXPECT_EQ(rows, std::vector<BYTE>(rows.size(), 0));
    DeleteObject(bm);
    ReleaseDC(0, dc);
}

// A bitmap keeps the depth it was made with when the screen changes afterwards.
TEST_F(GdiRoundTrip, BitmapsKeepTheirDepthWhenTheScreenChanges) {
    const std::vector<Colour> none;
    gdi_test::Dib dib = gdi_test::MakeDib(
        2, 1, 24, none, [](LONG x, LONG) { return x == 0 ? 0x123456u : 0xFEDCBAu; });
    HDC dc = GetDC(0);
    HBITMAP bm =
        CreateDIBitmap(dc, dib.header(), CBM_INIT, dib.rows.data(), dib.bmi(), DIB_RGB_COLORS);
    Win32SetScreenFormat(8, TRUE);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 32);
    const std::vector<BYTE> rows = gdi_test::ReadAll(dc, bm, 2, 1);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(gdi_test::At(rows, 2, 0, 0), (Colour{0x12, 0x34, 0x56}));
    EXPECT_EQ(gdi_test::At(rows, 2, 1, 0), (Colour{0xFE, 0xDC, 0xBA}));
    DeleteObject(bm);
    ReleaseDC(0, dc);
}

}  // namespace
