#include "fuzz_files.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "fuzz_load.h"

namespace fuzz {
namespace {

// Removes the work folder when the process ends normally; a crash leaves it to be looked at.
struct WorkDirRemover {
    std::filesystem::path dir;
    ~WorkDirRemover() {
        std::error_code ec;
        if (!dir.empty())
            std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

std::filesystem::path FreshWorkDir(const char* prefix) {
    std::filesystem::path dir =
        std::filesystem::path("/tmp") / (std::string(prefix) + "." + std::to_string(getpid()));
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        Fail("the work folder cannot be created");
    EmptyDir(dir);
    static WorkDirRemover remover;
    remover.dir = dir;
    return dir;
}

std::wstring WidePath(const std::filesystem::path& path) {
    const std::string s = path.string();
    return std::wstring(s.begin(), s.end());
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

void EmptyDir(const std::filesystem::path& dir) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

}  // namespace fuzz
