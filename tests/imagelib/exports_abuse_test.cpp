// Every export called the way a careless or hostile caller might call it: null pointers,
// zero and stale words, handles of the wrong kind, paths that name no readable file. Each
// call must answer with a code, change only the out-parameters it was given (as its
// comment promises), and leave no block, bitmap, palette or device context behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/builders_fixtures.h"
#include "core/tracked_memory.h"
#include "engine/serial_context.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "win32/gdi.h"
#include "win32/global_memory.h"
#include "win32/resources.h"

namespace {

using builders_test::Colour;

constexpr std::uint32_t kFence = 0xA5C3E1F7;
// A module no resource was ever registered for.
const HMODULE kNoModule = 0x5A5A;

// An out-parameter with a fence on either side: a function that writes beyond the word it
// was given changes a fence.
template <typename T>
struct Fenced {
    explicit Fenced(T v = T(kFence)) : value(v) {}
    T lead = T(kFence);
    T value;
    T trail = T(kFence);
    T* operator&() { return &value; }
    bool Intact() const { return lead == T(kFence) && trail == T(kFence); }
};

std::wstring Repeat(wchar_t c, std::size_t n) {
    return std::wstring(n, c);
}

Colour Gradient(LONG x, LONG y) {
    return {BYTE(x * 40), BYTE(y * 60), BYTE(200)};
}

struct DibParts {
    std::vector<std::uint8_t> info;
    std::vector<std::uint8_t> rows;
};
DibParts SmallDib(LONG width = 4, LONG height = 2, WORD bits = 8);

// The state of the library's and the platform's tables at the start of each test, which
// every test must leave as it found it.
class ExportsAbuse : public testing::Test {
  protected:
    void SetUp() override {
        Win32SetScreenFormat(32, FALSE);
        SetImagePalette(0, nullptr);
        blocks_ = std::make_unique<fixture::LiveBlocks>();
        objects_ = Win32LiveGdiObjects();
        contexts_ = Win32LiveDeviceContexts();
    }
    void TearDown() override {
        SetImagePalette(0, nullptr);
        EXPECT_EQ(blocks_->Leaked(), "");
        EXPECT_EQ(Win32LiveGdiObjects(), objects_) << "bitmaps or palettes left behind";
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts_) << "device contexts left behind";
        Win32UnregisterModuleResources(kModule);
    }

    // Checked at points inside a test, after its own handles are gone.
    void ExpectNothingLeft(const std::string& where) {
        EXPECT_EQ(blocks_->Leaked(), "") << where;
        EXPECT_EQ(Win32LiveGdiObjects(), objects_) << where;
        EXPECT_EQ(Win32LiveDeviceContexts(), contexts_) << where;
    }

    std::wstring Path(const std::string& name) const { return fixture::Wide(dir_.file(name)); }
    bool Exists(const std::wstring& path) const {
        struct stat st;
        std::string narrow(path.begin(), path.end());
        return ::stat(narrow.c_str(), &st) == 0;
    }
    std::size_t FilesInDir() const {
        std::size_t n = 0;
        const std::string cmd = "ls -A '" + dir_.path() + "' | wc -l";
        if (FILE* p = popen(cmd.c_str(), "r")) {
            if (std::fscanf(p, "%zu", &n) != 1)
                n = 0;
            pclose(p);
        }
        return n;
    }

    // A 4 x 2 8-bit BMP file.
    std::vector<std::uint8_t> BmpBytes() const {
        fixture::BmpFields f;
        std::vector<std::uint8_t> palette;
        for (int i = 0; i < 256; ++i)
            palette.insert(palette.end(), {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0});
        return fixture::MakeBmp(f, palette, {1, 2, 3, 4, 5, 6, 7, 8});
    }
    std::wstring BmpFile() {
        const std::wstring p = Path("image.bmp");
        EXPECT_TRUE(fixture::WriteFile(dir_.file("image.bmp"), BmpBytes()));
        return p;
    }
    // A two-frame 4 x 2 GIF of 8 bits, from the library's own writer.
    std::wstring GifFile() {
        const std::wstring p = Path("image.gif");
        std::vector<std::uint8_t> info(1064, 0);
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h->biSize = 40;
        h->biWidth = 4;
        h->biHeight = 2;
        h->biPlanes = 1;
        h->biBitCount = 8;
        const std::uint8_t rows[8] = {0, 1, 2, 3, 3, 2, 1, 0};
        const void* frames[2] = {rows, rows};
        EXPECT_EQ(ImageWriteGifFile(p.c_str(), 2, frames, info.data(), -1), 0);
        return p;
    }
    // A 4 x 2 JPEG from the library's own writer.
    std::wstring JpegFile() {
        const std::wstring p = Path("image.jpg");
        BITMAPINFOHEADER h{};
        h.biSize = 40;
        h.biWidth = 4;
        h.biHeight = 2;
        const std::vector<std::uint8_t> rows(24, 0x80);
        EXPECT_EQ(ImageWriteJpegFile(p.c_str(), 75, rows.data(), &h, 0), 0);
        return p;
    }

    struct BadPath {
        std::string what;
        std::wstring path;
    };
    // Paths that name nothing a file can be read from or written to.
    std::vector<BadPath> Unwritable() {
        const int made = ::mkdir(dir_.file("folder.gif").c_str(), 0755);
        EXPECT_TRUE(made == 0 || errno == EEXIST);
        return {
            {"an empty path", L""},
            {"a folder", fixture::Wide(dir_.path())},
            {"a folder named like an image", Path("folder.gif")},
            {"a path longer than PATH_MAX", L"/" + Repeat(L'a', 5000) + L".gif"},
            {"a component longer than NAME_MAX", Path("") + Repeat(L'b', NAME_MAX + 20) + L".gif"},
            {"a file in a missing folder", Path("missing/image.gif")},
            {"a path holding a lone surrogate", Path("") + L"\xD800.gif"},
        };
    }
    // Those, and files that are not there or hold nothing.
    std::vector<BadPath> Unreadable() {
        std::vector<BadPath> paths = Unwritable();
        EXPECT_TRUE(fixture::WriteFile(dir_.file("empty.gif"), {}));
        paths.push_back({"a missing file", Path("missing.gif")});
        paths.push_back({"an empty file", Path("empty.gif")});
        return paths;
    }

    static constexpr HMODULE kModule = 0x4242;
    fixture::TempDir dir_;

  private:
    std::unique_ptr<fixture::LiveBlocks> blocks_;
    std::uint32_t objects_ = 0;
    std::uint32_t contexts_ = 0;
};

// ---------------------------------------------------------------------------------------
// Loaders and first steps.

