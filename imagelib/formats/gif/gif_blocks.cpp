#include "formats/gif/gif_blocks.h"

#include "core/result_codes.h"

namespace imagelib {
namespace {

constexpr std::uint8_t kSignature[6] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageIntroducer = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGlobalTableFlag = 0x80;

// The table's size field (and the colour resolution): bits - 1.
std::uint8_t SizeField(int bitsPerPixel) {
    return static_cast<std::uint8_t>(bitsPerPixel - 1);
}

}  // namespace

bool GifDepthWritable(int bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

bool GifWriteHead(GifOutFile* out, std::uint32_t width, std::uint32_t height,
                  const BITMAPINFO* bitmapInfo) {
    const int bits = bitmapInfo->bmiHeader.biBitCount;
    const std::uint8_t packed = kGlobalTableFlag | SizeField(bits) << 4 | SizeField(bits);
    const std::uint8_t tail[3] = {packed, 0, 0};
    if (!out->Write(kSignature, sizeof(kSignature)) || !out->WriteU16(width) ||
        !out->WriteU16(height) || !out->Write(tail, sizeof(tail)))
        return false;
    // The colour table follows the 40-byte header as blue, green, red, reserved.
    const auto* quads =
        reinterpret_cast<const std::uint8_t*>(bitmapInfo) + sizeof(BITMAPINFOHEADER);
    for (int i = 0; i < (1 << bits); ++i) {
        const std::uint8_t* q = quads + 4 * i;
        const std::uint8_t rgb[3] = {q[2], q[1], q[0]};
        if (!out->Write(rgb, sizeof(rgb)))
            return false;
    }
    return true;
}

bool GifWriteLoopExtension(GifOutFile* out, std::uint32_t loopCount) {
    static constexpr std::uint8_t kHead[16] = {kExtensionIntroducer,
                                               0xFF,
                                               0x0B,
                                               'N',
                                               'E',
                                               'T',
                                               'S',
                                               'C',
                                               'A',
                                               'P',
                                               'E',
                                               '2',
                                               '.',
                                               '0',
                                               0x03,
                                               0x01};
    return out->Write(kHead, sizeof(kHead)) && out->WriteU16(loopCount) && out->WriteByte(0);
}

bool GifWriteGraphicControl(GifOutFile* out, std::uint8_t packed, std::uint32_t delay,
                            std::uint32_t transparentIndex) {
    const std::uint8_t head[4] = {kExtensionIntroducer, 0xF9, 0x04, packed};
    const std::uint8_t tail[2] = {static_cast<std::uint8_t>(transparentIndex), 0};
    return out->Write(head, sizeof(head)) && out->WriteU16(delay) && out->Write(tail, sizeof(tail));
}

bool GifWriteImageDescriptor(GifOutFile* out, std::uint32_t left, std::uint32_t top,
                             std::uint32_t width, std::uint32_t height, int bitsPerPixel) {
    return out->WriteByte(kImageIntroducer) && out->WriteU16(left) && out->WriteU16(top) &&
           out->WriteU16(width) && out->WriteU16(height) && out->WriteByte(SizeField(bitsPerPixel));
}

int GifFinishFile(GifOutFile* out) {
    const bool trailer = out->WriteByte(kTrailer);
    const bool closed = out->Close();
    return trailer && closed ? kOk : kWriteError;
}

}  // namespace imagelib
