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

// A file whose strips (strips of them) all name the same stream: the StripOffsets and
// StripByteCounts entries of tags are set to say so.
inline std::vector<std::uint8_t> SharedStripsTiff(std::vector<HandEntry> tags,
                                                  const std::vector<std::uint8_t>& stream,
                                                  std::uint32_t strips) {
    std::vector<std::uint8_t> data = stream;
    data.resize((data.size() + 3) / 4 * 4);
    // An array of strips values v after the data so far; a single value is held in place.
    const auto array = [&data, strips](std::uint32_t v) {
        if (strips == 1)
            return v;
        const auto at = static_cast<std::uint32_t>(8 + data.size());
        for (std::uint32_t i = 0; i < strips; ++i)
            for (int k = 0; k < 4; ++k)
                data.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        return at;
    };
    tags.erase(std::remove_if(tags.begin(), tags.end(),
                              [](const HandEntry& e) { return e.tag == 273 || e.tag == 279; }),
               tags.end());
    tags.push_back({273, 4, strips, array(8)});
    tags.push_back({279, 4, strips, array(static_cast<std::uint32_t>(stream.size()))});
    return HandTiff(tags, data);
}

}  // namespace handtiff