TEST_F(ExportsAbuse, LoadersGivenANullWordPointerAnswerOneAndAllocateNothing) {
    const std::wstring bmp = BmpFile();
    const wchar_t* p = bmp.c_str();
    Fenced<std::uint32_t> a, b, list, flags;
    Fenced<std::int32_t> index;
    EXPECT_EQ(SerialImageFileFirst(p, nullptr, 0, nullptr, &b, &flags), 1);
    EXPECT_EQ(SerialImageFileFirst(p, nullptr, 0, &a, nullptr, &flags), 1);
    EXPECT_EQ(SerialImageResourceFirst(kModule, L"X", L"T", nullptr, &b, &flags), 1);
    EXPECT_EQ(SerialImageResourceFirst(kModule, L"X", L"T", &a, nullptr, &flags), 1);
    EXPECT_EQ(ImageLoadFile(p, nullptr, 0, nullptr, &b, &flags), 1);
    EXPECT_EQ(ImageLoadFile(p, nullptr, 0, &a, nullptr, &flags), 1);
    EXPECT_EQ(ImageLoadFileTransIndex(p, nullptr, 0, nullptr, &b, &flags, &index), 1);
    EXPECT_EQ(ImageLoadFileTransIndex(p, nullptr, 0, &a, nullptr, &flags, &index), 1);
    EXPECT_EQ(ImageLoadResource(kModule, L"X", L"T", nullptr, &b, &flags), 1);
    EXPECT_EQ(ImageLoadResourceTransIndex(kModule, L"X", L"T", &a, nullptr, &flags, &index), 1);
    EXPECT_EQ(ImageLoadGIFAnimation(p, nullptr, 0, nullptr, &b, &list, &flags), 1);
    EXPECT_EQ(ImageLoadGIFAnimation(p, nullptr, 0, &a, nullptr, &list, &flags), 1);
    EXPECT_EQ(ImageLoadGIFAnimation(p, nullptr, 0, &a, &b, nullptr, &flags), 1);
    for (const Fenced<std::uint32_t>* w :
         {std::addressof(a), std::addressof(b), std::addressof(list), std::addressof(flags)})
        EXPECT_TRUE(w->Intact() && w->value == kFence);
    EXPECT_TRUE(index.Intact() && index.value == std::int32_t(kFence));
}

TEST_F(ExportsAbuse, FirstStepsOnPathsThatNameNoFileAnswerThreeAndTheirWordsCleanUp) {
    for (const BadPath& bad : Unreadable()) {
        SCOPED_TRACE(bad.what);
        const wchar_t* p = bad.path.c_str();
        Fenced<std::uint32_t> a(0), b(0), flags(IMAGELIB_REDUCE);
        Fenced<std::int32_t> index(7);
        // The first steps leave the context named by the words for the caller's clean-up.
        EXPECT_EQ(SerialImageFileFirst(p, nullptr, 0, &a, &b, &flags), 3);
        EXPECT_NE(a.value | b.value, 0u);
        EXPECT_EQ(flags.value, std::uint32_t(IMAGELIB_REDUCE));
        EXPECT_EQ(SerialImagePercentComplete(&a, &b), 0);
        EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
        EXPECT_EQ(a.value | b.value, 0u);
        EXPECT_EQ(SerialImageCleanup(&a, &b), 1);

        EXPECT_EQ(ImageLoadFile(p, nullptr, 0, &a, &b, &flags), 3);
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        EXPECT_EQ(ImageLoadFileTransIndex(p, nullptr, 0, &a, &b, &flags, &index), 3);
        EXPECT_EQ(index.value, 7);
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        EXPECT_EQ(flags.value, std::uint32_t(IMAGELIB_REDUCE));

        // The animation loader leaves nothing allocated on any failure.
        Fenced<std::uint32_t> list(kFence);
        EXPECT_EQ(ImageLoadGIFAnimation(p, nullptr, 0, &a, &b, &list, &flags), 3);
        EXPECT_EQ(a.value | b.value | list.value, 0u);
        EXPECT_TRUE(a.Intact() && b.Intact() && list.Intact() && flags.Intact());
        EXPECT_TRUE(index.Intact());
        ExpectNothingLeft(bad.what);
    }
}

TEST_F(ExportsAbuse, ANullPathWithoutABufferAnswersThree) {
    std::uint8_t buffer[16] = {'B', 'M'};
    for (const void* data : {static_cast<const void*>(nullptr), static_cast<const void*>(buffer)}) {
        // A buffer of length 0 is no buffer: the (null) path is read instead.
        Fenced<std::uint32_t> a(0), b(0);
        EXPECT_EQ(SerialImageFileFirst(nullptr, data, 0, &a, &b, nullptr), 3);
        EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
        EXPECT_EQ(ImageLoadFile(nullptr, data, 0, &a, &b, nullptr), 3);
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        Fenced<std::uint32_t> list(5);
        EXPECT_EQ(ImageLoadGIFAnimation(nullptr, data, 0, &a, &b, &list, nullptr), 3);
        EXPECT_EQ(a.value | b.value | list.value, 0u);
    }
    // A null buffer with a length reads the path too.
    Fenced<std::uint32_t> a(0), b(0);
    EXPECT_EQ(ImageLoadFile(nullptr, nullptr, 100, &a, &b, nullptr), 3);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
}

TEST_F(ExportsAbuse, ABufferOfNoKnownFormatAnswersThreeAndIsNotChanged) {
    std::vector<std::uint8_t> junk(300);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = std::uint8_t(i * 7 + 1);
    const std::vector<std::uint8_t> before = junk;
    const std::wstring bmp = BmpFile();
    for (std::uint32_t length : {1u, 2u, std::uint32_t(junk.size())}) {
        SCOPED_TRACE(length);
        Fenced<std::uint32_t> a(0), b(0), list(0);
        // The buffer wins over the path of a good image.
        EXPECT_EQ(ImageLoadFile(bmp.c_str(), junk.data(), length, &a, &b, nullptr), 3);
        EXPECT_EQ(a.value | b.value, 0u);  // a failed begin step has freed the load
        EXPECT_EQ(ImageLoadGIFAnimation(nullptr, junk.data(), length, &a, &b, &list, nullptr), 3);
        EXPECT_EQ(a.value | b.value | list.value, 0u);
    }
    EXPECT_EQ(junk, before);
}

TEST_F(ExportsAbuse, AFileWithoutReadPermissionAnswersThree) {
    const std::wstring bmp = BmpFile();
    const std::string narrow = dir_.file("image.bmp");
    ASSERT_EQ(::chmod(narrow.c_str(), 0), 0);
    if (::access(narrow.c_str(), R_OK) == 0) {
        ::chmod(narrow.c_str(), 0644);
        GTEST_SKIP() << "running as a user who reads files without read permission (root)";
    }
    Fenced<std::uint32_t> a(0), b(0), list(0);
    Fenced<std::int32_t> count(9);
    EXPECT_EQ(ImageLoadFile(bmp.c_str(), nullptr, 0, &a, &b, nullptr), 3);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
    EXPECT_EQ(ImageLoadGIFAnimation(bmp.c_str(), nullptr, 0, &a, &b, &list, nullptr), 3);
    EXPECT_EQ(ImageCountGIFFrames(bmp.c_str(), &count), 3);
    EXPECT_EQ(count.value, 0);
    ::chmod(narrow.c_str(), 0644);
}

