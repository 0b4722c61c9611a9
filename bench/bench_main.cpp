// Runs every registered case: ours and the reference alternately, the given number of
// rounds (default 7), and prints the medians and their ratio.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "bench.h"
#include "imagelib.h"

namespace bench {
namespace {

std::vector<BenchCase>& Cases() {
    static std::vector<BenchCase> cases;
    return cases;
}

double Seconds(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

void RegisterBench(BenchCase c) {
    Cases().push_back(std::move(c));
}

std::vector<std::uint8_t> MakePhotoRgb(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0.0, 4.0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            // Sky-like gradient with a soft sun, a hard-edged disc and bars, and a textured
            // ground in the lower part.
            double r = 90 + 120 * v, g = 140 + 60 * v, b = 230 - 80 * v;
            const double sun = std::exp(-((u - 0.75) * (u - 0.75) + (v - 0.2) * (v - 0.2)) * 40);
            r += 120 * sun;
            g += 100 * sun;
            if ((u - 0.3) * (u - 0.3) + (v - 0.4) * (v - 0.4) < 0.02) {
                r = 200, g = 40, b = 30;
            }
            if (v > 0.65) {
                const double t = std::sin(x * 0.37) * std::sin(y * 0.23) + std::sin((x + y) * 0.05);
                r = 80 + 30 * t + 40 * v, g = 110 + 35 * t, b = 40 + 15 * t;
            }
            if (x % 400 < 12 && v < 0.65) {
                r = g = b = 20;
            }
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            const double n = noise(random);
            p[0] = static_cast<std::uint8_t>(std::clamp(r + n, 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(std::clamp(g + n, 0.0, 255.0));
            p[2] = static_cast<std::uint8_t>(std::clamp(b + n, 0.0, 255.0));
        }
    }
    return rgb;
}

const std::string& WorkDir() {
    static const std::string dir = [] {
        const char* env = std::getenv("BENCH_DIR");
        std::string d = env != nullptr ? env : "/tmp/imagelib-bench";
        ::mkdir(d.c_str(), 0755);
        return d;
    }();
    return dir;
}

std::string WorkFile(const std::string& name) {
    return WorkDir() + "/" + name;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    // One read of the whole file, as the library reads its sources.
    std::vector<std::uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return bytes;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        if (size > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
            bytes.resize(static_cast<std::size_t>(size));
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        }
    }
    std::fclose(f);
    return bytes;
}

bool WritePpm(const std::string& path, const std::vector<std::uint8_t>& rgb, int width,
              int height) {
    std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), rgb.begin(), rgb.end());
    return WriteFileBytes(path, bytes);
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

void LoadWithImagelib(const std::string& path) {
    const std::wstring wide(path.begin(), path.end());
    std::uint32_t a = 0, b = 0, flags = 0;
    const int r = ImageLoadFile(wide.c_str(), nullptr, 0, &a, &b, &flags);
    ImageLoadCleanup(&a, &b);
    if (r != IMAGELIB_FINISHED) {
        std::fprintf(stderr, "load of %s failed with %d\n", path.c_str(), r);
        std::exit(1);
    }
}

}  // namespace bench

int main(int argc, char** argv) {
    int rounds = 7;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            only = argv[i];  // run the cases of one format only
    }
    std::printf("%-6s %-34s %-24s %10s %10s %7s\n", "format", "file", "reference", "ours ms",
                "ref ms", "ratio");
    for (bench::BenchCase& c : bench::Cases()) {
        if (only != nullptr && c.format != only)
            continue;
        if (!c.prepare()) {
            std::printf("%-6s %-34s could not be prepared\n", c.format.c_str(), c.name.c_str());
            continue;
        }
        c.ours();  // warm the caches and the allocator once
        c.reference();
        std::vector<double> ours, ref;
        for (int i = 0; i < rounds; ++i) {
            ours.push_back(bench::Seconds(c.ours));
            ref.push_back(bench::Seconds(c.reference));
        }
        const double o = bench::Median(ours) * 1000, r = bench::Median(ref) * 1000;
        std::printf("%-6s %-34s %-24s %10.1f %10.1f %7.2f\n", c.format.c_str(), c.name.c_str(),
                    c.referenceName.c_str(), o, r, o / r);
        std::fflush(stdout);
    }
    return 0;
}
