#include "formats/gif/gif_fixtures.h"

#include <gtest/gtest.h>

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
