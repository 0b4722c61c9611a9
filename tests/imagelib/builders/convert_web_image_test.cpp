// ImageConvertWebImage: sources of 8 bits or less become GIF files that independent
// decoders read as exactly the source's colours, deeper ones JPEG files close to them at
// the quality given; the name takes the extension, or is refused whole when it cannot;
// every failure gives 0 and leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "builders/builders_fixtures.h"
#include "fixture_support.h"
#include "formats/gif/gif_write_fixtures.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace builders_test {
namespace {

using fixture::Decoder;
using fixture::RgbImage;
using fixture::TempDir;
using fixture::Wide;

// The caller's name buffer: the name, its null, then guard characters that must survive.
struct NameBuffer {
    std::wstring text;
    explicit NameBuffer(const std::string& name) : text(Wide(name)) {
        text.push_back(L'\0');
        text.append(16, L'#');
    }
    wchar_t* get() { return text.data(); }
    std::string Name() const {
        const std::wstring w(text.c_str());
        return std::string(w.begin(), w.end());
    }
    bool GuardsAfter(std::size_t chars) const {
        return text.compare(chars + 1, std::wstring::npos,
                            std::wstring(text.size() - chars - 1, L'#')) == 0;
    }
};

int Convert(const std::string& source, NameBuffer* name, int write, int quality = 90) {
    return ImageConvertWebImage(Wide(source).c_str(), name->get(), write, quality);
}

RgbImage PatternImage(Dib& dib, const std::vector<Colour>& table) {
    RgbImage out;
    out.width = dib.header()->biWidth;
    out.height = dib.header()->biHeight;
    for (LONG y = out.height - 1; y >= 0; --y)
        for (LONG x = 0; x < out.width; ++x) {
            const Colour c = PatternColour(dib, table, x, y);
            out.rgb.insert(out.rgb.end(), {c.r, c.g, c.b});
        }
    return out;
}

// A BMP source at the given depth, written to path; its pixels into expected.
void WriteBmp(const std::string& path, LONG width, LONG height, WORD bits, RgbImage* expected) {
    const std::vector<Colour> table = CubeColours(bits == 1 ? 2 : bits == 4 ? 16 : 37);
    Dib dib = PatternDib(width, height, bits, table);
    ASSERT_TRUE(fixture::WriteFile(path, BmpFileOf(dib)));
    *expected = PatternImage(dib, table);
}

// A smooth 24-bit BMP that JPEG keeps close.
RgbImage WriteGradientBmp(const std::string& path, LONG width, LONG height) {
    Dib dib = gdi_test::MakeDib(width, height, 24, {}, [&](LONG x, LONG y) -> std::uint32_t {
        return std::uint32_t(x * 255 / width) << 16 | std::uint32_t(y * 255 / height) << 8 | 128;
    });
    EXPECT_TRUE(fixture::WriteFile(path, BmpFileOf(dib)));
    RgbImage out;
    out.width = width;
    out.height = height;
    for (LONG y = height - 1; y >= 0; --y)
        for (LONG x = 0; x < width; ++x)
            out.rgb.insert(out.rgb.end(),
                           {std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), 128});
    return out;
}

double MeanError(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        return 1e9;
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / a.rgb.size();
}

