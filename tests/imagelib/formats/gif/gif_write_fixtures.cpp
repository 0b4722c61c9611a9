#include "formats/gif/gif_write_fixtures.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

#include "colour/palettes.h"
#include "formats/gif/gif_anim_record.h"

namespace gifwrite {
namespace {

// The standard output of a shell command; the paths given are test folders without quotes.
bool Capture(const std::string& command, std::string* out) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    out->clear();
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0;)
        out->append(chunk, n);
    return pclose(pipe) == 0;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

std::string Where(const std::string& decoder, std::size_t frame, const std::string& what) {
    std::ostringstream s;
    s << decoder << ", frame " << frame << ": " << what;
    return s.str();
}

// Compares one frame's pixels, given as colours at the frame's place in some image, with
// the expected indices; transparent pixels are only checked by checkTransparent.
template <class ColourAt, class IsTransparent>
std::string ComparePixels(const std::string& decoder, std::size_t f, const Gif& g, const Frame& fr,
                          ColourAt colourAt, IsTransparent isTransparent) {
    for (int y = 0; y < fr.height; ++y) {
        for (int x = 0; x < fr.width; ++x) {
            const int index = fr.indices[std::size_t(y) * fr.width + x];
            if (index == fr.transparent) {
                if (!isTransparent(x, y))
                    return Where(decoder, f, "pixel not transparent");
                continue;
            }
            if (colourAt(x, y) != g.palette[index]) {
                std::ostringstream s;
                s << "pixel " << x << "," << y << " is not colour " << index;
                return Where(decoder, f, s.str());
            }
        }
    }
    return "";
}

}  // namespace

std::vector<Rgb> DistinctPalette(int count) {
    std::vector<Rgb> p;
    for (int i = 0; i < count; ++i)
        p.push_back(Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                        static_cast<std::uint8_t>((i * 7) & 0xFF)});
    return p;
}

std::vector<std::uint8_t> PackRows(const std::vector<std::uint8_t>& indices, int w, int h,
                                   int bits) {
    const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> rows(stride * h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = rows.data() + stride * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t v = indices[std::size_t(y) * w + x];
            if (bits == 8)
                row[x] = v;
            else if (bits == 4)
                row[x / 2] |= (x & 1) != 0 ? v : v << 4;
            else
                row[x / 8] |= (v & 1) << (7 - x % 8);
        }
    }
    return rows;
}

std::vector<std::uint8_t> BitmapInfo(int w, int h, int bits, const std::vector<Rgb>& palette) {
    std::vector<std::uint8_t> info(40 + 4 * (std::size_t(1) << bits));
    const std::uint32_t fields[3] = {40, static_cast<std::uint32_t>(w),
                                     static_cast<std::uint32_t>(h)};
    std::memcpy(info.data(), fields, sizeof(fields));
    info[12] = 1;
    info[14] = static_cast<std::uint8_t>(bits);
    for (std::size_t i = 0; i < palette.size() && i < (std::size_t(1) << bits); ++i) {
        info[40 + 4 * i] = palette[i][2];
        info[41 + 4 * i] = palette[i][1];
        info[42 + 4 * i] = palette[i][0];
    }
    return info;
}

