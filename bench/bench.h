// The decode benchmark: every format against its reference library on the same file, in
// the same run, interleaved. Each format's file registers its cases with BENCH_CASE-style
// registrars (see RegisterBench); main runs them all and prints one table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct BenchCase {
    std::string format;               // "BMP", "PNG", ...
    std::string name;                 // what the file is, e.g. "24-bit 4000x3000"
    std::string referenceName;        // the library or operation ours is measured against
    std::function<bool()> prepare;    // makes the files; false when it cannot
    std::function<void()> ours;       // one decode by the image library
    std::function<void()> reference;  // the same decode by the reference
};

void RegisterBench(BenchCase c);

struct Registrar {
    explicit Registrar(BenchCase c) { RegisterBench(std::move(c)); }
};

// A photograph-like picture, RGB bytes, top row first: smooth gradients, hard-edged
// shapes, fine texture and noise, the same for every run.
std::vector<std::uint8_t> MakePhotoRgb(int width, int height);

// A folder for the benchmark's files (made once, kept between runs).
const std::string& WorkDir();
std::string WorkFile(const std::string& name);

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// A binary PPM of RGB rows, the input format the command-line tools take.
bool WritePpm(const std::string& path, const std::vector<std::uint8_t>& rgb, int width, int height);
// Runs a command through the shell; true when it exits with 0.
bool Run(const std::string& command);

// One full load through ImageLoadFile with flags 0, result freed; aborts on failure.
void LoadWithImagelib(const std::string& path);

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;

}  // namespace bench