void ExpectGifShows(const std::string& path, const RgbImage& expected) {
    for (Decoder d : {Decoder::Pil, Decoder::ImageMagick}) {
        RgbImage got;
        ASSERT_TRUE(fixture::ReferenceDecode(path, d, &got));
        EXPECT_EQ(fixture::CompareRgb(expected, got), "");
    }
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

class ConvertWebImage : public BuilderTest {};

TEST_F(ConvertWebImage, SourcesOf8BitsOrLessBecomeGifsOfTheirDepth) {
    TempDir dir;
    for (WORD bits : {1, 4, 8}) {
        RgbImage expected;
        WriteBmp(dir.file("s.bmp"), 13, 7, bits, &expected);
        NameBuffer name(dir.file("out"));
        ASSERT_EQ(Convert(dir.file("s.bmp"), &name, 1), 1) << bits;
        EXPECT_EQ(name.Name(), dir.file("out.gif"));
        EXPECT_TRUE(name.GuardsAfter(dir.file("out.gif").size()));
        const std::vector<std::uint8_t> gif = fixture::ReadFile(dir.file("out.gif"));
        ASSERT_GT(gif.size(), 13u);
        EXPECT_EQ((gif[10] & 7) + 1, bits);
        ExpectGifShows(dir.file("out.gif"), expected);
        std::filesystem::remove(dir.file("out.gif"));
    }
}

TEST_F(ConvertWebImage, AGreyJpegLoadsAt8BitsAndBecomesAGif) {
    TempDir dir;
    ASSERT_TRUE(fixture::Convert(
        {"-size", "40x30", "gradient:white-black", "-colorspace", "Gray", dir.file("g.jpg")}));
    const fixture::Loaded loaded = fixture::LoadFile(dir.file("g.jpg"));
    ASSERT_EQ(loaded.code, 69);
    ASSERT_EQ(loaded.bits(), 8);
    NameBuffer name(dir.file("g"));
    ASSERT_EQ(Convert(dir.file("g.jpg"), &name, 1), 1);
    EXPECT_EQ(name.Name(), dir.file("g.gif"));
    ExpectGifShows(dir.file("g.gif"), loaded.rgb());
}

TEST_F(ConvertWebImage, TrueColourSourcesBecomeJpegsAtTheQualityGiven) {
    TempDir dir;
    const RgbImage expected = WriteGradientBmp(dir.file("s.bmp"), 61, 43);
    double errors[2] = {};
    int i = 0;
    for (int quality : {95, 5}) {
        NameBuffer name(dir.file("out"));
        ASSERT_EQ(Convert(dir.file("s.bmp"), &name, 1, quality), 1) << quality;
        EXPECT_EQ(name.Name(), dir.file("out.jpg"));
        RgbImage got;
        ASSERT_TRUE(fixture::ReferenceDecode(dir.file("out.jpg"), Decoder::Pil, &got));
        errors[i++] = MeanError(expected, got);
    }
    EXPECT_LT(errors[0], 3.0);
    EXPECT_GT(errors[1], errors[0]);
}

TEST_F(ConvertWebImage, WithoutWriteOnlyTheExtensionIsAppended) {
    TempDir dir;
    RgbImage unused;
    WriteBmp(dir.file("8.bmp"), 5, 5, 8, &unused);
    WriteGradientBmp(dir.file("24.bmp"), 5, 5);
    NameBuffer gif(dir.file("a"));
    EXPECT_EQ(Convert(dir.file("8.bmp"), &gif, 0), 0);
    EXPECT_EQ(gif.Name(), dir.file("a.gif"));
    NameBuffer jpg(dir.file("b"));
    EXPECT_EQ(Convert(dir.file("24.bmp"), &jpg, 0), 0);
    EXPECT_EQ(jpg.Name(), dir.file("b.jpg"));
    EXPECT_FALSE(Exists(dir.file("a.gif")));
    EXPECT_FALSE(Exists(dir.file("b.jpg")));
}

TEST_F(ConvertWebImage, ANameThatCannotTakeItsExtensionIsRefusedWhole) {
    TempDir dir;
    RgbImage unused;
    WriteBmp(dir.file("s.bmp"), 5, 5, 8, &unused);
    // 251 characters and the extension fill the 256 of the working name exactly.
    NameBuffer longest(std::string(251, 'n'));
    EXPECT_EQ(Convert(dir.file("s.bmp"), &longest, 0), 0);
    EXPECT_EQ(longest.Name(), std::string(251, 'n') + ".gif");
    EXPECT_TRUE(longest.GuardsAfter(255));
    for (std::size_t length : {252, 255, 256, 400}) {
        NameBuffer name(std::string(length, 'n'));
        const std::wstring before = name.text;
        EXPECT_EQ(Convert(dir.file("s.bmp"), &name, 1), 0) << length;
        EXPECT_EQ(name.text, before) << length;
    }
}

TEST_F(ConvertWebImage, AFailedLoadGives0AndLeavesTheNameAlone) {
    TempDir dir;
    ASSERT_TRUE(fixture::WriteFile(dir.file("junk.bmp"), {'n', 'o', 't', ' ', 'a', 'n'}));
    for (const std::string& source : {dir.file("missing.bmp"), dir.file("junk.bmp")}) {
        NameBuffer name(dir.file("out"));
        EXPECT_EQ(Convert(source, &name, 1), 0);
        EXPECT_EQ(name.Name(), dir.file("out"));
    }
    NameBuffer name(dir.file("out"));
    EXPECT_EQ(ImageConvertWebImage(nullptr, name.get(), 1, 0), 0);
    EXPECT_EQ(ImageConvertWebImage(Wide(dir.file("junk.bmp")).c_str(), nullptr, 1, 0), 0);
    EXPECT_EQ(name.Name(), dir.file("out"));
}

TEST_F(ConvertWebImage, AFailedWriteGives0) {
    TempDir dir;
    RgbImage unused;
    WriteBmp(dir.file("8.bmp"), 200, 150, 8, &unused);
    WriteGradientBmp(dir.file("24.bmp"), 200, 150);
    for (const char* source : {"8.bmp", "24.bmp"}) {
        NameBuffer missing(dir.file("missing/out"));
        EXPECT_EQ(Convert(dir.file(source), &missing, 1), 0) << source;
        for (rlim_t limit : {0, 100, 3000}) {
            NameBuffer name(dir.file("cut"));
            int r = 1;
            {
                const gifwrite::FileSizeLimit cap(limit);
                r = Convert(dir.file(source), &name, 1);
            }
            EXPECT_EQ(r, 0) << source << " " << limit;
        }
    }
}

// The n-th allocation or GDI call failing, for n = 1 to last: 0 or 1 each time, 1 only
// with the same file as a conversion without failures, and nothing left behind. The
// number of failures reported.
int FailEachStep(void (*arm)(std::uint32_t), std::uint32_t last, const TempDir& dir,
                 const char* source, const char* written) {
    NameBuffer reference(dir.file("reference"));
    EXPECT_EQ(Convert(dir.file(source), &reference, 1), 1);
    const std::vector<std::uint8_t> whole = fixture::ReadFile(reference.Name());
    RgbImage decoded;
    EXPECT_TRUE(fixture::ReferenceDecode(reference.Name(), Decoder::Pil, &decoded));
    EXPECT_EQ(decoded.width, 30);
    EXPECT_EQ(decoded.height, 20);
    int failures = 0;
    for (std::uint32_t n = 1; n <= last; ++n) {
        const std::uint32_t objects = Win32LiveGdiObjects();
        const fixture::LiveBlocks blocks;
        std::filesystem::remove(dir.file(written));
        NameBuffer name(dir.file("out"));
        arm(n);
        const int r = Convert(dir.file(source), &name, 1);
        arm(0);
        EXPECT_TRUE(r == 0 || r == 1) << "step " << n;
        EXPECT_EQ(Win32LiveGdiObjects(), objects) << "step " << n;
        EXPECT_EQ(blocks.Leaked(), "") << "step " << n;
        if (r == 0)
            ++failures;
        else
            EXPECT_EQ(fixture::ReadFile(dir.file(written)), whole) << "step " << n;
    }
    return failures;
}

TEST_F(ConvertWebImage, EveryFailedAllocationGives0AndLeavesNothing) {
    TempDir dir;
    RgbImage unused;
    WriteBmp(dir.file("8.bmp"), 30, 20, 8, &unused);
    WriteGradientBmp(dir.file("24.bmp"), 30, 20);
    const auto arm = [](std::uint32_t n) { Win32FailGlobalAllocAfter(n); };
    // Loads, writers and clean-up allocate fewer than 40 blocks.
    EXPECT_GT(FailEachStep(arm, 40, dir, "8.bmp", "out.gif"), 5);
    EXPECT_GT(FailEachStep(arm, 40, dir, "24.bmp", "out.jpg"), 5);
}

TEST_F(ConvertWebImage, AFailedGdiCallLeavesNothing) {
    TempDir dir;
    RgbImage unused;
    WriteBmp(dir.file("8.bmp"), 30, 20, 8, &unused);
    WriteGradientBmp(dir.file("24.bmp"), 30, 20);
    const auto arm = [](std::uint32_t n) { Win32FailGdiCallAfter(n); };
    FailEachStep(arm, 8, dir, "8.bmp", "out.gif");
    FailEachStep(arm, 8, dir, "24.bmp", "out.jpg");
}

}  // namespace
}  // namespace builders_test
