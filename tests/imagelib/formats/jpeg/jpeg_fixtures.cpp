#include "formats/jpeg/jpeg_fixtures.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "win32/gdi.h"
#include "win32/message_box.h"

extern char** environ;

namespace jpegtest {
namespace {

const fixture::TempDir& Folder() {
    static const fixture::TempDir* dir = [] {
        auto* d = new fixture::TempDir;
        if (!fixture::Python("make_jpeg.py", {d->path()}))
            ADD_FAILURE() << "make_jpeg.py failed";
        return d;
    }();
    return *dir;
}

// A libjpeg-turbo tool with the arguments; true when it exits with 0, or with 2 (it
// finished but warned about the data).
bool RunTool(const char* tool, std::vector<std::string> args) {
    args.insert(args.begin(), tool);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2);
}

// The header of a binary PGM or PPM of depth 255; the stream is left at the first pixel.
bool ReadPnmHead(std::istream& in, int* width, int* height, int* channels) {
    std::string magic;
    int maxValue = 0;
    in >> magic >> *width >> *height >> maxValue;
    in.get();
    *channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
    return bool(in) && *channels != 0 && maxValue == 255 && *width > 0 && *height > 0;
}

// Reads count pixels from the stream as RGB (grey expanded), appended to out.
bool ReadPnmPixels(std::istream& in, int channels, std::size_t count,
                   std::vector<std::uint8_t>* out) {
    std::vector<std::uint8_t> bytes(count * channels);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        return false;
    out->reserve(out->size() + 3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c)
            out->push_back(bytes[i * channels + (channels == 3 ? c : 0)]);
    }
    return true;
}

// A binary PGM or PPM of depth 255 as RGB.
bool ReadPnm(const std::string& path, fixture::RgbImage* out) {
    std::ifstream in(path, std::ios::binary);
    int channels = 0;
    out->rgb.clear();
    return ReadPnmHead(in, &out->width, &out->height, &channels) &&
           ReadPnmPixels(in, channels, std::size_t(out->width) * out->height, &out->rgb);
}

// djpeg's output of the file with the options, in a PNM of the fixture folder.
bool RunDjpeg(const std::string& file, const std::vector<std::string>& options,
              const std::string& pnm) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-pnm", "-outfile", pnm, file});
    return RunTool("/usr/bin/djpeg", args);
}

}  // namespace

std::string File(const std::string& name) {
    return Folder().file(name);
}

std::string OutFile(const std::string& name) {
    static int serial = 0;
    return Folder().file("out" + std::to_string(++serial) + "_" + name);
}

bool Djpeg(const std::string& file, const std::vector<std::string>& options,
           fixture::RgbImage* out) {
    const std::string pnm = OutFile("djpeg.pnm");
    return RunDjpeg(file, options, pnm) && ReadPnm(pnm, out);
}

bool DjpegRows(const std::string& file, const std::vector<std::string>& options,
               const std::vector<int>& rows, std::map<int, std::vector<std::uint8_t>>* out) {
    const std::string pnm = OutFile("djpeg_rows.pnm");
    bool ok = RunDjpeg(file, options, pnm);
    {
        std::ifstream in(pnm, std::ios::binary);
        int width = 0, height = 0, channels = 0;
        ok = ok && ReadPnmHead(in, &width, &height, &channels);
        const std::streamoff start = in.tellg();
        for (int y : rows) {
            ok = ok && y >= 0 && y < height &&
                 in.seekg(start + std::streamoff(y) * width * channels) &&
                 ReadPnmPixels(in, channels, std::size_t(width), &(*out)[y]);
        }
    }
    std::remove(pnm.c_str());
    return ok;
}

bool Cjpeg(const std::vector<std::string>& args) {
    return RunTool("/usr/bin/cjpeg", args);
}

bool WritePpm(const std::string& path, const fixture::RgbImage& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), std::streamsize(image.rgb.size()));
    return bool(out);
}

bool WriteColourMap(const std::string& path, const std::vector<std::uint8_t>& rgb) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << rgb.size() / 3 << " 1\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
    return bool(out);
}

void SetDisplayClass(int displayClass) {
    if (displayClass == 4)
        Win32SetScreenFormat(4, FALSE);
    else if (displayClass == 8)
        Win32SetScreenFormat(8, TRUE);
    else
        Win32SetScreenFormat(32, FALSE);
}

fixture::RgbImage Picture(int width, int height) {
    fixture::RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = width > 1 ? double(x) / (width - 1) : 0;
            const double v = height > 1 ? double(y) / (height - 1) : 0;
            const double bump = std::exp(-((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5)) * 8);
            image.rgb.insert(image.rgb.end(),
                             {std::uint8_t(40 + 150 * u + 60 * bump), std::uint8_t(30 + 200 * v),
                              std::uint8_t(128 + 100 * std::sin(3 * u + 2 * v))});
        }
    }
    return image;
}

std::vector<std::uint8_t> DibRows(const fixture::RgbImage& image, bool padded) {
    const std::size_t w = std::size_t(image.width);
    const std::size_t stride = padded ? 12 * ((w + 3) / 4) : (3 * w + 3) / 4 * 4;
    std::vector<std::uint8_t> rows(stride * std::size_t(image.height));
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::uint8_t(0xA5 ^ i);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = &rows[stride * std::size_t(image.height - 1 - y)];
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.at(x, y);
            row[3 * x] = p[2];
            row[3 * x + 1] = p[1];
            row[3 * x + 2] = p[0];
        }
    }
    return rows;
}

double Psnr(const fixture::RgbImage& a, const fixture::RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        return 0;
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = double(a.rgb[i]) - double(b.rgb[i]);
        sum += d * d;
    }
    if (sum == 0)
        return INFINITY;
    return 10 * std::log10(255.0 * 255.0 * a.rgb.size() / sum);
}

std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const Win32NoticeRecord& r : Win32RecordedNotices()) {
        out.push_back(std::string(r.caption.begin(), r.caption.end()) + ": " +
                      std::string(r.text.begin(), r.text.end()));
    }
    return out;
}

void ClearMessages() {
    Win32ClearNotices();
}

}  // namespace jpegtest