TEST_F(ExportsAbuse, ResourceLoadsOfUnknownModulesNamesOrTypesAnswerThree) {
    const std::vector<std::uint8_t> bmp = BmpBytes();
    ASSERT_TRUE(Win32RegisterResource(kModule, L"IMG", L"PIC", bmp.data(), DWORD(bmp.size())));
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 4, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    const std::wstring longName = Repeat(L'N', 5000);
    struct Case {
        const char* what;
        HMODULE module;
        const wchar_t* name;
        const wchar_t* type;
    };
    const Case cases[] = {
        {"module 0", 0, L"PIC", L"IMG"},
        {"a module never registered", kNoModule, L"PIC", L"IMG"},
        {"a bitmap handle as the module", bitmap.get(), L"PIC", L"IMG"},
        {"a global block as the module", block, L"PIC", L"IMG"},
        {"a null name", kModule, nullptr, L"IMG"},
        {"a null type", kModule, L"PIC", nullptr},
        {"an integer name never registered", kModule, MAKEINTRESOURCEW(0xFFFF), L"IMG"},
        {"an over-long name", kModule, longName.c_str(), L"IMG"},
        {"an empty name", kModule, L"", L"IMG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fenced<std::uint32_t> a(0), b(0), flags(0);
        Fenced<std::int32_t> index(4);
        EXPECT_EQ(SerialImageResourceFirst(c.module, c.name, c.type, &a, &b, &flags), 3);
        EXPECT_EQ(flags.value, 0u);
        EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
        EXPECT_EQ(ImageLoadResource(c.module, c.name, c.type, &a, &b, &flags), 3);
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        EXPECT_EQ(ImageLoadResourceTransIndex(c.module, c.name, c.type, &a, &b, &flags, &index), 3);
        EXPECT_EQ(index.value, 4);
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        EXPECT_TRUE(a.Intact() && b.Intact() && flags.Intact() && index.Intact());
    }
    // The handles given as modules are still there.
    EXPECT_EQ(GlobalSize(block), 64u);
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap.get(), sizeof bm, &bm), int(sizeof bm));
    GlobalFree(block);
    // The registered resource itself loads.
    fixture::Words w;
    EXPECT_EQ(ImageLoadResource(kModule, L"pic", L"img", &w.a, &w.b, nullptr), 69);
}

TEST_F(ExportsAbuse, AnEmptyResourceAnswersOne) {
    static const std::uint8_t kNothing[1] = {0};
    ASSERT_TRUE(Win32RegisterResource(kModule, L"IMG", L"EMPTY", kNothing, 0));
    Fenced<std::uint32_t> a(0), b(0);
    EXPECT_EQ(ImageLoadResource(kModule, L"EMPTY", L"IMG", &a, &b, nullptr), 1);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
}

TEST_F(ExportsAbuse, EveryFlagSetAtOnceEndsInACodeAndLeavesNothing) {
    Win32SetScreenFormat(8, TRUE);
    const std::wstring files[] = {BmpFile(), GifFile(), JpegFile()};
    for (const std::wstring& file : files) {
        for (std::uint32_t all : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x00FFFFFFu}) {
            SCOPED_TRACE(testing::Message() << std::hex << all);
            Fenced<std::uint32_t> a(0), b(0), list(0), flags(all);
            const int one = ImageLoadFile(file.c_str(), nullptr, 0, &a, &b, &flags);
            EXPECT_NE(one, 68);
            ImageLoadCleanup(&a, &b);
            flags.value = all;
            int r = SerialImageFileFirst(file.c_str(), nullptr, 0, &a, &b, &flags);
            while (r == 68)
                r = SerialImageNext(&a, &b, &flags, nullptr);
            EXPECT_EQ(r, one);
            SerialImageCleanup(&a, &b);
            flags.value = all;
            r = ImageLoadGIFAnimation(file.c_str(), nullptr, 0, &a, &b, &list, &flags);
            if (list.value != 0) {
                auto* records = static_cast<std::uint32_t*>(GlobalLock(list.value));
                for (std::uint32_t* rec = records; rec[0] != 0; rec += 17) {
                    GlobalFree(rec[15]);
                    GlobalFree(rec[16]);
                }
                GlobalUnlock(list.value);
                GlobalFree(list.value);
            }
            ImageLoadCleanup(&a, &b);
            EXPECT_TRUE(a.Intact() && b.Intact() && list.Intact() && flags.Intact());
            ExpectNothingLeft("every flag");
        }
    }
    DibParts dib = SmallDib();
    Fenced<std::uint32_t> out(0), pal(0), flags(0xFFFFFFFF);
    if (ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &flags, &out, &pal) == 1) {
        EXPECT_EQ(ImageLoadCleanup(&out, &pal), 0);
    }
    EXPECT_TRUE(out.Intact() && pal.Intact() && flags.Intact());
}

// ---------------------------------------------------------------------------------------
// The stepwise functions on words that name no running load.

TEST_F(ExportsAbuse, StepFunctionsGivenANullWordPointerAnswerOne) {
    Fenced<std::uint32_t> a(0x1234), b(0x5678), flags(3);
    Fenced<std::int32_t> index(2);
    EXPECT_EQ(SerialImageNext(nullptr, &b, &flags, &index), 1);
    EXPECT_EQ(SerialImageNext(&a, nullptr, &flags, &index), 1);
    EXPECT_EQ(SerialImagePercentComplete(nullptr, &b), 1);
    EXPECT_EQ(SerialImagePercentComplete(&a, nullptr), 1);
    EXPECT_EQ(SerialImageCleanup(nullptr, &b), 1);
    EXPECT_EQ(SerialImageCleanup(&a, nullptr), 1);
    EXPECT_EQ(ImageLoadCleanup(nullptr, &b), 1);
    EXPECT_EQ(ImageLoadCleanup(&a, nullptr), 1);
    EXPECT_EQ(SerialImageNext(nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(SerialImageCleanup(nullptr, nullptr), 1);
    EXPECT_EQ(a.value, 0x1234u);
    EXPECT_EQ(b.value, 0x5678u);
    EXPECT_EQ(flags.value, 3u);
    EXPECT_EQ(index.value, 2);
}

TEST_F(ExportsAbuse, ZeroWordsAreNothingToStepPercentOrFree) {
    Fenced<std::uint32_t> a(0), b(0), flags(3);
    Fenced<std::int32_t> index(2);
    EXPECT_EQ(SerialImageNext(&a, &b, &flags, &index), 69);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 1);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 1);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 1);
    EXPECT_EQ(a.value | b.value, 0u);
    EXPECT_EQ(flags.value, 3u);
    EXPECT_EQ(index.value, 2);
    EXPECT_TRUE(a.Intact() && b.Intact() && flags.Intact() && index.Intact());
}

// Words that name nothing live: stepping answers 69 (nothing to do), the percent 100 (no
// running load), the clean-up 1 (nothing to free); none of them changes anything.
void ExpectStaleWords(std::uint32_t wa, std::uint32_t wb) {
    Fenced<std::uint32_t> a(wa), b(wb), flags(3);
    Fenced<std::int32_t> index(2);
    EXPECT_EQ(SerialImageNext(&a, &b, &flags, &index), 69);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 100);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 1);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 1);
    EXPECT_EQ(a.value, wa);
    EXPECT_EQ(b.value, wb);
    EXPECT_EQ(flags.value, 3u);
    EXPECT_EQ(index.value, 2);
    EXPECT_TRUE(a.Intact() && b.Intact() && flags.Intact() && index.Intact());
}

