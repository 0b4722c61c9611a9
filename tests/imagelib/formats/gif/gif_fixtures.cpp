#include "formats/gif/gif_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "win32/global_memory.h"

namespace giffix {

const fixture::TempDir& Dir() {
    static const fixture::TempDir* dir = [] {
        auto* d = new fixture::TempDir;
        EXPECT_TRUE(fixture::Python("make_gif.py", {d->path()}));
        return d;
    }();
    return *dir;
}

std::string File(const std::string& name) {
    return Dir().file(name);
}

bool ReadExpected(const std::string& name, Expected* out) {
    std::ifstream in(File(name + ".idx"));
    std::string line;
    if (!std::getline(in, line))
        return false;
    std::istringstream(line) >> out->width >> out->height;
    std::getline(in, line);
    std::istringstream colours(line);
    int n = 0, v = 0;
    colours >> n;
    for (int i = 0; i < 3 * n && colours >> v; ++i)
        out->palette.push_back(static_cast<std::uint8_t>(v));
    std::getline(in, line);
    std::istringstream indices(line);
    while (indices >> v)
        out->indices.push_back(static_cast<std::uint8_t>(v));
    return out->width > 0 && out->indices.size() == std::size_t(out->width) * out->height;
}

std::vector<std::uint8_t> IndicesOf(const std::uint8_t* dib) {
    std::int32_t width, height;
    std::memcpy(&width, dib + 4, 4);
    std::memcpy(&height, dib + 8, 4);
    const std::size_t stride = (std::size_t(width) * 8 + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = dib + 1064 + stride * std::size_t(y);
        out.insert(out.end(), row, row + width);
    }
    return out;
}

std::vector<std::uint8_t> ColourAt(const std::uint8_t* dib, int i) {
    const std::uint8_t* q = dib + 40 + 4 * i;
    return {q[2], q[1], q[0]};
}

std::vector<std::uint8_t> LzwData(int minSize, const std::vector<int>& indices) {
    const int clear = 1 << minSize;
    std::vector<std::uint8_t> codes;
    std::uint32_t acc = 0;
    int bits = 0;
    int width = minSize + 1;
    int next = clear + 2;
    bool afterClear = true;
    // Each code at the width a decoder reads it at: every code but the first after a clear
    // adds an entry, and the width grows when the next entry reaches 1 << width.
    const auto put = [&](int code) {
        acc |= std::uint32_t(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
            codes.push_back(std::uint8_t(acc));
        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            afterClear = true;
        } else if (afterClear) {
            afterClear = false;
        } else if (next < 4096 && ++next == 1 << width && width < 12) {
            ++width;
        }
    };
    put(clear);
    for (int index : indices) {
        if (next >= 4095)
            put(clear);
        put(index);
    }
    put(clear + 1);
    if (bits > 0)
        codes.push_back(std::uint8_t(acc));
    std::vector<std::uint8_t> data{std::uint8_t(minSize)};
    for (std::size_t at = 0; at < codes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
        data.push_back(std::uint8_t(n));
        data.insert(data.end(), codes.begin() + at, codes.begin() + at + n);
    }
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> MakeGif(const Still& g) {
    int bits = 1;
    while ((3u << bits) < g.table.size())
        ++bits;
    const auto u16 = [](std::vector<std::uint8_t>& out, int v) {
        out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    std::vector<std::uint8_t> f{'G', 'I', 'F', '8', '9', 'a'};
    u16(f, g.screenWidth);
    u16(f, g.screenHeight);
    f.insert(f.end(), {std::uint8_t(0x80 | (bits - 1) << 4 | (bits - 1)), 0, 0});
    f.insert(f.end(), g.table.begin(), g.table.end());
    f.resize(f.size() + (3u << bits) - g.table.size());
    if (g.transparent >= 0)
        f.insert(f.end(), {0x21, 0xF9, 4, 1, 0, 0, std::uint8_t(g.transparent), 0});
    f.push_back(0x2C);
    for (int v : {g.left, g.top, g.width, g.height})
        u16(f, v);
    f.push_back(g.interlaced ? 0x40 : 0);
    if (!g.data.empty()) {
        f.insert(f.end(), g.data.begin(), g.data.end());
        return f;
    }
    const std::vector<std::uint8_t> data = LzwData(std::max(2, bits), g.indices);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0x3B);
    return f;
}

namespace {

Animation Run(const wchar_t* path, const void* buffer, std::uint32_t length, std::uint32_t flags) {
    Animation out;
    fixture::Words w;
    std::uint32_t list = 0;
    out.flags = flags;
    out.code = ImageLoadGIFAnimation(path, buffer, length, &w.a, &w.b, &list, &out.flags);
    if (out.code == IMAGELIB_FINISHED)
        out.result = fixture::CopyBlock(w.a);
    if (list != 0) {
        out.listBytes = std::uint32_t(GlobalSize(list));
        const std::vector<std::uint8_t> bytes = fixture::CopyBlock(list);
        for (std::size_t at = 0; at + sizeof(GifAnimRecord) <= bytes.size();
             at += sizeof(GifAnimRecord)) {
            GifAnimRecord r;
            std::memcpy(&r, bytes.data() + at, sizeof r);
            if (r.kind == 0)
                break;
            out.records.push_back(r);
            if (r.kind == 0x2C) {
                out.frames.push_back({fixture::CopyBlock(r.dib), fixture::CopyBlock(r.palette)});
                GlobalFree(r.dib);
                GlobalFree(r.palette);
            }
        }
        GlobalFree(list);
    }
    return out;
}

}  // namespace

Animation LoadAnimation(const std::string& path, std::uint32_t flags) {
    return Run(fixture::Wide(path).c_str(), nullptr, 0, flags);
}

Animation LoadAnimationBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t flags) {
    return Run(L"/no/such/file.gif", bytes.data(), std::uint32_t(bytes.size()), flags);
}

}  // namespace giffix
