// Run-length streams of every shape on rows of many widths, against a pixel-by-pixel model
// of the format: runs and absolute runs clipped at the row's end, line ends, deltas, the
// end of the bitmap, and data that stops anywhere; loaded at once and in steps of rows.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fixture_support.h"
#include "imagelib.h"

namespace {

// Odd and even widths, narrower and wider than the blocks the decoder writes at once.
constexpr int kWidths[] = {101, 7, 33, 64, 65, 130, 300};
// More rows than one step of a stepwise load decodes.
constexpr int kHeight = 23;

// Pixel indices, the bottom row first, as the model decodes the stream.
std::vector<int> Model(const std::vector<std::uint8_t>& data, bool rle4, int width) {
    std::vector<int> px(width * kHeight, 0);
    std::size_t i = 0;
    int x = 0, y = 0;
    auto put = [&](int value) {
        if (y < kHeight && x < width)
            px[y * width + x] = value;
        ++x;
    };
    while (i + 2 <= data.size() && y < kHeight) {
        const int count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(rle4 ? (k % 2 == 0 ? value >> 4 : value & 15) : value);
        } else if (value == 0) {
            ++y;
            x = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 2 > data.size())
                break;
            x += data[i];
            y += data[i + 1];
            i += 2;
        } else {
            const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
            for (int k = 0; k < value; ++k) {
                const std::size_t at = i + (rle4 ? k / 2 : k);
                if (at >= data.size())
                    return px;
                put(rle4 ? (k % 2 == 0 ? data[at] >> 4 : data[at] & 15) : data[at]);
            }
            i += bytes + bytes % 2;
        }
    }
    return px;
}

// A random stream: mostly short runs, some long ones and absolute runs, line ends in the
// middle of rows, deltas, and runs past the row's end.
std::vector<std::uint8_t> RandomStream(std::mt19937& random, bool rle4) {
    std::vector<std::uint8_t> data;
    for (int op = 0; op < 400; ++op) {
        const int kind = int(random() % 20);
        const auto value = std::uint8_t(rle4 ? random() % 256 : 1 + random() % 255);
        if (kind < 12) {
            data.insert(data.end(), {std::uint8_t(1 + random() % 12), value});
        } else if (kind < 14) {
            data.insert(data.end(), {std::uint8_t(13 + random() % 243), value});
        } else if (kind < 17) {
            const int n = 3 + int(random() % (random() % 4 == 0 ? 253 : 40));
            data.insert(data.end(), {0, std::uint8_t(n)});
            const int bytes = rle4 ? (n + 1) / 2 : n;
            for (int k = 0; k < bytes + bytes % 2; ++k)
                data.push_back(std::uint8_t(1 + random() % 255));
        } else if (kind < 19) {
            data.insert(data.end(), {0, 0});
        } else {
            data.insert(data.end(),
                        {0, 2, std::uint8_t(random() % 20), std::uint8_t(random() % 2)});
        }
    }
    data.insert(data.end(), {0, 1});
    return data;
}

TEST(BmpRle, WideRowsOfEveryShapeDecodeAsThePixelModelSays) {
    std::mt19937 random(20240607);
    const fixture::TempDir dir;
    for (int round = 0; round < 140; ++round) {
        const bool rle4 = round % 2 == 1;
        const int width = kWidths[round / 2 % (sizeof kWidths / sizeof kWidths[0])];
        const std::vector<std::uint8_t> stream = RandomStream(random, rle4);
        // The whole stream, and the stream cut at a random place.
        for (std::size_t keep : {stream.size(), std::size_t(random() % stream.size())}) {
            const std::vector<std::uint8_t> data(stream.begin(),
                                                 stream.begin() + std::ptrdiff_t(keep));
            std::vector<std::uint8_t> palette(16 * 4);
            const std::vector<std::uint8_t> bytes = fixture::MakeBmp(
                {width, kHeight, std::uint16_t(rle4 ? 4 : 8), 40, 16, rle4 ? 2u : 1u}, palette,
                data);
            const fixture::Loaded r = fixture::LoadBytes(bytes);
            ASSERT_EQ(r.code, IMAGELIB_FINISHED);
            const std::vector<int> expected = Model(data, rle4, width);
            const int stride = rle4 ? (width * 4 + 31) / 32 * 4 : (width + 3) / 4 * 4;
            for (int y = 0; y < kHeight; ++y) {
                const std::uint8_t* row = r.rows() + y * stride;
                for (int x = 0; x < width; ++x) {
                    const int got =
                        rle4 ? (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15) : row[x];
                    ASSERT_EQ(got, expected[y * width + x])
                        << "round " << round << " cut " << keep << " pixel " << x << "," << y;
                }
                // The padding stays zero.
                const int used = rle4 ? (width + 1) / 2 : width;
                for (int i = used; i < stride; ++i)
                    ASSERT_EQ(row[i], 0) << "padding of row " << y;
                if (rle4 && width % 2 == 1) {
                    ASSERT_EQ(row[width / 2] & 15, 0) << "the last byte's spare nibble";
                }
            }
            // Steps end anywhere in a row; each must leave it as the one-shot load does.
            const std::string path = dir.file("stream.bmp");
            ASSERT_TRUE(fixture::WriteFile(path, bytes));
            const fixture::Loaded stepwise = fixture::LoadStepwise(path);
            ASSERT_EQ(stepwise.code, IMAGELIB_FINISHED);
            ASSERT_TRUE(stepwise.dib == r.dib) << "round " << round << " cut " << keep;
        }
    }
}

}  // namespace
