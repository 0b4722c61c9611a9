// Format detection by magic and by extension, and ValidImageFile's whole-word matching.
#include <gtest/gtest.h>

#include <vector>

#include "core/mem_stream.h"
#include "engine/format_driver.h"
#include "imagelib.h"

using namespace imagelib;

namespace {

// The detected format of data (with a name that must not matter), or -1 for none.
int Detect(const std::vector<std::uint8_t>& bytes) {
    ImageMemStream* s =
        ImageMemStreamOpen(nullptr, bytes.data(), std::uint32_t(bytes.size()), L"rb");
    ImageMemStreamSeek(s, 5, kSeekSet);  // detection looks at the start, wherever the cursor is
    std::uint32_t format = 99;
    const int r = ImageDetectFormat(L"picture.bmp", &format, s);
    EXPECT_EQ(ImageMemStreamTell(s), 5);
    ImageMemStreamFree(s);
    EXPECT_TRUE(r == 0 || r == 3) << r;
    return r == 0 ? int(format) : -1;
}

TEST(FormatDetect, TheFirstBytesNameTheFormatWhateverTheName) {
    const std::pair<std::vector<std::uint8_t>, int> cases[] = {
        {{'B', 'M', 0, 0}, kFormatBmp},
        {{'B', 'A', 0, 0}, kFormatBmp},
        {{0xFF, 0xD8, 0xFF}, kFormatJpeg},
        {{'G', 'I', 'F', '8'}, kFormatGif},
        {{'I', 'I', 42, 0}, kFormatTiff},
        {{'M', 'M', 0, 42}, kFormatTiff},
        {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, kFormatPng},
        {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}, -1},
        {{0x89, 'P'}, -1},   // the rest of the signature lies past the end
        {{0, 0, 0, 0}, -1},  // a magic slot that holds 0 matches nothing
        {{0}, -1},
        {{'B'}, -1},
        {{'X', 'Y', 'Z'}, -1},
    };
    for (const auto& [bytes, format] : cases)
        EXPECT_EQ(Detect(bytes), format) << int(bytes[0]) << " " << bytes.size() << " bytes";
}

TEST(FormatDetect, ValidImageFileMatchesWholeExtensionsWithoutRegardToCase) {
    for (const wchar_t* yes : {L"photo.JPEG", L"photo.jpg", L"a.rl4", L"archive.tar.gif",
                               L"C:\\x\\y.Png", L"/no/such/dir/z.dib", L"a.tif"}) {
        EXPECT_EQ(ValidImageFile(yes), 1) << yes;
    }
    // Whole words only, after the last dot of the last component.
    for (const wchar_t* no :
         {L"photo.jpe", L"photo.tiff", L"photo", L"photo.", L"a.b/c", L"C:\\a.b\\c", L".\\c",
          L"x.jp", L"x.jpgx", L"x.bmp ", L"x.RL", static_cast<const wchar_t*>(nullptr)}) {
        EXPECT_EQ(ValidImageFile(no), 0) << (no ? no : L"null");
    }
}

}  // namespace