TEST_F(ExportsAbuse, WordsNeverIssuedNameNothing) {
    const std::pair<std::uint32_t, std::uint32_t> words[] = {
        {0x1234, 0xFFFF},
        {0xFFFF, 0xFFFF},
        {0, 1},
        {1, 0},
        {0x8000, 0},
        {0xFFFF, 0},
        {0x7FFF, 0xFFFF},
        {0xFFFFFFFF, 0xFFFFFFFF},
        {0x10000, 0},
        {0, 0x3FFFFFFF},
        {0x80000001, 0x80000002},
    };
    for (const auto& w : words) {
        SCOPED_TRACE(testing::Message() << std::hex << w.first << "/" << w.second);
        ExpectStaleWords(w.first, w.second);
    }
}

TEST_F(ExportsAbuse, WordsOfAResultFreedBeforeNameNothing) {
    const std::wstring bmp = BmpFile();
    std::uint32_t a = 0, b = 0;
    ASSERT_EQ(ImageLoadFile(bmp.c_str(), nullptr, 0, &a, &b, nullptr), 69);
    const std::uint32_t oldA = a, oldB = b;
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
    ExpectStaleWords(oldA, oldB);
    ExpectStaleWords(oldA, 0);
    ExpectStaleWords(0, oldB);
}

TEST_F(ExportsAbuse, WordsOfALoadFreedMidwayNameNothing) {
    const std::wstring bmp = BmpFile();
    std::uint32_t a = 0, b = 0;
    ASSERT_EQ(SerialImageFileFirst(bmp.c_str(), nullptr, 0, &a, &b, nullptr), 68);
    ASSERT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), 68);
    const std::uint32_t oldA = a, oldB = b;
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    ExpectStaleWords(oldA, oldB);
}

TEST_F(ExportsAbuse, WordsOfALoadThatFailedNameNothing) {
    // A GIF cut off after its header: the begin step fails and frees the load.
    std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0, 0, 0};
    std::uint32_t a = 0, b = 0;
    EXPECT_NE(SerialImageFileFirst(nullptr, gif.data(), std::uint32_t(gif.size()), &a, &b, nullptr),
              68);
    EXPECT_EQ(a | b, 0u);
}

TEST_F(ExportsAbuse, WordsOfAFinishedLoadAreItsResultUntilFreed) {
    const std::wstring bmp = BmpFile();
    std::uint32_t a = 0, b = 0;
    ASSERT_EQ(SerialImageFileFirst(bmp.c_str(), nullptr, 0, &a, &b, nullptr), 68);
    int r = 68;
    while (r == 68)
        r = SerialImageNext(&a, &b, nullptr, nullptr);
    ASSERT_EQ(r, 69);
    const std::vector<std::uint8_t> dib = fixture::CopyBlock(a);
    const std::vector<std::uint8_t> palette = fixture::CopyBlock(b);
    ASSERT_FALSE(dib.empty());
    // Stepping again is nothing to do; the result stays as it was.
    Fenced<std::uint32_t> flags(3);
    const std::uint32_t oldA = a, oldB = b;
    EXPECT_EQ(SerialImageNext(&a, &b, &flags, nullptr), 69);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 100);
    EXPECT_EQ(a, oldA);
    EXPECT_EQ(b, oldB);
    EXPECT_EQ(flags.value, 3u);
    EXPECT_EQ(fixture::CopyBlock(a), dib);
    EXPECT_EQ(fixture::CopyBlock(b), palette);
    EXPECT_EQ(GlobalFlags(a), 0u) << "the result is handed over unlocked";
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    ExpectStaleWords(oldA, oldB);
}

TEST_F(ExportsAbuse, AGdiHandleAsWordsIsNeitherStepppedNorFreed) {
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 4, Gradient));
    const std::uint32_t h = bitmap.get();
    ExpectStaleWords(h, 0);
    ExpectStaleWords(0, h);
    ExpectStaleWords(h, h);
    ExpectStaleWords(h >> 16, h & 0xFFFF);
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bitmap.get(), sizeof bm, &bm), int(sizeof bm));
}

TEST_F(ExportsAbuse, ACallersGlobalBlockAsWordsIsTakenForAResult) {
    // Not a load: stepping and the percent leave it alone; the clean-up frees it, as it
    // frees any result (GlobalFree would do the same).
    const HGLOBAL block = GlobalAlloc(GHND, 100);
    static_cast<std::uint8_t*>(GlobalLock(block))[5] = 77;
    GlobalUnlock(block);
    Fenced<std::uint32_t> a(block), b(0);
    EXPECT_EQ(SerialImageNext(&a, &b, nullptr, nullptr), 69);
    EXPECT_EQ(SerialImagePercentComplete(&a, &b), 100);
    EXPECT_EQ(a.value, block);
    EXPECT_EQ(fixture::CopyBlock(block)[5], 77);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    EXPECT_EQ(a.value | b.value, 0u);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_TRUE(a.Intact() && b.Intact());
}

TEST_F(ExportsAbuse, WordsNamingAnotherBlockOfARunningLoadAreNoLoad) {
    // A source exactly as large as a context: its data block must still not be taken for
    // one when a caller's words happen to name it.
    std::vector<std::uint8_t> file = BmpBytes();
    file.resize(sizeof(imagelib::SerialImageContext), 0xEE);
    ASSERT_TRUE(fixture::WriteFile(dir_.file("padded.bmp"), file));
    const std::wstring path = Path("padded.bmp");
    std::uint32_t a = 0, b = 0;
    ASSERT_EQ(SerialImageFileFirst(path.c_str(), nullptr, 0, &a, &b, nullptr), 68);
    const std::uint32_t key = a << 16 | b;
    for (std::uint32_t k = key + 1; k < key + 8; ++k) {
        SCOPED_TRACE(k - key);
        ExpectStaleWords(k >> 16, k & 0xFFFF);
    }
    int r = 68;
    while (r == 68)
        r = SerialImageNext(&a, &b, nullptr, nullptr);
    EXPECT_EQ(r, 69);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
}

TEST_F(ExportsAbuse, SteppingAfterAnErrorDoesNothing) {
    // A BMP whose rows are cut short decodes with zeros; an RLE8 stream that runs past
    // its image fails in the decoding. Either way the words are clear afterwards.
    fixture::BmpFields f;
    f.compression = 1;  // RLE8
    std::vector<std::uint8_t> palette(1024, 0);
    std::vector<std::uint8_t> bmp = fixture::MakeBmp(f, palette, {0, 2, 200, 9});
    std::uint32_t a = 0, b = 0;
    int r = ImageLoadFile(nullptr, bmp.data(), std::uint32_t(bmp.size()), &a, &b, nullptr);
    if (r != 69) {
        EXPECT_EQ(a | b, 0u);
        ExpectStaleWords(a, b);
    } else {
        EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
    }
}

// ---------------------------------------------------------------------------------------
// The GIF exports.

TEST_F(ExportsAbuse, CountingFramesAnswersACodeForEveryBadPathAndCount) {
    EXPECT_EQ(ImageCountGIFFrames(GifFile().c_str(), nullptr), 1);
    Fenced<std::int32_t> count(9);
    EXPECT_EQ(ImageCountGIFFrames(nullptr, &count), 3);
    EXPECT_EQ(count.value, 0);
    for (const BadPath& bad : Unreadable()) {
        SCOPED_TRACE(bad.what);
        count.value = 9;
        const int r = ImageCountGIFFrames(bad.path.c_str(), &count);
        // An empty file opens and holds no signature.
        EXPECT_EQ(r, bad.what == "an empty file" ? 7 : 3);
        EXPECT_EQ(count.value, 0);
        EXPECT_TRUE(count.Intact());
    }
    count.value = 9;
    EXPECT_EQ(ImageCountGIFFrames(BmpFile().c_str(), &count), 5);
    EXPECT_EQ(count.value, 0);
    EXPECT_EQ(ImageCountGIFFrames(GifFile().c_str(), &count), 0);
    EXPECT_EQ(count.value, 2);
}

