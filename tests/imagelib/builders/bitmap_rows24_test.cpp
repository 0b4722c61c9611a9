// Reading a GDI bitmap as 24-bit rows, in one call or row by row.
#include "builders/bitmap_rows24.h"

#include <gtest/gtest.h>

#include <vector>

#include "builders/builders_fixtures.h"
#include "core/tracked_memory.h"

namespace builders_test {
namespace {

Colour Stripes(LONG x, LONG y) {
    return {BYTE(x * 40), BYTE(y % 251), BYTE(y / 251)};
}

using BitmapRows24Test = BuilderTest;

TEST_F(BitmapRows24Test, RowsComeBackWithAndWithoutPadding) {
    for (LONG width : {4, 5, 7, 8}) {
        SCOPED_TRACE(width);
        Bitmap bitmap(MakeBitmap(width, 9, Stripes));
        imagelib::Request24 request;
        ASSERT_TRUE(imagelib::BitmapRequest24(bitmap.get(), &request));
        EXPECT_EQ(request.bytes(), gdi_test::DibStride(width, 24) * 9);
        std::vector<BYTE> rows(request.bytes(), 0xEE);
        ScreenDc dc;
        ASSERT_TRUE(imagelib::ReadBitmapRows24(dc.get(), bitmap.get(), request, rows.data()));
        for (LONG y = 0; y < 9; ++y) {
            for (LONG x = 0; x < width; ++x)
                ASSERT_EQ(gdi_test::At(rows, width, x, y), Stripes(x, y)) << x << "," << y;
        }
    }
}

TEST_F(BitmapRows24Test, AllOfMoreThan65535RowsAreRead) {
    const LONG height = 70000;
    Bitmap bitmap(MakeBitmap(4, height, Stripes));
    imagelib::Request24 request;
    ASSERT_TRUE(imagelib::BitmapRequest24(bitmap.get(), &request));
    std::vector<BYTE> rows(request.bytes(), 0xEE);
    ScreenDc dc;
    ASSERT_TRUE(imagelib::ReadBitmapRows24(dc.get(), bitmap.get(), request, rows.data()));
    for (LONG y : {0, 65535, 65536, height - 1})
        EXPECT_EQ(gdi_test::At(rows, 4, 3, y), Stripes(3, y)) << y;
}

TEST_F(BitmapRows24Test, WhatGetObjectCannotDescribeIsRefused) {
    imagelib::Request24 request;
    EXPECT_FALSE(imagelib::BitmapRequest24(0, &request));
    EXPECT_FALSE(imagelib::BitmapRequest24(GetStockObject(DEFAULT_PALETTE), &request));
    EXPECT_FALSE(imagelib::MakeRequest24(0, 5, &request));
    EXPECT_FALSE(imagelib::MakeRequest24(5, -1, &request));
    EXPECT_FALSE(imagelib::MakeRequest24(0x7FFFFFFF, 0x7FFFFFFF, &request));
}

TEST_F(BitmapRows24Test, AFailingCallFailsTheRead) {
    for (LONG width : {4, 5}) {
        Bitmap bitmap(MakeBitmap(width, 6, Stripes));
        imagelib::Request24 request;
        ASSERT_TRUE(imagelib::BitmapRequest24(bitmap.get(), &request));
        std::vector<BYTE> rows(request.bytes());
        ScreenDc dc;
        // The last of the calls: the only one, or the sixth row's.
        Win32FailGdiCallAfter(width == 4 ? 1 : 6);
        EXPECT_FALSE(imagelib::ReadBitmapRows24(dc.get(), bitmap.get(), request, rows.data()));
        Win32FailGdiCallAfter(0);
    }
}

}  // namespace
}  // namespace builders_test
