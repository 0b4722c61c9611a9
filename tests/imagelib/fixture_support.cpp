#include "fixture_support.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "colour/dither_tables.h"
#include "colour/palettes.h"
#include "core/tracked_memory.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace fixture {
namespace fs = std::filesystem;

TempDir::TempDir() {
    fs::create_directories(TEST_WORK_DIR);
    std::string pattern = std::string(TEST_WORK_DIR) + "/fixtures-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) {
        fs::remove_all(path_, ignored);
    }
}

namespace {

// Runs a program with arguments (no shell) and waits for it; true when it exits with 0.
bool Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return false;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool Convert(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.begin(), "/usr/bin/convert");
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
}

bool Python(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/usr/bin/python3",
                                  std::string(TEST_SOURCE_DIR) + "/fixtures/" + script};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

namespace {

// A binary PPM (P6) of depth 255, as both reference decoders write it.
bool ReadPpm(const std::string& path, RgbImage* out) {
    const std::vector<std::uint8_t> bytes = ReadFile(path);
    std::istringstream head(std::string(bytes.begin(), bytes.end()));
    std::string magic;
    int maxValue = 0;
    head >> magic >> out->width >> out->height >> maxValue;
    const std::size_t start = std::size_t(head.tellg()) + 1;  // one blank after the header
    const std::size_t size = std::size_t(out->width) * out->height * 3;
    if (!head || magic != "P6" || maxValue != 255 || out->width <= 0 || out->height <= 0 ||
        bytes.size() < start + size)
        return false;
    out->rgb.assign(bytes.begin() + std::ptrdiff_t(start),
                    bytes.begin() + std::ptrdiff_t(start + size));
    return true;
}

}  // namespace

bool ReferenceDecode(const std::string& path, Decoder decoder, RgbImage* out) {
    const std::string ppm = path + ".reference.ppm";
    const bool decoded = decoder == Decoder::Pil ? Python("dump_rgb.py", {path, ppm})
                                                 : Convert({path, "-depth", "8", "ppm:" + ppm});
    return decoded && ReadPpm(ppm, out);
}

RgbImage RgbFromPackedDib(const std::uint8_t* dib) {
    auto i32 = [dib](int at) {
        return std::int32_t(dib[at] | dib[at + 1] << 8 | dib[at + 2] << 16 |
                            std::uint32_t(dib[at + 3]) << 24);
    };
    const int bits = dib[14] | dib[15] << 8;
    RgbImage image;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return image;
    image.width = i32(4);
    image.height = i32(8);
    const std::size_t stride = (std::size_t(image.width) * bits + 31) / 32 * 4;
    for (int y = image.height - 1; y >= 0; --y) {  // the top row is stored last
        const std::uint8_t* row = dib + 1064 + stride * std::size_t(y);
        for (int x = 0; x < image.width; ++x) {
            const int shift = 8 - bits * (x % (8 / std::min(bits, 8)) + 1);
            const std::uint8_t* bgr =
                bits == 24 ? row + x * 3
                           : dib + 40 + 4 * ((row[x * bits / 8] >> shift) & ((1 << bits) - 1));
            image.rgb.insert(image.rgb.end(), {bgr[2], bgr[1], bgr[0]});
        }
    }
    return image;
}

namespace {

bool IsColour(const std::uint8_t* p, std::uint8_t v) {
    return p[0] == v && p[1] == v && p[2] == v;
}

}  // namespace

std::vector<bool> MaskedPixels(const RgbImage& layout) {
    const int half = layout.width / 2;
    std::vector<bool> out;
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < half; ++x)
            out.push_back(!IsColour(layout.at(half + x, y), 0));
    }
    return out;
}

std::string CheckMask(const RgbImage& layout, const std::vector<bool>& transparent) {
    const int half = layout.width / 2;
    if (layout.width % 2 != 0 || std::size_t(half) * layout.height != transparent.size())
        return "size " + std::to_string(layout.width) + "x" + std::to_string(layout.height);
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < half; ++x) {
            const bool clear = transparent[std::size_t(y) * half + x];
            const std::string at =
                "pixel (" + std::to_string(x) + ", " + std::to_string(y) + " from the top)";
            if (!IsColour(layout.at(half + x, y), clear ? 255 : 0))
                return "the mask of " + at + " is not " + (clear ? "white" : "black");
            if (clear && !IsColour(layout.at(x, y), 0))
                return "the image at transparent " + at + " is not black";
        }
    }
    return "";
}

RgbImage NearestOnScreen(const RgbImage& layout, int screenBits) {
    using namespace imagelib;
    ImageDitherInit();
    const auto level = [](std::uint8_t v, const std::uint8_t* levels, int count) {
        return levels[ImageNearestLevel(v, levels, std::uint16_t(count))];
    };
    RgbImage out = layout;
    const std::vector<bool> clear = MaskedPixels(layout);
    const int half = layout.width / 2;
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < half; ++x) {
            if (clear[std::size_t(y) * half + x])
                continue;
            std::uint8_t* p = &out.rgb[(std::size_t(y) * layout.width + x) * 3];
            if (screenBits == 8) {
                p[0] = level(p[0], kRedLevels, kRedLevelCount);
                p[1] = level(p[1], kGreenLevels, kGreenLevelCount);
                p[2] = level(p[2], kBlueLevels, kBlueLevelCount);
            } else {
                const PaletteEntry3& c = DisplayColors16[ImageMatchColor16(p[0], p[1], p[2], 0)];
                p[0] = c.red;
                p[1] = c.green;
                p[2] = c.blue;
            }
        }
    }
    return out;
}

