#include "fixture_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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

bool Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Convert(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/usr/bin/convert"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
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
    if (!head || magic != "P6" || maxValue != 255 || out->width <= 0 || out->height <= 0) {
        return false;
    }
    const std::size_t start = std::size_t(head.tellg()) + 1;  // one blank after the header
    const std::size_t size = std::size_t(out->width) * out->height * 3;
    if (bytes.size() < start + size) {
        return false;
    }
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
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        return image;
    }
    image.width = i32(4);
    image.height = i32(8);
    const std::size_t stride = (std::size_t(image.width) * bits + 31) / 32 * 4;
    image.rgb.resize(std::size_t(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = dib + 1064 + stride * std::size_t(image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* to = &image.rgb[(std::size_t(y) * image.width + x) * 3];
            if (bits == 24) {
                to[0] = row[x * 3 + 2];
                to[1] = row[x * 3 + 1];
                to[2] = row[x * 3];
                continue;
            }
            const int perByte = 8 / bits;
            const int shift = 8 - bits * (x % perByte + 1);
            const int index = (row[x / perByte] >> shift) & ((1 << bits) - 1);
            const std::uint8_t* quad = dib + 40 + index * 4;
            to[0] = quad[2];
            to[1] = quad[1];
            to[2] = quad[0];
        }
    }
    return image;
}

std::string CompareRgb(const RgbImage& expected, const RgbImage& actual) {
    std::ostringstream why;
    if (expected.width != actual.width || expected.height != actual.height) {
        why << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
            << "x" << expected.height;
        return why.str();
    }
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            const std::uint8_t* e = expected.at(x, y);
            const std::uint8_t* a = actual.at(x, y);
            if (e[0] != a[0] || e[1] != a[1] || e[2] != a[2]) {
                why << "pixel (" << x << ", " << y << " from the top) is " << int(a[0]) << ","
                    << int(a[1]) << "," << int(a[2]) << ", expected " << int(e[0]) << ","
                    << int(e[1]) << "," << int(e[2]);
                return why.str();
            }
        }
    }
    return "";
}

}  // namespace fixture
