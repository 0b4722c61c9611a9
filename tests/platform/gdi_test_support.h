// Shared by the GDI tests: a fixture that checks nothing is left behind, DIBs built in
// memory, and the colours a screen shows, worked out from the screen's description.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "win32/gdi.h"

namespace gdi_test {

struct Colour {
    BYTE r, g, b;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream& operator<<(std::ostream& os, const Colour& c) {
    return os << '(' << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
}

// The 20 colours every display shows, in the order of the stock palette.
inline const std::vector<Colour> kSystemColours = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

inline std::uint64_t DibStride(std::uint64_t width, unsigned bits) {
    return (width * bits + 31) / 32 * 4;
}

// A bottom-up DIB: header and colour table in one block, rows in another.
struct Dib {
    std::vector<BYTE> info;
    std::vector<BYTE> rows;
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(info.data()); }
    BITMAPINFO* bmi() { return reinterpret_cast<BITMAPINFO*>(info.data()); }
};

// A DIB whose pixel (x, y), y counted from the bottom, is pixel(x, y): an index for 1, 4
// and 8 bits, a colour packed as 0xRRGGBB for 24.
inline Dib MakeDib(LONG width, LONG height, WORD bits, const std::vector<Colour>& table,
                   const std::function<std::uint32_t(LONG, LONG)>& pixel) {
    Dib d;
    d.info.assign(sizeof(BITMAPINFOHEADER) + 4 * std::max<std::size_t>(table.size(), 1), 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(DibStride(width, bits) * height);
    h.biClrUsed = bits <= 8 ? DWORD(table.size()) : 0;
    std::memcpy(d.info.data(), &h, sizeof h);
    for (std::size_t i = 0; i < table.size(); ++i) {
        BYTE* q = &d.info[sizeof h + 4 * i];
        q[0] = table[i].b;
        q[1] = table[i].g;
        q[2] = table[i].r;
    }
    const std::uint64_t stride = DibStride(width, bits);
    d.rows.assign(stride * height, 0);
    for (LONG y = 0; y < height; ++y) {
        BYTE* row = &d.rows[stride * y];
        for (LONG x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            if (bits == 24) {
                row[3 * x] = BYTE(v);
                row[3 * x + 1] = BYTE(v >> 8);
                row[3 * x + 2] = BYTE(v >> 16);
            } else {
                const int perByte = 8 / bits;
                const int shift = (perByte - 1 - x % perByte) * bits;
                row[x / perByte] |= BYTE(v << shift);
            }
        }
    }
    return d;
}

// The colour a DIB's pixel stands for.
inline Colour DibColour(const Dib& d, const std::vector<Colour>& table,
                        const std::function<std::uint32_t(LONG, LONG)>& pixel, LONG x, LONG y) {
    const std::uint32_t v = pixel(x, y);
    if (reinterpret_cast<const BITMAPINFOHEADER*>(d.info.data())->biBitCount == 24)
        return {BYTE(v >> 16), BYTE(v >> 8), BYTE(v)};
    return v < table.size() ? table[v] : Colour{0, 0, 0};
}

// The closest colour of a set, the first of equally close ones.
inline Colour Nearest(Colour c, const std::vector<Colour>& set) {
    Colour best = set.at(0);
    long bestDistance = -1;
    for (const Colour& s : set) {
        const long d =
            (c.r - s.r) * (c.r - s.r) + (c.g - s.g) * (c.g - s.g) + (c.b - s.b) * (c.b - s.b);
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best;
}

// A 24-bit request for all rows of a width × height bitmap, as its readers fill it.
inline BITMAPINFO Request24(LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = DWORD(DibStride(width, 24) * height);
    return info;
}

// The colour of pixel (x, y), y from the bottom, of 24-bit rows.
inline Colour At(const std::vector<BYTE>& rows, LONG width, LONG x, LONG y) {
    const BYTE* p = &rows[DibStride(width, 24) * y + 3 * x];
    return {p[2], p[1], p[0]};
}

// All rows of a bitmap read in one call; empty when the call fails.
inline std::vector<BYTE> ReadAll(HDC dc, HBITMAP bitmap, LONG width, LONG height) {
    BITMAPINFO request = Request24(width, height);
    std::vector<BYTE> rows(DibStride(width, 24) * height, 0xEE);
    if (GetDIBits(dc, bitmap, 0, UINT(height), rows.data(), &request, DIB_RGB_COLORS) != height)
        rows.clear();
    return rows;
}

// Every test starts on the default screen and must give back every object and context.
class GdiTest : public testing::Test {
  protected:
    void SetUp() override {
        Win32SetScreenFormat(32, FALSE);
        objects_ = Win32LiveGdiObjects();
        contexts_ = Win32LiveDeviceContexts();
    }
    void TearDown() override {
        Win32FailGdiCallAfter(0);
        Win32SetScreenFormat(32, FALSE);
        EXPECT_EQ(Win32LiveGdiObjects(), objects_) << "a bitmap or palette was left behind";
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts_) << "a device context was left behind";
    }

  private:
    std::uint32_t objects_ = 0;
    std::uint32_t contexts_ = 0;
};

}  // namespace gdi_test
