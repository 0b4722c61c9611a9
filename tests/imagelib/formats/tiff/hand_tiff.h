// Little-endian TIFF files put together by a test, for what no tool writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace handtiff {

struct HandEntry {
    std::uint16_t tag;
    std::uint16_t type;  // 1 BYTE, 3 SHORT, 4 LONG
    std::uint32_t count;
    std::uint32_t value;  // or offset
};

// A file of size bytes (at least what it holds): header, data from byte 8, the directory
// after them, zeros to the end.
inline std::vector<std::uint8_t> HandTiff(std::vector<HandEntry> entries,
                                          const std::vector<std::uint8_t>& data,
                                          std::size_t size = 0) {
    std::vector<std::uint8_t> out(8 + data.size(), 0);
    out[0] = out[1] = 'I';
    out[2] = 42;
    std::copy(data.begin(), data.end(), out.begin() + 8);
    const auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto ifd = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<std::uint8_t>(ifd >> (8 * i));
    std::sort(entries.begin(), entries.end(),
              [](const HandEntry& a, const HandEntry& b) { return a.tag < b.tag; });
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const HandEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.value, 4);
    }
    put(0, 4);
    out.resize(std::max(out.size(), size));
    return out;
}

// The tags of a width x height image of 8-bit samples in one strip at byte 8.
inline std::vector<HandEntry> ImageTags(std::uint32_t width, std::uint32_t height,
                                        std::uint32_t photometric, std::uint32_t samples,
                                        std::uint32_t compression) {
    return {{256, 4, 1, width},       {257, 4, 1, height},      {258, 3, 1, 8},
            {259, 3, 1, compression}, {262, 3, 1, photometric}, {273, 4, 1, 8},
            {277, 3, 1, samples}};
}

}  // namespace handtiff