std::string CompareRgb(const RgbImage& expected, const RgbImage& actual) {
    std::ostringstream why;
    if (expected.width != actual.width || expected.height != actual.height) {
        why << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
            << "x" << expected.height;
        return why.str();
    }
    for (std::size_t i = 0; i < expected.rgb.size(); ++i) {
        if (expected.rgb[i] != actual.rgb[i]) {
            const std::size_t pixel = i / 3 * 3;
            why << "pixel (" << pixel / 3 % actual.width << ", " << pixel / 3 / actual.width
                << " from the top) is " << int(actual.rgb[pixel]) << ","
                << int(actual.rgb[pixel + 1]) << "," << int(actual.rgb[pixel + 2]) << ", expected "
                << int(expected.rgb[pixel]) << "," << int(expected.rgb[pixel + 1]) << ","
                << int(expected.rgb[pixel + 2]);
            return why.str();
        }
    }
    return "";
}

std::vector<std::uint8_t> MakeBmp(const BmpFields& f, const std::vector<std::uint8_t>& palette,
                                  const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> v = {'B', 'M'};
    for (std::uint32_t x :
         {0u, 0u, 14 + f.headerSize + std::uint32_t(palette.size()), f.headerSize,
          std::uint32_t(f.width), std::uint32_t(f.height), std::uint32_t(f.planes | f.bits << 16),
          f.compression, 0u, 0u, 0u, f.coloursUsed})
        v.insert(v.end(), {std::uint8_t(x), std::uint8_t(x >> 8), std::uint8_t(x >> 16),
                           std::uint8_t(x >> 24)});
    v.resize(14 + f.headerSize);
    v.insert(v.end(), palette.begin(), palette.end());
    v.insert(v.end(), rows.begin(), rows.end());
    return v;
}

std::vector<std::uint8_t> CopyBlock(std::uint32_t handle) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(handle));
    std::vector<std::uint8_t> bytes;
    if (p != nullptr)
        bytes.assign(p, p + GlobalSize(handle));
    GlobalUnlock(handle);
    return bytes;
}

namespace {

Loaded Finish(int code, std::uint32_t flags, Words& w) {
    const bool done = code == IMAGELIB_FINISHED;
    return {code,
            flags,
            done ? CopyBlock(w.a) : std::vector<std::uint8_t>{},
            done ? CopyBlock(w.b) : std::vector<std::uint8_t>{},
            {}};
}

}  // namespace

Loaded LoadFile(const std::string& path, std::uint32_t flags) {
    Words w;
    const int r = ImageLoadFile(Wide(path).c_str(), nullptr, 0, &w.a, &w.b, &flags);
    return Finish(r, flags, w);
}

Loaded LoadBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t flags) {
    Words w;
    const int r = ImageLoadFile(L"/no/such/file.gif", bytes.data(), std::uint32_t(bytes.size()),
                                &w.a, &w.b, &flags);
    return Finish(r, flags, w);
}

Loaded LoadStepwise(const std::string& path, std::uint32_t flags) {
    Words w;
    int r = SerialImageFileFirst(Wide(path).c_str(), nullptr, 0, &w.a, &w.b, &flags);
    std::vector<int> percents;
    while (r == IMAGELIB_CALL_AGAIN && percents.size() < 2000000) {
        r = SerialImageNext(&w.a, &w.b, &flags, nullptr);
        percents.push_back(SerialImagePercentComplete(&w.a, &w.b));
    }
    Loaded out = Finish(r, flags, w);
    out.percents = percents;
    if (r == IMAGELIB_FINISHED) {
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << path;
        EXPECT_EQ(percents.back(), 100) << path;
        const std::uint32_t a = w.a, b = w.b;
        EXPECT_EQ(SerialImageNext(&w.a, &w.b, nullptr, nullptr), IMAGELIB_FINISHED);
        EXPECT_TRUE(w.a == a && w.b == b) << "a finished load's words are not touched";
        EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 0);
        EXPECT_EQ(SerialImageCleanup(&w.a, &w.b), 1);
    }
    return out;
}

LiveBlocks::LiveBlocks()
    : tracked(imagelib::ImageLiveBlockCount()), global(Win32LiveGlobalBlocks()) {}

std::string LiveBlocks::Leaked() const {
    const std::uint32_t t = imagelib::ImageLiveBlockCount(), g = Win32LiveGlobalBlocks();
    return t == tracked && g == global
               ? ""
               : "tracked blocks " + std::to_string(tracked) + " -> " + std::to_string(t) +
                     ", global blocks " + std::to_string(global) + " -> " + std::to_string(g);
}

}  // namespace fixture
