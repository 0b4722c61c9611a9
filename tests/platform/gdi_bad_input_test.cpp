// Bad handles, pointers, sizes and row ranges: every call fails as the platform's do,
// writes nothing and makes nothing. And the test hook that makes a chosen call fail.
#include <climits>
#include <functional>

#include "gdi_test_support.h"

namespace {

using gdi_test::GdiTest;

constexpr BYTE kUntouched = 0xA5;

class GdiBadInput : public GdiTest {
  protected:
    void SetUp() override {
        GdiTest::SetUp();
        dc_ = GetDC(0);
        bitmap_ = CreateBitmap(5, 4, 1, 32, nullptr);
        deleted_ = CreateBitmap(5, 4, 1, 32, nullptr);
        DeleteObject(deleted_);
        released_ = GetDC(0);
        ReleaseDC(0, released_);
        ASSERT_NE(bitmap_, 0u);
    }
    void TearDown() override {
        DeleteObject(bitmap_);
        ReleaseDC(0, dc_);
        GdiTest::TearDown();
    }

    // Bitmap handles no call may accept: zero, unknown, deleted, a palette, a context.
    std::vector<HGDIOBJ> BadBitmaps() const {
        return {0, 0x7FFFFFF0, deleted_, GetStockObject(DEFAULT_PALETTE), dc_, 0xFFFFFFFF};
    }