TEST_F(ExportsAbuse, SplittingAnswersZeroForEveryBadArgumentAndWritesNothing) {
    const std::wstring gif = GifFile();
    const std::wstring base = Path("part");
    const std::size_t files = FilesInDir();
    Fenced<std::int32_t> count(9);
    EXPECT_EQ(ImageSplitWebImage(gif.c_str(), nullptr, &count, -1), 0);
    EXPECT_EQ(ImageSplitWebImage(gif.c_str(), base.c_str(), nullptr, -1), 0);
    EXPECT_EQ(ImageSplitWebImage(nullptr, base.c_str(), &count, -1), 0);
    EXPECT_EQ(count.value, 0);
    for (const BadPath& bad : Unreadable()) {
        SCOPED_TRACE(bad.what);
        count.value = 9;
        EXPECT_EQ(ImageSplitWebImage(bad.path.c_str(), base.c_str(), &count, -1), 0);
        EXPECT_EQ(count.value, 0);
    }
    count.value = 9;
    EXPECT_EQ(ImageSplitWebImage(BmpFile().c_str(), base.c_str(), &count, -1), 0);
    EXPECT_EQ(count.value, 0);
    // Frame files that cannot be created (the base name is only the start of their names).
    const std::wstring bases[] = {
        Path("missing/part"),
        L"/" + Repeat(L'a', 5000),
        Path("") + Repeat(L'b', NAME_MAX + 20),
        Path("") + L"\xD800",
    };
    for (const std::wstring& bad : bases) {
        SCOPED_TRACE(bad.size());
        count.value = 9;
        EXPECT_EQ(ImageSplitWebImage(gif.c_str(), bad.c_str(), &count, -1), 0);
        EXPECT_EQ(count.value, 0);
    }
    EXPECT_TRUE(count.Intact());
    // The folder made by Unwritable() and the BMP are the only new entries.
    EXPECT_EQ(FilesInDir(), files + 3);  // image.bmp, folder.gif, empty.gif
    // Any negative maximum is no limit.
    EXPECT_EQ(ImageSplitWebImage(gif.c_str(), Path("ok").c_str(), &count, INT_MIN), 1);
    EXPECT_EQ(count.value, 2);
    EXPECT_TRUE(Exists(Path("okoff.gif")) && Exists(Path("okclk.gif")));
}

TEST_F(ExportsAbuse, TheAnimationLoaderAnswersACodeAndLeavesNothingOnBadData) {
    // A GIF whose screen is declared but whose first image is cut short.
    std::vector<std::uint8_t> gif = fixture::ReadFile(dir_.file("image.gif"));
    if (gif.empty()) {
        GifFile();
        gif = fixture::ReadFile(dir_.file("image.gif"));
    }
    ASSERT_GT(gif.size(), 40u);
    for (std::size_t cut : {std::size_t(6), std::size_t(13), std::size_t(20), gif.size() - 1}) {
        SCOPED_TRACE(cut);
        Fenced<std::uint32_t> a(1), b(2), list(3), flags(0);
        const int r =
            ImageLoadGIFAnimation(nullptr, gif.data(), std::uint32_t(cut), &a, &b, &list, &flags);
        if (r == 69) {
            EXPECT_NE(a.value, 0u);
            std::uint32_t* records = static_cast<std::uint32_t*>(GlobalLock(list.value));
            ASSERT_NE(records, nullptr);
            for (std::uint32_t* rec = records; rec[0] != 0; rec += 17) {
                GlobalFree(rec[15]);
                GlobalFree(rec[16]);
            }
            GlobalUnlock(list.value);
            GlobalFree(list.value);
            EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
        } else {
            EXPECT_EQ(a.value | b.value | list.value, 0u);
        }
        EXPECT_TRUE(a.Intact() && b.Intact() && list.Intact() && flags.Intact());
        ExpectNothingLeft("cut " + std::to_string(cut));
    }
}

// ---------------------------------------------------------------------------------------
// ValidImageFile and SetImagePalette.

TEST_F(ExportsAbuse, ValidImageFileLooksOnlyAtTheName) {
    EXPECT_EQ(ValidImageFile(nullptr), 0);
    EXPECT_EQ(ValidImageFile(L""), 0);
    EXPECT_EQ(ValidImageFile(L"."), 0);
    EXPECT_EQ(ValidImageFile(L"gif"), 0);
    EXPECT_EQ(ValidImageFile(L"/a.b/c"), 0);
    EXPECT_EQ(ValidImageFile((Repeat(L'a', 5000) + L".gif").c_str()), 1);
    EXPECT_EQ(ValidImageFile((L"x." + Repeat(L'g', 5000)).c_str()), 0);
    EXPECT_EQ(ValidImageFile(L"/no/such/folder/picture.JPG"), 1);
    EXPECT_EQ(ValidImageFile(L"\xD800.png"), 1);
}

TEST_F(ExportsAbuse, ACallerPaletteOfNoColoursIsNoPalette) {
    const std::wstring jpeg = JpegFile();
    // The JPEG reader quantises (and so uses the caller's colours) for a palette screen.
    Win32SetScreenFormat(8, TRUE);
    const std::uint32_t flags = IMAGELIB_JPEG_USER_PALETTE;
    SetImagePalette(0, nullptr);
    const fixture::Loaded plain = fixture::LoadFile(dir_.file("image.jpg"), flags);
    ASSERT_EQ(plain.code, 69);
    static const std::uint32_t kColours[6] = {255, 0, 0, 0, 0, 255};
    const std::vector<std::uint32_t> before(kColours, kColours + 6);
    const std::pair<std::int32_t, const std::uint32_t*> palettes[] = {
        {0, kColours}, {5, nullptr}, {-1, kColours}, {INT_MIN, kColours}, {-3, nullptr}};
    for (const auto& p : palettes) {
        SCOPED_TRACE(p.first);
        SetImagePalette(p.first, p.second);
        const fixture::Loaded l = fixture::LoadFile(dir_.file("image.jpg"), flags);
        EXPECT_EQ(l.code, 69);
        EXPECT_EQ(l.dib, plain.dib);
        EXPECT_EQ(l.palette, plain.palette);
    }
    // Against a palette of two colours, which does change the load.
    SetImagePalette(2, kColours);
    EXPECT_NE(fixture::LoadFile(dir_.file("image.jpg"), flags).dib, plain.dib);
    EXPECT_EQ(std::vector<std::uint32_t>(kColours, kColours + 6), before);
}

// ---------------------------------------------------------------------------------------
// Writers.

