// The frame splitter on arbitrary files. The first of the five setup bytes chooses the
// frame limit; the rest is the source. Whatever the splitter answers, its folder may hold
// only the frame files of the names it gives, in order from the first, each the source's
// header, screen descriptor and global table, then the source's next bytes, then a
// trailer; only the last file of a failed split may stop short. On success their number
// is the count it reports, within the limit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "fuzz_load.h"
#include "imagelib.h"

namespace {

constexpr std::size_t kSetupBytes = 5;
constexpr std::size_t kSignatureAndScreenBytes = 13;
constexpr std::uint8_t kTrailer = 0x3B;

// The name of frame n's file under the base name "f".
std::string FrameFileName(std::int32_t n, std::int32_t maxFrames) {
    if (n == 0 && maxFrames == 1)
        return "f_flat.gif";
    static const char* const kStates[3] = {"foff.gif", "fclk.gif", "frol.gif"};
    if (n <= 2)
        return kStates[n];
    return "f" + std::to_string(n) + ".gif";
}

// Header, screen descriptor and global table as the splitter copies them; false when the
// source is too short to hold them (no file may then be written).
bool HeadOf(const std::uint8_t* gif, std::size_t size, std::size_t* headBytes) {
    if (size < kSignatureAndScreenBytes)
        return false;
    const std::uint8_t packed = gif[10];
    *headBytes =
        kSignatureAndScreenBytes + ((packed & 0x80) ? std::size_t{3} << ((packed & 7) + 1) : 0);
    return *headBytes <= size;
}

// The files of frames 0 .. files.size()-1 against the source: each the head, the source's
// bytes from where the last one ended, and a trailer; the last one may stop short when
// lastMayBeShort.
void CheckFiles(const std::vector<std::vector<std::uint8_t>>& files, const std::uint8_t* gif,
                std::size_t size, bool lastMayBeShort) {
    if (files.empty())
        return;
    std::size_t headBytes = 0;
    if (!HeadOf(gif, size, &headBytes))
        fuzz::Fail("frame files from a source without a complete head");
    std::size_t position = headBytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::vector<std::uint8_t>& f = files[i];
        const bool last = i + 1 == files.size();
        const bool complete = f.size() > headBytes && f.back() == kTrailer &&
                              std::memcmp(f.data(), gif, headBytes) == 0;
        const std::size_t body = complete ? f.size() - headBytes - 1 : 0;
        const bool bodyMatches = complete && body <= size - position &&
                                 std::memcmp(f.data() + headBytes, gif + position, body) == 0;
        if (bodyMatches) {
            position += body;
            continue;
        }
        if (!(last && lastMayBeShort))
            fuzz::Fail("a frame file is not the head, the source's next blocks and a trailer");
        // A file cut short: a prefix of the head and the source's next bytes.
        const std::size_t inHead = std::min(f.size(), headBytes);
        const std::size_t rest = f.size() - inHead;
        if (std::memcmp(f.data(), gif, inHead) != 0 || rest > size - position ||
            std::memcmp(f.data() + inHead, gif + position, rest) != 0)
            fuzz::Fail("a short frame file is not a prefix of what it would have been");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path dir = fuzz::FreshWorkDir("gif_split_fuzz");
    if (size < kSetupBytes)
        return 0;
    // -2 to 7: the negative ones for no limit, 0 acting as 1.
    const std::int32_t maxFrames = static_cast<std::int32_t>(data[0] % 10) - 2;
    const std::uint8_t* gif = data + kSetupBytes;
    const std::size_t gifSize = size - kSetupBytes;
    const std::filesystem::path source = dir / "source.gif";
    const std::filesystem::path out = dir / "frames";
    std::filesystem::create_directories(out);
    if (!fuzz::WriteWholeFile(source, gif, gifSize))
        fuzz::Fail("the source cannot be written");

    const fuzz::LiveCounts live = fuzz::Live();
    std::int32_t count = -1;
    const int r = ImageSplitWebImage(fuzz::WidePath(source).c_str(),
                                     fuzz::WidePath(out / "f").c_str(), &count, maxFrames);
    fuzz::ExpectNoLeak(live);
    if (r != 0 && r != 1)
        fuzz::Fail("the splitter answered neither 1 nor 0");
    if (r == 0 && count != 0)
        fuzz::Fail("a failed split reports frames");
    if (r == 1 && (count < 0 || (maxFrames >= 0 && count > std::max(maxFrames, 1))))
        fuzz::Fail("the split's count is outside its limit");

    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        names.insert(entry.path().filename().string());
    // The files must be those of frames 0, 1, ... in order; a success names their number.
    std::vector<std::vector<std::uint8_t>> files;
    for (std::int32_t n = 0; names.count(FrameFileName(n, maxFrames)) != 0; ++n)
        files.push_back(fuzz::ReadWholeFile(out / FrameFileName(n, maxFrames)));
    if (files.size() != names.size())
        fuzz::Fail("the folder holds a file of no frame in order");
    if (r == 1 && files.size() != static_cast<std::size_t>(count))
        fuzz::Fail("the split's count is not the number of files");
    CheckFiles(files, gif, gifSize, r == 0);
    fuzz::EmptyDir(dir);
    return 0;
}
