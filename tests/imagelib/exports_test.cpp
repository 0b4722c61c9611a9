// The exported loaders over files, caller buffers and module resources, compared with an
// independent decoder and with each other, and the shared library's export set.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "caller_palette.h"
#include "fixture_support.h"
#include "imagelib.h"
#include "tracked_memory.h"
#include "win32/global_memory.h"
#include "win32/resources.h"

namespace {

constexpr HMODULE kModule = 4242;

// The bytes of a result DIB, unlocked again afterwards.
std::vector<std::uint8_t> DibBytes(std::uint32_t dib) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(dib));
    std::vector<std::uint8_t> bytes(p, p + GlobalSize(dib));
    GlobalUnlock(dib);
    return bytes;
}

class Exports : public ::testing::TestWithParam<const char*> {
  protected:
    void TearDown() override { Win32UnregisterModuleResources(kModule); }
    fixture::TempDir dir;
};

TEST_P(Exports, FileBufferAndResourceGiveTheSameImageAsAnIndependentDecoder) {
    const std::string path = dir.file("image.bmp");
    const std::string imageType = GetParam();
    ASSERT_TRUE(fixture::Convert({"-size", "23x17", "gradient:red-blue", "-fill", "yellow", "-draw",
                                  "rectangle 3,2 9,6", "-type", imageType, "BMP3:" + path}));
    fixture::RgbImage reference;
    ASSERT_TRUE(fixture::ReferenceDecode(path, fixture::Decoder::Pil, &reference));
    const std::vector<std::uint8_t> bytes = fixture::ReadFile(path);
    ASSERT_TRUE(Win32RegisterResource(kModule, L"Images", L"Gradient", bytes.data(),
                                      static_cast<DWORD>(bytes.size())));

    const std::uint32_t tracked = imagelib::ImageLiveBlockCount();
    const std::uint32_t globals = Win32LiveGlobalBlocks();
    std::uint32_t a[3] = {}, b[3] = {};
    ASSERT_EQ(ImageLoadFile(fixture::Wide(path).c_str(), nullptr, 0, &a[0], &b[0], nullptr), 69);
    ASSERT_EQ(ImageLoadFile(L"/no/such/name.gif", bytes.data(),
                            static_cast<std::uint32_t>(bytes.size()), &a[1], &b[1], nullptr),
              69);
    ASSERT_EQ(ImageLoadResource(kModule, L"gradient", L"IMAGES", &a[2], &b[2], nullptr), 69);

    const std::vector<std::uint8_t> fromFile = DibBytes(a[0]);
    EXPECT_EQ(fixture::CompareRgb(reference, fixture::RgbFromPackedDib(fromFile.data())), "");
    EXPECT_EQ(DibBytes(a[1]), fromFile);
    EXPECT_EQ(DibBytes(a[2]), fromFile);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ImageLoadCleanup(&a[i], &b[i]), 0);
    EXPECT_EQ(imagelib::ImageLiveBlockCount(), tracked);
    EXPECT_EQ(Win32LiveGlobalBlocks(), globals);
}

INSTANTIATE_TEST_SUITE_P(Depths, Exports, ::testing::Values("truecolor", "palette"));

TEST(ExportsStepwise, AResourceLoadsStepByStepLikeAFile) {
    // An 8-bit 2 x 2 image with a 2-entry palette, uncompressed.
    std::vector<std::uint8_t> bmp(14 + 40 + 8 + 8);
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[10] = 14 + 40 + 8;
    bmp[14] = 40;
    bmp[18] = 2;
    bmp[22] = 2;
    bmp[26] = 1;
    bmp[28] = 8;
    bmp[46] = 2;
    bmp[54 + 4 + 2] = 255;  // entry 1 red
    bmp[62] = 1;            // bottom-left pixel
    ASSERT_TRUE(Win32RegisterResource(kModule, RT_BITMAP(), MAKEINTRESOURCEW(7), bmp.data(),
                                      static_cast<DWORD>(bmp.size())));
    std::uint32_t a = 0, b = 0, flags = 0;
    ASSERT_EQ(SerialImageResourceFirst(kModule, MAKEINTRESOURCEW(7), RT_BITMAP(), &a, &b, &flags),
              68);
    int r = 68;
    while (r == 68)
        r = SerialImageNext(&a, &b, &flags, nullptr);
    ASSERT_EQ(r, 69);
    const fixture::RgbImage rgb =
        fixture::RgbFromPackedDib(static_cast<const std::uint8_t*>(GlobalLock(a)));
    ASSERT_EQ(rgb.width, 2);
    EXPECT_EQ(rgb.at(0, 1)[0], 255);  // bottom row, left pixel: red
    EXPECT_EQ(rgb.at(1, 1)[0], 0);
    GlobalUnlock(a);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    Win32UnregisterModuleResources(kModule);
}

TEST(ExportsResources, MissingAndEmptyResourcesFailAndLeaveTheirContextForCleanUp) {
    static const std::uint8_t kNothing[1] = {0};
    ASSERT_TRUE(Win32RegisterResource(kModule, L"T", L"EMPTY", kNothing, 0));
    const std::uint32_t tracked = imagelib::ImageLiveBlockCount();
    std::uint32_t a = 0, b = 0;
    EXPECT_EQ(ImageLoadResource(kModule, L"MISSING", L"T", &a, &b, nullptr), 3);
    EXPECT_NE(a | b, 0u);
    EXPECT_EQ(ImageLoadCleanup(&a, &b), 0);
    EXPECT_EQ(ImageLoadResourceTransIndex(kModule, L"empty", L"t", &a, &b, nullptr, nullptr), 1);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 0);
    EXPECT_EQ(SerialImageCleanup(&a, &b), 1);
    EXPECT_EQ(imagelib::ImageLiveBlockCount(), tracked);
    Win32UnregisterModuleResources(kModule);
}

TEST(ExportsMisc, PngCannotBeWrittenAndTheCallerPaletteIsKept) {
    EXPECT_EQ(ImageWritePngFile(nullptr, nullptr, nullptr, nullptr, nullptr), 2);
    const std::uint32_t colours[6] = {1, 2, 3, 4, 5, 6};
    SetImagePalette(2, colours);
    EXPECT_EQ(imagelib::ImageCallerPalette().count, 2);
    EXPECT_EQ(imagelib::ImageCallerPalette().colours, colours);
    SetImagePalette(0, nullptr);
    EXPECT_EQ(imagelib::ImageCallerPalette().colours, nullptr);
}

TEST(ExportsLibrary, TheSharedLibraryExportsExactlyThePublicFunctions) {
    const std::string command =
        std::string("nm -D --defined-only '") + IMAGELIB_SHARED_LIBRARY + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3 &&
            std::strcmp(type, "T") == 0) {
            exported.insert(name);
        }
    }
    ASSERT_EQ(pclose(pipe), 0);
    const std::set<std::string> expected = {"ImageLoadCleanup",
                                            "ImageLoadFile",
                                            "ImageLoadFileTransIndex",
                                            "ImageLoadResource",
                                            "ImageLoadResourceTransIndex",
                                            "ImageWritePngFile",
                                            "SerialImageCleanup",
                                            "SerialImageFileFirst",
                                            "SerialImageNext",
                                            "SerialImagePercentComplete",
                                            "SerialImageResourceFirst",
                                            "SetImagePalette",
                                            "ValidImageFile"};
    EXPECT_EQ(exported, expected);
}

}  // namespace