std::vector<std::uint8_t> Info8(LONG width, LONG height, WORD bits = 8) {
    std::vector<std::uint8_t> info(1064, 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = bits;
    return info;
}

TEST_F(ExportsAbuse, ThePngWriterAnswersTwoWhateverItIsGiven) {
    std::uint8_t junk[64];
    std::memset(junk, 0x5A, sizeof junk);
    EXPECT_EQ(ImageWritePngFile(nullptr, nullptr, nullptr, nullptr, nullptr), 2);
    EXPECT_EQ(ImageWritePngFile(junk, junk + 1, junk + 2, L"", Path("x.png").c_str()), 2);
    for (std::uint8_t byte : junk)
        EXPECT_EQ(byte, 0x5A);
    EXPECT_FALSE(Exists(Path("x.png")));
}

TEST_F(ExportsAbuse, TheGifWriterRefusesBadArgumentsWithoutCreatingAFile) {
    const std::wstring out = Path("out.gif");
    std::vector<std::uint8_t> rows(64, 1);
    const std::vector<std::uint8_t> rowsBefore = rows;
    const void* frames[2] = {rows.data(), rows.data()};
    const void* holes[2] = {rows.data(), nullptr};
    std::vector<std::uint8_t> info = Info8(4, 2);
    const std::vector<std::uint8_t> infoBefore = info;
    EXPECT_EQ(ImageWriteGifFile(nullptr, 1, frames, info.data(), -1), 1);
    EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, nullptr, info.data(), -1), 1);
    EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, nullptr, -1), 1);
    EXPECT_EQ(ImageWriteGifFile(out.c_str(), 2, holes, info.data(), -1), 1);
    for (LONG side : {0, -1, 65536, INT_MIN}) {
        SCOPED_TRACE(side);
        std::vector<std::uint8_t> wide = Info8(side, 2), tall = Info8(4, side);
        EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, wide.data(), -1), 1);
        EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, tall.data(), -1), 1);
    }
    for (WORD bits : {0, 2, 16, 24, 32, 0xFFFF}) {
        SCOPED_TRACE(bits);
        std::vector<std::uint8_t> deep = Info8(4, 2, bits);
        EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, deep.data(), -1), 2);
    }
    EXPECT_FALSE(Exists(out));
    for (const BadPath& bad : Unwritable()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(ImageWriteGifFile(bad.path.c_str(), 1, frames, info.data(), -1), 3);
    }
    // No frames at all: a file of header, colour table and trailer.
    for (std::int32_t count : {0, -1, INT_MIN}) {
        EXPECT_EQ(ImageWriteGifFile(out.c_str(), count, nullptr, info.data(), -1), 0);
        const std::vector<std::uint8_t> file = fixture::ReadFile(dir_.file("out.gif"));
        ASSERT_GE(file.size(), 14u);
        EXPECT_EQ(file.back(), 0x3B);
    }
    // A transparent index outside -1 to 255 would reach the file as another colour.
    ::unlink(dir_.file("out.gif").c_str());
    for (std::int32_t index : {256, 70000, -2, INT_MIN, INT_MAX})
        EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, info.data(), index), 1);
    EXPECT_FALSE(Exists(out));
    EXPECT_EQ(ImageWriteGifFile(out.c_str(), 1, frames, info.data(), 255), 0);
    EXPECT_EQ(rows, rowsBefore);
    EXPECT_EQ(info, infoBefore);
}

TEST_F(ExportsAbuse, TheJpegWriterRefusesBadArgumentsWithoutCreatingAFile) {
    const std::wstring out = Path("out.jpg");
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = 4;
    h.biHeight = 2;
    std::vector<std::uint8_t> rows(64, 0x40);
    const std::vector<std::uint8_t> rowsBefore = rows;
    EXPECT_EQ(ImageWriteJpegFile(nullptr, 75, rows.data(), &h, 0), 1);
    EXPECT_EQ(ImageWriteJpegFile(out.c_str(), 75, nullptr, &h, 0), 1);
    EXPECT_EQ(ImageWriteJpegFile(out.c_str(), 75, rows.data(), nullptr, 0), 1);
    for (LONG side : {0, -1, 65501, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(side);
        BITMAPINFOHEADER wide = h, tall = h;
        wide.biWidth = side;
        tall.biHeight = side;
        EXPECT_EQ(ImageWriteJpegFile(out.c_str(), 75, rows.data(), &wide, 0), 1);
        EXPECT_EQ(ImageWriteJpegFile(out.c_str(), 75, rows.data(), &tall, 1), 1);
    }
    EXPECT_FALSE(Exists(out));
    for (const BadPath& bad : Unwritable()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(ImageWriteJpegFile(bad.path.c_str(), 75, rows.data(), &h, 0), 3);
    }
    // Qualities out of range are taken to the nearest good one, or the default.
    for (std::int32_t q : {INT_MIN, -1, 0, 101, INT_MAX}) {
        SCOPED_TRACE(q);
        EXPECT_EQ(ImageWriteJpegFile(out.c_str(), q, rows.data(), &h, 0xFFFFFFFF), 0);
    }
    EXPECT_EQ(rows, rowsBefore);
}

TEST_F(ExportsAbuse, TheAnimatedGifWriterRefusesBadRecordsWithoutCreatingAFile) {
    const std::wstring out = Path("anim.gif");
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 2, Gradient));
    builders_test::Bitmap other(builders_test::MakeBitmap(5, 2, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    GifAnimRecord good{};
    good.kind = 0x2C;
    good.width = 4;
    good.height = 2;
    good.bitmap = bitmap.get();
    std::vector<std::uint8_t> palette(1024, 0x33);
    const std::vector<std::uint8_t> paletteBefore = palette;

    EXPECT_EQ(ImageWriteAnimGifFile(nullptr, 1, -1, &good, nullptr), 1);
    EXPECT_EQ(ImageWriteAnimGifFile(out.c_str(), 1, -1, nullptr, nullptr), 1);
    EXPECT_EQ(ImageWriteAnimGifFile(out.c_str(), 0, -1, &good, nullptr), 0);
    EXPECT_EQ(ImageWriteAnimGifFile(out.c_str(), INT_MIN, -1, nullptr, nullptr), 0);
    EXPECT_FALSE(Exists(out));
    struct Case {
        const char* what;
        std::uint32_t GifAnimRecord::*slot;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"no bitmap", &GifAnimRecord::bitmap, 0},
        {"a global block as the bitmap", &GifAnimRecord::bitmap, block},
        {"a palette as the bitmap", &GifAnimRecord::bitmap, stock},
        {"a bitmap of another size", &GifAnimRecord::bitmap, other.get()},
        {"a handle never issued", &GifAnimRecord::bitmap, 0x7FFFFFF0},
        {"width 0", &GifAnimRecord::width, 0},
        {"height 0", &GifAnimRecord::height, 0},
        {"width above 65535", &GifAnimRecord::width, 65536},
        {"height of all ones", &GifAnimRecord::height, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GifAnimRecord records[2] = {good, good};
        records[1].*c.slot = c.value;
        const GifAnimRecord copy = records[1];
        EXPECT_EQ(ImageWriteAnimGifFile(out.c_str(), 2, 0, records, palette.data()), 1);
        EXPECT_EQ(std::memcmp(&records[1], &copy, sizeof copy), 0) << "the records are only read";
        EXPECT_FALSE(Exists(out));
    }
    for (const BadPath& bad : Unwritable()) {
        SCOPED_TRACE(bad.what);
        GifAnimRecord record = good;
        EXPECT_EQ(ImageWriteAnimGifFile(bad.path.c_str(), 1, 0, &record, nullptr), 3);
        EXPECT_EQ(std::memcmp(&record, &good, sizeof good), 0);
    }
    EXPECT_EQ(palette, paletteBefore);
    EXPECT_EQ(GlobalSize(block), 64u);
    GlobalFree(block);
    // The caller's palette stays installed as the caller palette: a state of the library,
    // not a block.
}

// ---------------------------------------------------------------------------------------
// Builders from DIBs.

DibParts SmallDib(LONG width, LONG height, WORD bits) {
    DibParts d;
    d.info = Info8(width, height, bits);
    for (int i = 0; i < 256; ++i) {
        d.info[40 + 4 * i] = BYTE(i);
        d.info[41 + 4 * i] = BYTE(255 - i);
    }
    d.rows.assign(64, 3);
    return d;
}

// DIB headers the engine cannot load: each a failure of the load, not of the builder.
std::vector<std::pair<std::string, DibParts>> BadDibs() {
    std::vector<std::pair<std::string, DibParts>> bad;
    bad.push_back({"width 0", SmallDib(0, 2)});
    bad.push_back({"height 0", SmallDib(4, 0)});
    bad.push_back({"a depth of 3 bits", SmallDib(4, 2, 3)});
    DibParts planes = SmallDib();
    reinterpret_cast<BITMAPINFOHEADER*>(planes.info.data())->biPlanes = 7;
    bad.push_back({"7 planes", planes});
    DibParts size = SmallDib();
    reinterpret_cast<BITMAPINFOHEADER*>(size.info.data())->biSize = 0xFFFFFFFF;
    bad.push_back({"a header size of all ones", size});
    DibParts compression = SmallDib();
    reinterpret_cast<BITMAPINFOHEADER*>(compression.info.data())->biCompression = 99;
    bad.push_back({"compression 99", compression});
    return bad;
}

// A header whose rows the in-memory file could never hold: the engine is not started.
DibParts HugeDib() {
    DibParts d = SmallDib(0x7FFFFFFF, 0x7FFFFFFF, 24);
    return d;
}

TEST_F(ExportsAbuse, ConvertBitmapBitsAnswersZeroAndKeepsItsPromisesOnAbuse) {
    DibParts dib = SmallDib();
    Fenced<std::uint32_t> out(11), pal(12), flags(0);
    EXPECT_EQ(ConvertBitmapBits(0, nullptr, dib.rows.data(), &flags, &out, &pal), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), nullptr, &flags, &out, &pal), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &flags, nullptr, &pal), 0u);
    EXPECT_EQ(ConvertBitmapBits(0, dib.info.data(), dib.rows.data(), &flags, &out, nullptr), 0u);
    DibParts huge = HugeDib();
    EXPECT_EQ(ConvertBitmapBits(0, huge.info.data(), huge.rows.data(), &flags, &out, &pal), 0u);
    // Not started: the out words are untouched.
    EXPECT_EQ(out.value, 11u);
    EXPECT_EQ(pal.value, 12u);
    for (auto& [what, bad] : BadDibs()) {
        SCOPED_TRACE(what);
        const std::vector<std::uint8_t> before = bad.info;
        out.value = 11;
        pal.value = 12;
        EXPECT_EQ(
            ConvertBitmapBits(0xFFFFFFFF, bad.info.data(), bad.rows.data(), &flags, &out, &pal),
            0u);
        // A load that failed clears them.
        EXPECT_EQ(out.value | pal.value, 0u);
        EXPECT_EQ(bad.info, before);
    }
    EXPECT_TRUE(out.Intact() && pal.Intact() && flags.Intact());
    // The unused argument really is unused.
    EXPECT_EQ(ConvertBitmapBits(0xFFFFFFFF, dib.info.data(), dib.rows.data(), nullptr, &out, &pal),
              1u);
    EXPECT_EQ(ImageLoadCleanup(&out, &pal), 0);
}