    HDC dc_ = 0;
    HDC released_ = 0;
    HBITMAP bitmap_ = 0;
    HBITMAP deleted_ = 0;
};

TEST_F(GdiBadInput, GetDIBitsRefusesAndWritesNothing) {
    BITMAPINFO good = gdi_test::Request24(5, 4);
    std::vector<BYTE> buffer(gdi_test::DibStride(5, 24) * 4, kUntouched);
    const auto call = [&](HDC dc, HBITMAP bm, UINT start, UINT lines, void* bits, BITMAPINFO* info,
                          UINT usage) {
        return GetDIBits(dc, bm, start, lines, bits, info, usage);
    };
    const auto refuse = [](const char* what, int result) { EXPECT_EQ(result, 0) << what; };
    refuse("zero context", call(0, bitmap_, 0, 4, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("released context",
           call(released_, bitmap_, 0, 4, buffer.data(), &good, DIB_RGB_COLORS));
    for (HGDIOBJ bad : BadBitmaps())
        refuse("bad bitmap", call(dc_, bad, 0, 4, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("null bits", call(dc_, bitmap_, 0, 4, nullptr, &good, DIB_RGB_COLORS));
    refuse("null info", call(dc_, bitmap_, 0, 4, buffer.data(), nullptr, DIB_RGB_COLORS));
    refuse("palette indexes", call(dc_, bitmap_, 0, 4, buffer.data(), &good, 1));
    refuse("no rows", call(dc_, bitmap_, 0, 0, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("start at the height", call(dc_, bitmap_, 4, 1, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("start beyond", call(dc_, bitmap_, 9, 1, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("count beyond", call(dc_, bitmap_, 1, 4, buffer.data(), &good, DIB_RGB_COLORS));
    refuse("count wrapping", call(dc_, bitmap_, 2, UINT_MAX, buffer.data(), &good, 0));
    refuse("start wrapping", call(dc_, bitmap_, UINT_MAX, 2, buffer.data(), &good, 0));

    const std::vector<std::function<void(BITMAPINFOHEADER&)>> badHeaders = {
        [](BITMAPINFOHEADER& h) { h.biBitCount = 8; },
        [](BITMAPINFOHEADER& h) { h.biBitCount = 32; },
        [](BITMAPINFOHEADER& h) { h.biBitCount = 0; },
        [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; },
        [](BITMAPINFOHEADER& h) { h.biSize = 12; },
        [](BITMAPINFOHEADER& h) { h.biWidth = 6; },
        [](BITMAPINFOHEADER& h) { h.biHeight = -4; },
        [](BITMAPINFOHEADER& h) { h.biHeight = 3; },
    };
    for (const auto& spoil : badHeaders) {
        BITMAPINFO info = good;
        spoil(info.bmiHeader);
        refuse("bad header", call(dc_, bitmap_, 0, 4, buffer.data(), &info, DIB_RGB_COLORS));
    }
    EXPECT_EQ(buffer, std::vector<BYTE>(buffer.size(), kUntouched));
}

TEST_F(GdiBadInput, CreateDIBitmapRefusesAndMakesNothing) {
    const std::uint32_t live = Win32LiveGdiObjects();
    const std::vector<gdi_test::Colour> table = {{1, 2, 3}, {4, 5, 6}};
    gdi_test::Dib dib = gdi_test::MakeDib(3, 2, 8, table, [](LONG, LONG) { return 1u; });
    const BITMAPINFOHEADER* h = dib.header();
    const void* rows = dib.rows.data();
    EXPECT_EQ(CreateDIBitmap(0, h, CBM_INIT, rows, dib.bmi(), DIB_RGB_COLORS), 0u);
    EXPECT_EQ(CreateDIBitmap(released_, h, CBM_INIT, rows, dib.bmi(), DIB_RGB_COLORS), 0u);
    EXPECT_EQ(CreateDIBitmap(dc_, nullptr, CBM_INIT, rows, dib.bmi(), DIB_RGB_COLORS), 0u);
    EXPECT_EQ(CreateDIBitmap(dc_, h, CBM_INIT, nullptr, dib.bmi(), DIB_RGB_COLORS), 0u);
    EXPECT_EQ(CreateDIBitmap(dc_, h, CBM_INIT, rows, nullptr, DIB_RGB_COLORS), 0u);
    EXPECT_EQ(CreateDIBitmap(dc_, h, CBM_INIT, rows, dib.bmi(), 1), 0u);

    // Spoilt headers; the first ones make the size itself bad, so that no bitmap can be
    // made from them even without rows.
    const std::vector<std::function<void(BITMAPINFOHEADER&)>> badHeaders = {
        [](BITMAPINFOHEADER& x) { x.biWidth = 0; },
        [](BITMAPINFOHEADER& x) { x.biHeight = 0; },
        [](BITMAPINFOHEADER& x) { x.biWidth = -3; },
        [](BITMAPINFOHEADER& x) { x.biHeight = -2; },
        [](BITMAPINFOHEADER& x) { x.biSize = 12; },
        // Sizes whose bytes pass 32 bits, and a size just past what a bitmap may hold.
        [](BITMAPINFOHEADER& x) { x.biWidth = x.biHeight = 0x7FFFFFFF; },
        [](BITMAPINFOHEADER& x) { x.biWidth = 70000, x.biHeight = 70000; },
        [](BITMAPINFOHEADER& x) { x.biWidth = 0x20000000, x.biHeight = 1; },
        [](BITMAPINFOHEADER& x) { x.biBitCount = 16; },
        [](BITMAPINFOHEADER& x) { x.biBitCount = 32; },
        [](BITMAPINFOHEADER& x) { x.biBitCount = 2; },
        [](BITMAPINFOHEADER& x) { x.biBitCount = 0; },
        [](BITMAPINFOHEADER& x) { x.biCompression = BI_RLE8; },
    };
    constexpr std::size_t kBadSizes = 8;
    for (std::size_t i = 0; i < badHeaders.size(); ++i) {
        gdi_test::Dib copy = dib;
        badHeaders[i](*copy.header());
        EXPECT_EQ(CreateDIBitmap(dc_, copy.header(), CBM_INIT, rows, copy.bmi(), DIB_RGB_COLORS),
                  0u)
            << "header " << i;
        if (i < kBadSizes) {
            EXPECT_EQ(CreateDIBitmap(dc_, copy.header(), 0, nullptr, nullptr, DIB_RGB_COLORS), 0u)
                << "header " << i << " without rows";
        }
    }
    // The rows' header must describe the bitmap's size.
    gdi_test::Dib other = dib;
    other.header()->biWidth = 4;
    EXPECT_EQ(CreateDIBitmap(dc_, h, CBM_INIT, rows, other.bmi(), DIB_RGB_COLORS), 0u);
    EXPECT_EQ(Win32LiveGdiObjects(), live);
}

TEST_F(GdiBadInput, CreateBitmapAndPaletteRefuseBadSizes) {
    const std::uint32_t live = Win32LiveGdiObjects();
    const BYTE bits[64] = {};
    EXPECT_EQ(CreateBitmap(0, 4, 1, 1, bits), 0u);
    EXPECT_EQ(CreateBitmap(4, 0, 1, 1, bits), 0u);
    EXPECT_EQ(CreateBitmap(-4, 4, 1, 1, bits), 0u);
    EXPECT_EQ(CreateBitmap(4, -4, 1, 32, bits), 0u);
    EXPECT_EQ(CreateBitmap(0x40000000, 2, 1, 32, nullptr), 0u);  // 8 GiB
    EXPECT_EQ(CreateBitmap(0x7FFFFFFF, 0x7FFFFFFF, 1, 1, nullptr), 0u);
    EXPECT_EQ(CreateBitmap(0x20000000, 1, 1, 32, nullptr), 0u);  // 2 GiB: one byte too many

    EXPECT_EQ(CreatePalette(nullptr), 0u);
    LOGPALETTE lp{0x300, 0, {{1, 2, 3, 0}}};
    EXPECT_EQ(CreatePalette(&lp), 0u) << "no entries";
    lp.palVersion = 0x200;
    lp.palNumEntries = 1;
    EXPECT_EQ(CreatePalette(&lp), 0u) << "unknown version";
    EXPECT_EQ(Win32LiveGdiObjects(), live);
}

TEST_F(GdiBadInput, ObjectAndBitsCallsRefuseBadHandlesAndPointers) {
    std::vector<BYTE> out(64, kUntouched);
    for (HGDIOBJ bad : BadBitmaps()) {
        EXPECT_EQ(GetObjectW(bad, 64, out.data()), 0);
        EXPECT_EQ(GetBitmapBits(bad, 64, out.data()), 0);
        EXPECT_EQ(SetBitmapBits(bad, 64, out.data()), 0);
        EXPECT_FALSE(DeleteObject(bad == GetStockObject(DEFAULT_PALETTE) ? deleted_ : bad));
    }
    EXPECT_EQ(GetObjectW(bitmap_, 64, nullptr), 0);
    EXPECT_EQ(GetObjectW(bitmap_, int(sizeof(BITMAP)) - 1, out.data()), 0);
    EXPECT_EQ(GetObjectW(bitmap_, -1, out.data()), 0);
    EXPECT_EQ(GetBitmapBits(bitmap_, 64, nullptr), 0);
    EXPECT_EQ(GetBitmapBits(bitmap_, 0, out.data()), 0);
    EXPECT_EQ(GetBitmapBits(bitmap_, -5, out.data()), 0);
    EXPECT_EQ(SetBitmapBits(bitmap_, 64, nullptr), 0);
    EXPECT_EQ(out, std::vector<BYTE>(64, kUntouched));
    EXPECT_EQ(SetBitmapBits(bitmap_, 0, out.data()), 0);
    std::vector<BYTE> raw(80, kUntouched);
    EXPECT_EQ(GetBitmapBits(bitmap_, 80, raw.data()), 80);
    EXPECT_EQ(raw, std::vector<BYTE>(80, 0)) << "nothing was set";
}

TEST_F(GdiBadInput, PaletteCallsRefuseBadContextsAndPalettes) {
    const HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
    EXPECT_EQ(GetStockObject(0), 0u);
    EXPECT_EQ(GetStockObject(14), 0u);
    EXPECT_EQ(GetStockObject(-1), 0u);
    for (HDC bad : {HDC{0}, released_, bitmap_, HDC{0x6FFFFFFF}}) {
        EXPECT_EQ(SelectPalette(bad, stock, FALSE), 0u);
        EXPECT_EQ(RealizePalette(bad), GDI_ERROR);
    }
    for (HGDIOBJ bad : {HGDIOBJ{0}, bitmap_, deleted_, HGDIOBJ{0x7FFFFFF0}, dc_})
        EXPECT_EQ(SelectPalette(dc_, bad, FALSE), 0u);
    EXPECT_EQ(SelectPalette(dc_, stock, FALSE), stock) << "the selection did not change";
}

// The hook fails exactly the n-th call, once, whichever call that is; DeleteObject and
// ReleaseDC are never failed, so clean-up always works.
TEST_F(GdiBadInput, TheHookFailsTheNthCallOnce) {
    const HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
    BITMAPINFO request = gdi_test::Request24(5, 4);
    std::vector<BYTE> rows(gdi_test::DibStride(5, 24) * 4);
    BITMAP info{};
    LOGPALETTE lp{0x300, 1, {{1, 2, 3, 0}}};
    const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
        {"GetDC",
         [&] {
             HDC d = GetDC(0);
             return ReleaseDC(0, d) == 1;
         }},
        {"GetDeviceCaps", [&] { return GetDeviceCaps(dc_, BITSPIXEL) == 32; }},
        {"GetStockObject", [&] { return GetStockObject(DEFAULT_PALETTE) != 0; }},
        {"CreatePalette", [&] { return DeleteObject(CreatePalette(&lp)) == TRUE; }},
        {"SelectPalette", [&] { return SelectPalette(dc_, stock, FALSE) == stock; }},
        {"RealizePalette", [&] { return RealizePalette(dc_) != GDI_ERROR; }},
        {"CreateBitmap", [&] { return DeleteObject(CreateBitmap(2, 2, 1, 1, nullptr)) == TRUE; }},
        {"CreateDIBitmap",
         [&] {
             return DeleteObject(CreateDIBitmap(dc_, &request.bmiHeader, 0, nullptr, nullptr,
                                                DIB_RGB_COLORS)) == TRUE;
         }},
        {"GetDIBits", [&] { return GetDIBits(dc_, bitmap_, 0, 4, rows.data(), &request, 0) == 4; }},
        {"GetObjectW", [&] { return GetObjectW(bitmap_, sizeof info, &info) != 0; }},
        {"GetBitmapBits", [&] { return GetBitmapBits(bitmap_, 4, rows.data()) == 4; }},
        {"SetBitmapBits", [&] { return SetBitmapBits(bitmap_, 4, rows.data()) == 4; }},
    };
    for (const auto& [name, succeeds] : calls) {
        Win32FailGdiCallAfter(1);
        EXPECT_FALSE(succeeds()) << name << " was not failed";
        EXPECT_TRUE(succeeds()) << name << " failed twice";
    }
    Win32FailGdiCallAfter(3);
    EXPECT_NE(GetStockObject(DEFAULT_PALETTE), 0u);
    const HBITMAP made = CreateBitmap(1, 1, 1, 1, nullptr);
    EXPECT_TRUE(DeleteObject(made)) << "clean-up is not counted";
    EXPECT_EQ(ReleaseDC(0, GetDC(0)), 0) << "the third counted call fails";
    EXPECT_NE(GetStockObject(DEFAULT_PALETTE), 0u);
}

}  // namespace