std::string CheckGiflib(const std::string& path, const Gif& g) {
    std::string text;
    std::string raw;
    if (!Capture("/usr/bin/giftext -c " + Quote(path), &text) ||
        !Capture("/usr/bin/giftext -r " + Quote(path), &raw))
        return "giftext cannot read the file";
    if (text.find("GIF file terminated normally") == std::string::npos)
        return "giftext: no normal end";
    std::istringstream in(text);
    std::string line;
    std::vector<Frame> frames;
    std::vector<Rgb> palette;
    Frame control;
    bool inGlobalMap = false;
    int width = -1;
    int height = -1;
    while (std::getline(in, line)) {
        int a = 0, b = 0, c = 0, d = 0;
        char flag[8] = {};
        if (std::sscanf(line.c_str(), " Screen Size - Width = %d, Height = %d", &a, &b) == 2) {
            width = a;
            height = b;
        } else if (line.find("Global Color Map:") != std::string::npos) {
            inGlobalMap = true;
        } else if (inGlobalMap) {
            // Entries "N: rrh ggh bbh", several to a line; the first other line ends the map.
            std::istringstream entries(line);
            std::string index, r, gr, bl;
            if (line.find("Sort Flag") != std::string::npos ||
                line.find_first_not_of(" \t\r") == std::string::npos)
                continue;
            if (!(entries >> index) || index.back() != ':' ||
                index.find_first_not_of("0123456789:") != std::string::npos) {
                inGlobalMap = false;
            } else {
                do {
                    entries >> r >> gr >> bl;
                    palette.push_back(Rgb{static_cast<std::uint8_t>(std::stoi(r, nullptr, 16)),
                                          static_cast<std::uint8_t>(std::stoi(gr, nullptr, 16)),
                                          static_cast<std::uint8_t>(std::stoi(bl, nullptr, 16))});
                } while (entries >> index);
                continue;
            }
        }
        if (std::sscanf(line.c_str(), " Disposal Mode: %d", &a) == 1)
            control.disposal = a;
        else if (std::sscanf(line.c_str(), " User Input Flag: %d", &a) == 1)
            control.userInput = a;
        else if (std::sscanf(line.c_str(), " Transparency on: %3s", flag) == 1)
            control.transparent = std::strcmp(flag, "yes") == 0 ? 0 : -1;
        else if (std::sscanf(line.c_str(), " DelayTime: %d", &a) == 1)
            control.delay = a;
        else if (std::sscanf(line.c_str(), " Transparent Index: %d", &a) == 1 &&
                 control.transparent == 0)
            control.transparent = a;
        else if (std::sscanf(line.c_str(),
                             " Image Size - Left = %d, Top = %d, Width = %d, Height = %d", &a, &b,
                             &c, &d) == 4) {
            control.left = a;
            control.top = b;
            control.width = c;
            control.height = d;
            frames.push_back(control);
            control = Frame();
        }
    }
    if (width != g.width || height != g.height)
        return "giftext: screen size differs";
    if (palette != g.palette)
        return "giftext: global colour table differs";
    if (frames.size() != g.frames.size())
        return "giftext: frame count differs";
    std::size_t offset = 0;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const Frame& got = frames[f];
        const Frame& want = g.frames[f];
        if (got.left != want.left || got.top != want.top || got.width != want.width ||
            got.height != want.height)
            return Where("giftext", f, "place or size differs");
        if (got.delay != want.delay || got.disposal != want.disposal ||
            got.userInput != want.userInput || got.transparent != want.transparent)
            return Where("giftext", f, "graphic control differs");
        const std::size_t n = std::size_t(want.width) * want.height;
        if (raw.size() < offset + n ||
            std::memcmp(raw.data() + offset, want.indices.data(), n) != 0)
            return Where("giftext", f, "indices differ");
        offset += n;
    }
    return offset == raw.size() ? "" : "giftext: more pixels than expected";
}