TEST_F(ExportsAbuse, ConvertBitmapImageAnswersZeroOnAbuse) {
    DibParts dib = SmallDib();
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 4, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    Fenced<std::uint32_t> flags(0);
    HDC dc = GetDC(0);
    EXPECT_EQ(ConvertBitmapImage(dc, nullptr, dib.rows.data(), &flags), 0u);
    EXPECT_EQ(ConvertBitmapImage(dc, dib.info.data(), nullptr, &flags), 0u);
    DibParts huge = HugeDib();
    EXPECT_EQ(ConvertBitmapImage(dc, huge.info.data(), huge.rows.data(), &flags), 0u);
    for (auto& [what, bad] : BadDibs()) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ConvertBitmapImage(dc, bad.info.data(), bad.rows.data(), &flags), 0u);
    }
    const std::pair<const char*, HDC> dcs[] = {{"no dc", 0},
                                               {"a released dc", 0},
                                               {"a bitmap as the dc", bitmap.get()},
                                               {"a global block as the dc", block},
                                               {"a handle never issued", 0x1234}};
    ReleaseDC(0, dc);
    for (auto [what, d] : dcs) {
        SCOPED_TRACE(what);
        const HDC use = std::string(what) == "a released dc" ? dc : d;
        EXPECT_EQ(ConvertBitmapImage(use, dib.info.data(), dib.rows.data(), nullptr), 0u);
    }
    EXPECT_TRUE(flags.Intact());
    EXPECT_EQ(GlobalSize(block), 64u);
    GlobalFree(block);
}

TEST_F(ExportsAbuse, CreateAnimationMaskImageAnswersZeroOnAbuse) {
    DibParts dib = SmallDib();
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    Fenced<std::uint32_t> image(21), mask(22), flags(0);
    builders_test::ScreenDc screen;
    const HDC dc = screen.get();
    const void* info = dib.info.data();
    const void* rows = dib.rows.data();
    EXPECT_EQ(CreateAnimationMaskImage(nullptr, &mask, -1, dc, info, rows, &flags), 0u);
    EXPECT_EQ(CreateAnimationMaskImage(&image, nullptr, -1, dc, info, rows, &flags), 0u);
    EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, -1, dc, nullptr, rows, &flags), 0u);
    EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, -1, dc, info, nullptr, &flags), 0u);
    // A null pointer leaves the handles alone.
    EXPECT_EQ(image.value, 21u);
    EXPECT_EQ(mask.value, 22u);
    for (auto& [what, bad] : BadDibs()) {
        SCOPED_TRACE(what);
        image.value = 21;
        mask.value = 22;
        EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, 0, dc, bad.info.data(), bad.rows.data(),
                                           &flags),
                  0u);
        EXPECT_EQ(image.value | mask.value, 0u);
    }
    for (HDC bad : {HDC(0), HDC(block), HDC(0x1234)}) {
        SCOPED_TRACE(bad);
        image.value = 21;
        mask.value = 22;
        EXPECT_EQ(CreateAnimationMaskImage(&image, &mask, -1, bad, info, rows, nullptr), 0u);
        EXPECT_EQ(image.value | mask.value, 0u);
    }
    // Key indexes of any value are a key, not an index into anything.
    for (std::int32_t key : {INT_MIN, -2, 256, 70000, INT_MAX}) {
        SCOPED_TRACE(key);
        ASSERT_EQ(CreateAnimationMaskImage(&image, &mask, key, dc, info, rows, nullptr), 1u);
        EXPECT_TRUE(DeleteObject(image.value));
        EXPECT_TRUE(DeleteObject(mask.value));
    }
    EXPECT_TRUE(image.Intact() && mask.Intact() && flags.Intact());
    GlobalFree(block);
}

