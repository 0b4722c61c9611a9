// The shared library exports exactly the public functions, with C linkage, and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(ExportsLibrary, TheSharedLibraryExportsExactlyThePublicFunctions) {
    const std::string command =
        std::string("nm -D --defined-only --format=just-symbols '") + IMAGELIB_SHARED_LIBRARY + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    for (char name[512]; std::fscanf(pipe, "%511s", name) == 1;)
        exported.insert(name);
    ASSERT_EQ(pclose(pipe), 0);
    std::istringstream names(
        "ConvertBitmapBits ConvertBitmapImage CreateAnimationMaskImage CreateGIFButtonFromBitmaps "
        "CreateGIFFromBitmap CreateJPEGFromBitmap CreateRotatedImage ImageConvertWebImage "
        "ImageCountGIFFrames ImageLoadCleanup ImageLoadFile ImageLoadFileTransIndex "
        "ImageLoadGIFAnimation ImageLoadResource ImageLoadResourceTransIndex ImageSplitWebImage "
        "ImageWriteAnimGifFile ImageWriteGifFile ImageWriteJpegFile ImageWritePngFile "
        "SerialImageCleanup SerialImageFileFirst SerialImageNext SerialImagePercentComplete "
        "SerialImageResourceFirst SetImagePalette ValidImageFile");
    EXPECT_EQ(exported, std::set<std::string>(std::istream_iterator<std::string>(names), {}));
}

}  // namespace
