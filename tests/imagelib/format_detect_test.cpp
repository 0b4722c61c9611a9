// Format detection by magic and by extension, and the name helpers behind it.
#include <gtest/gtest.h>

#include <vector>

#include "format_driver.h"
#include "imagelib.h"
#include "mem_stream.h"

using namespace imagelib;

namespace {

// The detected format of data (with a name that must not matter), or -1 for none.
int Detect(const std::vector<std::uint8_t>& bytes, const wchar_t* name = L"x.bmp") {
    ImageMemStream* s =
        ImageMemStreamOpen(nullptr, bytes.data(), static_cast<std::uint32_t>(bytes.size()), L"rb");
    EXPECT_NE(s, nullptr);
    ImageMemStreamSeek(s, 5, kSeekSet);  // detection looks at the start, wherever the cursor is
    std::uint32_t format = 99;
    const int r = ImageDetectFormat(name, &format, s);
    EXPECT_EQ(ImageMemStreamTell(s), 5);
    ImageMemStreamFree(s);
    if (r == 0)
        return static_cast<int>(format);
    EXPECT_EQ(r, 3);
    return -1;
}

TEST(FormatDetect, TheFirstBytesNameTheFormatWhateverTheName) {
    EXPECT_EQ(Detect({'B', 'M', 0, 0}), int(kFormatBmp));
    EXPECT_EQ(Detect({'B', 'A', 0, 0}), int(kFormatBmp));
    EXPECT_EQ(Detect({0xFF, 0xD8, 0xFF}), int(kFormatJpeg));
    EXPECT_EQ(Detect({'G', 'I', 'x'}), int(kFormatGif));
    EXPECT_EQ(Detect({'I', 'I', 42, 0}), int(kFormatTiff));
    EXPECT_EQ(Detect({'M', 'M', 0, 42}), int(kFormatTiff));
    EXPECT_EQ(Detect({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), int(kFormatPng));
    EXPECT_EQ(Detect({'G', 'I', 'F', '8'}, L"picture.bmp"), int(kFormatGif));
}

TEST(FormatDetect, IncompleteSignaturesAndEmptyMagicSlotsMatchNothing) {
    EXPECT_EQ(Detect({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}), -1);
    EXPECT_EQ(Detect({0x89, 'P'}), -1);  // the rest of the signature lies past the end
    EXPECT_EQ(Detect({0, 0, 0, 0}), -1);
    EXPECT_EQ(Detect({0}), -1);
    EXPECT_EQ(Detect({'B'}), -1);
    EXPECT_EQ(Detect({'X', 'Y', 'Z'}), -1);
}

TEST(FormatDetect, WithoutDataTheWholeExtensionDecides) {
    std::uint32_t format = 99;
    EXPECT_EQ(ImageDetectFormat(L"/pics/a.rl4", &format, nullptr), 0);
    EXPECT_EQ(format, kFormatBmp);
    EXPECT_EQ(ImageDetectFormat(L"photo.JPEG", &format, nullptr), 0);
    EXPECT_EQ(format, kFormatJpeg);
    EXPECT_EQ(ImageDetectFormat(L"a.tif", &format, nullptr), 0);
    EXPECT_EQ(format, kFormatTiff);
    EXPECT_EQ(ImageDetectFormat(nullptr, &format, nullptr), 3);
    EXPECT_EQ(ImageDetectFormat(L"name", &format, nullptr), 3);
}

TEST(FormatDetect, ValidImageFileLooksOnlyAtTheName) {
    for (const wchar_t* yes : {L"photo.JPEG", L"photo.jpg", L"a.rl4", L"archive.tar.gif",
                               L"C:\\x\\y.Png", L"/no/such/dir/z.dib"}) {
        EXPECT_EQ(ValidImageFile(yes), 1) << yes;
    }
    for (const wchar_t* no : {L"photo.jpe", L"photo.tiff", L"photo", L"photo.", L"a.b/c", L"x.jp",
                              L"x.jpgx", L"x.bmp ", L"x.RL"}) {
        EXPECT_EQ(ValidImageFile(no), 0) << no;
    }
    EXPECT_EQ(ValidImageFile(nullptr), 0);
}

TEST(ImageNames, TheExtensionFollowsTheLastDotOfTheLastComponent) {
    const wchar_t* path = L"C:\\a\\b.gif";
    EXPECT_EQ(ImageFileExtension(path), path + 7);
    EXPECT_EQ(ImageFileExtension(L"C:\\a.b\\c"), nullptr);
    EXPECT_EQ(ImageFileExtension(L"/a.b/c"), nullptr);
    EXPECT_EQ(ImageFileExtension(L".\\c"), nullptr);
    EXPECT_EQ(ImageFileExtension(L"name"), nullptr);
    EXPECT_EQ(ImageFileExtension(nullptr), nullptr);
}

TEST(ImageNames, NamesMatchWithoutRegardToCaseOverTheCount) {
    EXPECT_TRUE(ImageNameMatch(L"GIF", L"gif", 4));
    EXPECT_FALSE(ImageNameMatch(L"GIF", L"gifx", 5));
    EXPECT_TRUE(ImageNameMatch(L"GIF", L"gifx", 3));
    EXPECT_TRUE(ImageNameMatch(L"a", L"b", 0));
    EXPECT_FALSE(ImageNameMatch(L"\u00C9", L"\u00E9", 2));  // only ASCII letters fold
}

}  // namespace