// ---------------------------------------------------------------------------------------
// Builders from GDI bitmaps.

TEST_F(ExportsAbuse, CreateRotatedImageAnswersZeroForHandlesOfTheWrongKind) {
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(5, 3, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    const HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    builders_test::ScreenDc screen;
    const HDC dc = screen.get();
    for (HBITMAP bad : {HBITMAP(0), HBITMAP(block), HBITMAP(stock), HBITMAP(dc), HBITMAP(0x1234),
                        HBITMAP(0xFFFFFFFF)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateRotatedImage(dc, bad, 30, 1), 0u);
    }
    for (HDC bad : {HDC(0), HDC(block), HDC(bitmap.get()), HDC(0x1234)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateRotatedImage(bad, bitmap.get(), 30, 1), 0u);
    }
    // Any angle turns: the picture fits a bounded size whatever the degrees.
    for (std::int32_t degrees : {INT_MIN, -721, 0, 359, INT_MAX}) {
        for (std::int32_t fit : {0, 1, -1}) {
            SCOPED_TRACE(testing::Message() << degrees << " fit " << fit);
            builders_test::Bitmap turned(CreateRotatedImage(dc, bitmap.get(), degrees, fit));
            ASSERT_NE(turned.get(), 0u);
            const builders_test::BitmapSize size = builders_test::SizeOf(turned.get());
            EXPECT_LE(size.width, 8);
            EXPECT_LE(size.height, 8);
        }
    }
    EXPECT_EQ(GlobalSize(block), 64u);
    GlobalFree(block);
}

TEST_F(ExportsAbuse, GifBuildersAnswerOneForHandlesOfTheWrongKindAndWriteNothing) {
    const std::wstring out = Path("button.gif");
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 2, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    const HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    std::vector<RGBQUAD> colours(256, RGBQUAD{1, 2, 3, 0});
    const std::uint8_t transparent[3] = {3, 2, 1};
    const HBITMAP good = bitmap.get();
    for (HBITMAP bad : {HBITMAP(0), HBITMAP(block), HBITMAP(stock), HBITMAP(0x1234)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateGIFFromBitmap(bad, 0, out.c_str(), transparent, colours.data()), 1u);
        EXPECT_EQ(CreateGIFButtonFromBitmaps(bad, good, good, 0, out.c_str(), nullptr, nullptr),
                  1u);
        if (bad != 0) {
            EXPECT_EQ(CreateGIFButtonFromBitmaps(good, bad, 0, 0, out.c_str(), nullptr, nullptr),
                      1u);
            EXPECT_EQ(CreateGIFButtonFromBitmaps(good, good, bad, 0, out.c_str(), nullptr, nullptr),
                      1u);
        }
    }
    for (HPALETTE bad : {HPALETTE(block), HPALETTE(good), HPALETTE(0x1234)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateGIFFromBitmap(good, bad, out.c_str(), nullptr, nullptr), 1u);
    }
    EXPECT_EQ(CreateGIFFromBitmap(good, 0, nullptr, nullptr, nullptr), 1u);
    EXPECT_FALSE(Exists(out));
    for (const BadPath& bad : Unwritable()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(CreateGIFFromBitmap(good, 0, bad.path.c_str(), nullptr, nullptr), 1u);
        EXPECT_EQ(CreateGIFButtonFromBitmaps(good, good, 0, stock, bad.path.c_str(), transparent,
                                             colours.data()),
                  1u);
    }
    for (const RGBQUAD& q : colours)
        EXPECT_TRUE(q.rgbBlue == 1 && q.rgbGreen == 2 && q.rgbRed == 3 && q.rgbReserved == 0);
    EXPECT_EQ(GlobalSize(block), 64u);
    GlobalFree(block);
}

TEST_F(ExportsAbuse, TheJpegBuilderAnswersOneForHandlesOfTheWrongKindAndWritesNothing) {
    const std::wstring out = Path("picture.jpg");
    builders_test::Bitmap bitmap(builders_test::MakeBitmap(4, 2, Gradient));
    const HGLOBAL block = GlobalAlloc(GHND, 64);
    const HPALETTE stock = GetStockObject(DEFAULT_PALETTE);
    const HBITMAP good = bitmap.get();
    for (HBITMAP bad : {HBITMAP(0), HBITMAP(block), HBITMAP(stock), HBITMAP(0x1234)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateJPEGFromBitmap(bad, 0, out.c_str(), 75), 1u);
    }
    for (HPALETTE bad : {HPALETTE(block), HPALETTE(good), HPALETTE(0x1234)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateJPEGFromBitmap(good, bad, out.c_str(), 75), 1u);
    }
    EXPECT_EQ(CreateJPEGFromBitmap(good, 0, nullptr, 75), 1u);
    EXPECT_FALSE(Exists(out));
    for (const BadPath& bad : Unwritable()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(CreateJPEGFromBitmap(good, stock, bad.path.c_str(), 75), 1u);
    }
    for (std::int32_t q : {INT_MIN, 0, 101, INT_MAX}) {
        SCOPED_TRACE(q);
        EXPECT_EQ(CreateJPEGFromBitmap(good, 0, out.c_str(), q), 0u);
    }
    EXPECT_EQ(GlobalSize(block), 64u);
    GlobalFree(block);
}

TEST_F(ExportsAbuse, ConvertWebImageAnswersZeroAndLeavesTheNameAloneOnAbuse) {
    const std::wstring bmp = BmpFile();
    wchar_t name[300];
    const auto setName = [&](const std::wstring& s) {
        std::wmemset(name, L'#', 300);
        std::wmemcpy(name, s.c_str(), s.size() + 1);
    };
    const std::wstring base = Path("web");
    setName(base);
    EXPECT_EQ(ImageConvertWebImage(nullptr, name, 1, 75), 0);
    EXPECT_EQ(ImageConvertWebImage(bmp.c_str(), nullptr, 1, 75), 0);
    EXPECT_EQ(std::wstring(name), base);
    for (const BadPath& bad : Unreadable()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(ImageConvertWebImage(bad.path.c_str(), name, 1, 75), 0);
        EXPECT_EQ(std::wstring(name), base);
        EXPECT_EQ(name[base.size() + 1], L'#');
    }
    // A name that cannot take the extension is refused and left as it was.
    const std::wstring longName = Path("") + Repeat(L'n', 252 - Path("").size());
    ASSERT_EQ(longName.size(), 252u);
    setName(longName);
    EXPECT_EQ(ImageConvertWebImage(bmp.c_str(), name, 1, 75), 0);
    EXPECT_EQ(std::wstring(name), longName);
    EXPECT_EQ(name[253], L'#');
    // A name that can take it, in a folder that is not there: extended, but not written.
    const std::wstring missing = Path("missing/web");
    setName(missing);
    EXPECT_EQ(ImageConvertWebImage(bmp.c_str(), name, 1, INT_MIN), 0);
    EXPECT_EQ(std::wstring(name), missing + L".gif");
    EXPECT_EQ(name[missing.size() + 5], L'#');
}

}  // namespace
