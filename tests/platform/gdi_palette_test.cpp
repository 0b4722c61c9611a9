// Palettes, their selection into device contexts, and the handles GDI objects get.
#include "gdi_test_support.h"
#include "win32/global_memory.h"

namespace {

using gdi_test::GdiTest;

class GdiPalette : public GdiTest {
  protected:
    static HPALETTE Make(WORD n) {
        std::vector<BYTE> block(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = n;
        PALETTEENTRY* e = &lp->palPalEntry[0];
        for (WORD i = 0; i < n; ++i)
            e[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        return CreatePalette(lp);
    }
};

TEST_F(GdiPalette, ContextsStartWithTheStockPaletteAndSelectionGivesThePreviousOne) {
    const HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
    ASSERT_NE(stock, 0u);
    EXPECT_EQ(GetStockObject(DEFAULT_PALETTE), stock);
    const HPALETTE a = Make(4), b = Make(300);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    HDC dc = GetDC(0), other = GetDC(0);
    EXPECT_EQ(SelectPalette(dc, a, FALSE), stock);
    EXPECT_EQ(SelectPalette(dc, b, TRUE), a);
    EXPECT_EQ(SelectPalette(other, a, FALSE), stock) << "each context has its own selection";
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), b);
    EXPECT_EQ(SelectPalette(other, stock, FALSE), a);
    ReleaseDC(0, other);
    ReleaseDC(0, dc);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(b));
}

TEST_F(GdiPalette, RealizeCountsTheEntriesAPaletteScreenShows) {
    const HPALETTE small = Make(5), big = Make(300);
    HDC dc = GetDC(0);
    EXPECT_EQ(RealizePalette(dc), 0u) << "a true-colour screen has no palette to fill";
    Win32SetScreenFormat(8, TRUE);
    EXPECT_EQ(RealizePalette(dc), 20u);
    const HPALETTE old = SelectPalette(dc, small, FALSE);
    EXPECT_EQ(RealizePalette(dc), 5u);
    SelectPalette(dc, big, FALSE);
    EXPECT_EQ(RealizePalette(dc), 256u);
    Win32SetScreenFormat(4, TRUE);
    EXPECT_EQ(RealizePalette(dc), 16u);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(0, dc);
    DeleteObject(small);
    DeleteObject(big);
}

// A context never holds a deleted palette: deleting a selected one fails until it is
// selected out or its context is released. The stock palette is never deleted.
TEST_F(GdiPalette, ASelectedPaletteIsNotDeleted) {
    const HPALETTE pal = Make(2);
    HDC dc = GetDC(0);
    const HPALETTE stock = SelectPalette(dc, pal, FALSE);
    EXPECT_FALSE(DeleteObject(pal));
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), pal) << "still selected and whole";
    SelectPalette(dc, pal, FALSE);
    ReleaseDC(0, dc);
    EXPECT_TRUE(DeleteObject(pal));
    EXPECT_FALSE(DeleteObject(pal));

    EXPECT_TRUE(DeleteObject(stock));
    dc = GetDC(0);
    EXPECT_EQ(SelectPalette(dc, stock, FALSE), stock) << "the stock palette lives on";
    ReleaseDC(0, dc);
}

TEST_F(GdiPalette, HandlesHaveTheirOwnRangeAndAreNotReusedSoon) {
    const HGLOBAL mem = GlobalAlloc(GHND, 16);
    HDC dc = GetDC(0);
    const HBITMAP first = CreateBitmap(1, 1, 1, 1, nullptr);
    const HPALETTE pal = Make(1);
    for (const HGDIOBJ h : {GetStockObject(DEFAULT_PALETTE), first, pal}) {
        EXPECT_EQ(h & 0xF0000000u, 0x70000000u) << std::hex << h;
        EXPECT_NE(h, mem);
        EXPECT_NE(h, dc);
    }
    // A handle of another family is unknown here, and the reverse.
    EXPECT_FALSE(DeleteObject(mem));
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_EQ(GlobalSize(first), 0u);
    EXPECT_EQ(SelectPalette(dc, first, FALSE), 0u) << "a bitmap is not a palette";
    BITMAP info{};
    EXPECT_EQ(GetObjectW(pal, sizeof info, &info), 0) << "a palette is not a bitmap";

    EXPECT_TRUE(DeleteObject(first));
    for (int i = 0; i < 1000; ++i) {
        const HBITMAP b = CreateBitmap(1, 1, 1, 1, nullptr);
        ASSERT_NE(b, first);
        DeleteObject(b);
    }
    DeleteObject(pal);
    ReleaseDC(0, dc);
    GlobalFree(mem);
}

}  // namespace
