// Bitmaps made and filled as raw rows: monochrome masks (top-down rows of whole 16-bit
// words), bitmaps at the screen's depth, and how GetObjectW describes them.
#include "gdi_test_support.h"

namespace {

using gdi_test::Colour;
using gdi_test::GdiTest;

class GdiBitmapBits : public GdiTest {};

TEST_F(GdiBitmapBits, MonochromeRowsAreTopDownWholeWords) {
    // 17 pixels need 3 bytes, so a row takes two words (4 bytes); 3 rows.
    HBITMAP mask = CreateBitmap(17, 3, 1, 1, nullptr);
    ASSERT_NE(mask, 0u);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(mask, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, 17);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmWidthBytes, 4);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmBits, nullptr);

    std::vector<BYTE> raw(12, 0xEE);
    EXPECT_EQ(GetBitmapBits(mask, 12, raw.data()), 12);
    EXPECT_EQ(raw, std::vector<BYTE>(12, 0)) << "a new mask is black";

    // Top row: pixel 0 and pixel 16 set; middle row empty; bottom row: pixels 8..15.
    const std::vector<BYTE> rows = {0x80, 0x00, 0x80, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0xFF, 0x00, 0x00};
    EXPECT_EQ(SetBitmapBits(mask, 12, rows.data()), 12);
    EXPECT_EQ(GetBitmapBits(mask, 12, raw.data()), 12);
    EXPECT_EQ(raw, rows);

    HDC dc = GetDC(0);
    const std::vector<BYTE> dib = gdi_test::ReadAll(dc, mask, 17, 3);
    ASSERT_FALSE(dib.empty());
    const Colour white{255, 255, 255}, black{0, 0, 0};
    for (LONG x = 0; x < 17; ++x) {
        EXPECT_EQ(gdi_test::At(dib, 17, x, 2), x == 0 || x == 16 ? white : black) << x;
        EXPECT_EQ(gdi_test::At(dib, 17, x, 1), black) << x;
        EXPECT_EQ(gdi_test::At(dib, 17, x, 0), x >= 8 && x < 16 ? white : black) << x;
    }
    ReleaseDC(0, dc);
    EXPECT_TRUE(DeleteObject(mask));
}

TEST_F(GdiBitmapBits, MonochromeReadsBlackAndWhiteOnAPaletteScreenToo) {
    Win32SetScreenFormat(8, TRUE);
    const BYTE rows[2] = {0xA0, 0x00};  // pixels 0 and 2 set
    HBITMAP mask = CreateBitmap(3, 1, 1, 1, rows);
    ASSERT_NE(mask, 0u);
    HDC dc = GetDC(0);
    const std::vector<BYTE> dib = gdi_test::ReadAll(dc, mask, 3, 1);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(gdi_test::At(dib, 3, 0, 0), (Colour{255, 255, 255}));
    EXPECT_EQ(gdi_test::At(dib, 3, 1, 0), (Colour{0, 0, 0}));
    EXPECT_EQ(gdi_test::At(dib, 3, 2, 0), (Colour{255, 255, 255}));
    ReleaseDC(0, dc);
    DeleteObject(mask);
}

TEST_F(GdiBitmapBits, CopiesStopAtTheBitmapsSizeOrTheCount) {
    HBITMAP mask = CreateBitmap(8, 2, 1, 1, nullptr);  // one word per row: 4 bytes
    const std::vector<BYTE> more = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(SetBitmapBits(mask, 6, more.data()), 4);
    std::vector<BYTE> raw(6, 0xEE);
    EXPECT_EQ(GetBitmapBits(mask, 6, raw.data()), 4);
    EXPECT_EQ(raw, (std::vector<BYTE>{1, 2, 3, 4, 0xEE, 0xEE}));
    const BYTE two[2] = {9, 9};
    EXPECT_EQ(SetBitmapBits(mask, 2, two), 2);
    raw.assign(6, 0xEE);
    EXPECT_EQ(GetBitmapBits(mask, 3, raw.data()), 3);
    EXPECT_EQ(raw, (std::vector<BYTE>{9, 9, 3, 0xEE, 0xEE, 0xEE}));
    DeleteObject(mask);
}

TEST_F(GdiBitmapBits, ScreenDepthBitmapsHoldTheDevicesPixelFormat) {
    // 32 bits: blue, green, red, unused.
    const BYTE bgrx[8] = {0x30, 0x20, 0x10, 0, 0x03, 0x02, 0x01, 0};
    HBITMAP bm = CreateBitmap(1, 2, 1, 32, bgrx);
    ASSERT_NE(bm, 0u);
    HDC dc = GetDC(0);
    std::vector<BYTE> dib = gdi_test::ReadAll(dc, bm, 1, 2);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(gdi_test::At(dib, 1, 0, 1), (Colour{0x10, 0x20, 0x30})) << "top row first";
    EXPECT_EQ(gdi_test::At(dib, 1, 0, 0), (Colour{0x01, 0x02, 0x03}));
    DeleteObject(bm);

    // 16 bits: 5-6-5 in a little-endian word, widened by repeating the top bits.
    Win32SetScreenFormat(16, FALSE);
    const BYTE rgb565[4] = {0x1F, 0xF8, 0xE0, 0x07};  // blue+red (0xF81F), green (0x07E0)
    bm = CreateBitmap(2, 1, 1, 16, rgb565);
    ASSERT_NE(bm, 0u);
    dib = gdi_test::ReadAll(dc, bm, 2, 1);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(gdi_test::At(dib, 2, 0, 0), (Colour{255, 0, 255}));
    EXPECT_EQ(gdi_test::At(dib, 2, 1, 0), (Colour{0, 255, 0}));
    DeleteObject(bm);

    // 4 bits without a palette: the 16 standard colours, high nibble first.
    Win32SetScreenFormat(4, FALSE);
    const BYTE nibbles[2] = {0x9F, 0x00};
    bm = CreateBitmap(2, 1, 1, 4, nibbles);
    ASSERT_NE(bm, 0u);
    dib = gdi_test::ReadAll(dc, bm, 2, 1);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(gdi_test::At(dib, 2, 0, 0), (Colour{255, 0, 0}));
    EXPECT_EQ(gdi_test::At(dib, 2, 1, 0), (Colour{255, 255, 255}));
    DeleteObject(bm);
    ReleaseDC(0, dc);
}

TEST_F(GdiBitmapBits, OnlyMonochromeAndTheScreensDepthCanBeMade) {
    EXPECT_EQ(CreateBitmap(4, 4, 1, 24, nullptr), 0u);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), 0u);
    EXPECT_EQ(CreateBitmap(4, 4, 2, 1, nullptr), 0u);
    Win32SetScreenFormat(2, FALSE);  // a depth no bitmap can have
    EXPECT_EQ(CreateBitmap(4, 4, 1, 2, nullptr), 0u);
    BITMAPINFO request = gdi_test::Request24(4, 4);
    HDC dc = GetDC(0);
    EXPECT_EQ(CreateDIBitmap(dc, &request.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS), 0u);
    ReleaseDC(0, dc);
}

}  // namespace
