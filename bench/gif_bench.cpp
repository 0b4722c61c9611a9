// GIF decoding against giflib: a 4000 x 3000 photograph-like picture reduced to 256
// colours by ImageMagick, decoded by ImageLoadFile (flags 0) and by DGifSlurp.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>

#include "bench.h"

namespace {

const std::string& PhotoGif() {
    static const std::string path = bench::WorkFile("photo_4000x3000.gif");
    return path;
}

bool Prepare() {
    if (!bench::ReadFileBytes(PhotoGif()).empty())
        return true;
    const std::string ppm = bench::WorkFile("photo_4000x3000.ppm");
    if (!bench::WritePpm(ppm, bench::MakePhotoRgb(bench::kPhotoWidth, bench::kPhotoHeight),
                         bench::kPhotoWidth, bench::kPhotoHeight))
        return false;
    return bench::Run("/usr/bin/convert '" + ppm + "' -colors 256 '" + PhotoGif() + "'");
}

void DecodeWithGiflib() {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(PhotoGif().c_str(), &error);
    if (gif == nullptr || DGifSlurp(gif) != GIF_OK) {
        std::fprintf(stderr, "giflib cannot decode %s\n", PhotoGif().c_str());
        std::exit(1);
    }
    DGifCloseFile(gif, &error);
}

const bench::Registrar kPhoto{{"GIF", "8-bit 4000x3000 photo", "giflib DGifSlurp", Prepare,
                               [] { bench::LoadWithImagelib(PhotoGif()); }, DecodeWithGiflib}};

}  // namespace