std::string CheckPil(const std::string& path, const Gif& g) {
    std::string text;
    if (!Capture("/usr/bin/python3 " TEST_SOURCE_DIR "/fixtures/gif_frames.py " + Quote(path),
                 &text))
        return "PIL cannot read the file";
    std::istringstream in(text);
    std::string line;
    std::size_t frame = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "loop") {
            int loop = 0;
            words >> loop;
            if (loop != g.loop)
                return "PIL: loop count differs";
        } else if (kind == "p0") {
            // The first frame on the screen as colour indices.
            std::vector<int> p((std::istream_iterator<int>(words)), std::istream_iterator<int>());
            if (p.size() != std::size_t(g.width) * g.height || g.frames.empty())
                return "PIL: first frame's size differs";
            const Frame& fr = g.frames[0];
            for (int y = 0; y < fr.height; ++y)
                for (int x = 0; x < fr.width; ++x)
                    if (p[std::size_t(fr.top + y) * g.width + fr.left + x] !=
                        fr.indices[std::size_t(y) * fr.width + x])
                        return "PIL: first frame's indices differ";
        } else if (kind == "frame") {
            int i = 0, w = 0, h = 0, duration = 0, disposal = 0, transparent = 0;
            words >> i >> w >> h >> duration >> disposal >> transparent;
            if (std::size_t(i) >= g.frames.size())
                return "PIL: more frames than written";
            const Frame& fr = g.frames[i];
            if (w != g.width || h != g.height)
                return Where("PIL", i, "screen size differs");
            // PIL keeps the transparent index only for the first frame; later ones it
            // turns into colours with alpha.
            if (duration != fr.delay * 10 || disposal != fr.disposal ||
                (i == 0 && transparent != fr.transparent))
                return Where("PIL", i, "graphic control differs");
            frame = i;
        } else if (kind == "rgba") {
            std::vector<int> c((std::istream_iterator<int>(words)), std::istream_iterator<int>());
            if (c.size() != std::size_t(g.width) * g.height * 4 + 1)
                return Where("PIL", frame, "canvas size differs");
            const Frame& fr = g.frames[frame];
            auto at = [&](int x, int y) {
                const std::size_t o = 1 + (std::size_t(fr.top + y) * g.width + fr.left + x) * 4;
                return o;
            };
            // PIL composes frames: transparent pixels show what lay below.
            const std::string r = ComparePixels(
                "PIL", frame, g, fr,
                [&](int x, int y) {
                    const std::size_t o = at(x, y);
                    return Rgb{std::uint8_t(c[o]), std::uint8_t(c[o + 1]), std::uint8_t(c[o + 2])};
                },
                [](int, int) { return true; });
            if (!r.empty())
                return r;
            ++frame;
        }
    }
    return frame == g.frames.size() ? "" : "PIL: fewer frames than written";
}

std::string CheckImageMagick(const std::string& path, const Gif& g) {
    std::string info;
    std::string pixels;
    std::string verbose;
    if (!Capture("/usr/bin/identify -format '%T %D %w %h %X %Y\\n' " + Quote(path), &info) ||
        !Capture("/usr/bin/convert " + Quote(path) + " -depth 8 rgba:-", &pixels) ||
        !Capture("/usr/bin/identify -verbose " + Quote(path) + " 2>/dev/null", &verbose))
        return "ImageMagick cannot read the file";
    const std::size_t iter = verbose.find("Iterations: ");
    const int loop = iter == std::string::npos ? -1 : std::atoi(verbose.c_str() + iter + 12);
    // ImageMagick counts plays: a loop count of n > 0 repeats n times after the first.
    const int plays = g.loop <= 0 ? g.loop : g.loop + 1;
    if (loop != plays)
        return "ImageMagick: loop count differs";
    std::istringstream in(info);
    std::size_t offset = 0;
    static const char* const kDisposal[] = {"Undefined", "None", "Background", "Previous"};
    for (std::size_t f = 0; f < g.frames.size(); ++f) {
        const Frame& fr = g.frames[f];
        int delay = 0, w = 0, h = 0, x = 0, y = 0;
        std::string disposal;
        if (!(in >> delay >> disposal >> w >> h >> x >> y))
            return "ImageMagick: fewer frames than written";
        if (w != fr.width || h != fr.height || x != fr.left || y != fr.top)
            return Where("ImageMagick", f, "place or size differs");
        if (delay != fr.delay || disposal != kDisposal[fr.disposal])
            return Where("ImageMagick", f, "delay or disposal differs");
        const std::size_t n = std::size_t(w) * h * 4;
        if (pixels.size() < offset + n)
            return Where("ImageMagick", f, "pixels missing");
        const auto* px = reinterpret_cast<const std::uint8_t*>(pixels.data() + offset);
        const std::string r = ComparePixels(
            "ImageMagick", f, g, fr,
            [&](int x, int y) {
                const std::uint8_t* p = px + (std::size_t(y) * w + x) * 4;
                return p[3] == 255 ? Rgb{p[0], p[1], p[2]} : Rgb{0, 0, 0};
            },
            [&](int x, int y) { return px[(std::size_t(y) * w + x) * 4 + 3] == 0; });
        if (!r.empty())
            return r;
        offset += n;
    }
    std::string extra;
    if (in >> extra)
        return "ImageMagick: more frames than written";
    return offset == pixels.size() ? "" : "ImageMagick: more pixels than expected";
}

std::string CheckAllDecoders(const std::string& path, const Gif& expected) {
    std::string r = CheckGiflib(path, expected);
    if (r.empty())
        r = CheckPil(path, expected);
    if (r.empty())
        r = CheckImageMagick(path, expected);
    return r;
}

bool ClearPoints(const std::vector<std::uint8_t>& file, std::vector<ClearPoint>* clears) {
    clears->clear();
    std::size_t pos = 13;
    if (file.size() < pos)
        return false;
    if ((file[10] & 0x80) != 0)
        pos += std::size_t(3) << ((file[10] & 7) + 1);
    auto skipSubBlocks = [&](std::vector<std::uint8_t>* data) {
        while (pos < file.size()) {
            const std::size_t n = file[pos++];
            if (n == 0)
                return true;
            if (pos + n > file.size())
                return false;
            if (data != nullptr)
                data->insert(data->end(), file.begin() + pos, file.begin() + pos + n);
            pos += n;
        }
        return false;
    };
    while (pos < file.size()) {
        const std::uint8_t introducer = file[pos++];
        if (introducer == 0x3B)
            return true;
        if (introducer == 0x21) {
            ++pos;
            if (!skipSubBlocks(nullptr))
                return false;
            continue;
        }
        if (introducer != 0x2C || pos + 10 > file.size())
            return false;
        pos += 9;
        const int minSize = file[pos++];
        std::vector<std::uint8_t> data;
        if (!skipSubBlocks(&data))
            return false;
        const int clear = 1 << minSize;
        const int end = clear + 1;
        int width = minSize + 1;
        int next = end + 1;
        bool havePrevious = false;
        bool first = true;
        std::size_t bit = 0;
        long pixels = 0;
        int previous = 0;
        std::vector<int> length(4096, 1);
        for (;;) {
            if (bit + width > data.size() * 8)
                return false;
            int code = 0;
            for (int i = 0; i < width; ++i, ++bit)
                code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
            if (code == clear) {
                if (!first)
                    clears->push_back(ClearPoint{next, pixels});
                width = minSize + 1;
                next = end + 1;
                havePrevious = false;
            } else if (code == end) {
                break;
            } else {
                if (code > next || (code == next && !havePrevious))
                    return false;
                if (havePrevious && next < 4096) {
                    length[next] = length[previous] + 1;
                    ++next;
                    if (next == (1 << width) && width < 12)
                        ++width;
                }
                havePrevious = true;
                previous = code;
                pixels += length[code];
            }
            first = false;
        }
    }
    return false;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
}

GifAnimRecord FrameRecord(const Frame& f) {
    GifAnimRecord r = {};
    r.kind = imagelib::kGifRecordFrame;
    r.width = f.width;
    r.height = f.height;
    r.left = f.left;
    r.top = f.top;
    r.delay = f.delay;
    r.transparent = f.transparent >= 0 ? 1 : 0;
    r.transparentIndex = f.transparent >= 0 ? f.transparent : 0;
    r.disposalHigh = f.disposal & 2 ? 8 : 0;
    r.disposalLow = f.disposal & 1 ? 4 : 0;
    r.userInput = f.userInput ? 2 : 0;
    return r;
}

std::vector<Rgb> FixedPalette() {
    std::vector<Rgb> out;
    for (const auto& e : imagelib::GifPalette256)
        out.push_back(Rgb{e.red, e.green, e.blue});
    return out;
}

std::vector<int> FirstOfTheirColour(const std::vector<Rgb>& palette) {
    std::vector<int> out;
    for (std::size_t i = 0; i < palette.size(); ++i)
        if (std::find(palette.begin(), palette.begin() + i, palette[i]) == palette.begin() + i)
            out.push_back(static_cast<int>(i));
    return out;
}

}  // namespace gifwrite
