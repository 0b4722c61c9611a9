// Format detection: by the data's first bytes when there is data, else by the name's
// extension. Detection reads at most the first 8 bytes and never moves the cursor.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/mem_stream.h"
#include "core/result_codes.h"
#include "core/stream_reader.h"
#include "engine/format_driver.h"
#include "imagelib.h"

namespace imagelib {
namespace {

// Detection looks at the first bytes of the data only.
constexpr std::int32_t kHeadBytes = 8;

// The first bytes of the data; bytes beyond its end count as zero, so that a short source
// matches no magic that it does not hold.
struct Head {
    std::uint8_t bytes[kHeadBytes] = {};

    explicit Head(const ImageMemStream* s) {
        if (s->base != nullptr && s->size > 0)
            std::memcpy(bytes, s->base, static_cast<std::size_t>(std::min(s->size, kHeadBytes)));
    }
    std::uint16_t U16(std::int32_t i) const { return LoadU16LE(bytes + i); }
};

// Bytes 2 to 7 of the PNG signature, after its magic 0x89 'P'.
bool HasPngSignatureTail(const Head& head) {
    return head.U16(2) == 0x474E && head.U16(4) == 0x0A0D && head.U16(6) == 0x0A1A;
}

bool MagicMatches(const Head& head, std::uint32_t format, std::uint16_t magic) {
    // An empty slot matches nothing: data starting with two zero bytes is no format.
    if (magic == 0 || head.U16(0) != magic)
        return false;
    return format != kFormatPng || HasPngSignatureTail(head);
}

// True when one word of the extension list equals the whole extension.
bool ExtensionListed(const wchar_t* list, const wchar_t* extension) {
    // The lists are short constants; the buffer holds the longest with room to spare.
    wchar_t words[64];
    std::wcsncpy(words, list, 63);
    words[63] = L'\0';
    const auto n = static_cast<std::uint32_t>(std::wcslen(extension) + 1);
    wchar_t* state = nullptr;
    for (wchar_t* w = std::wcstok(words, L" \t,", &state); w != nullptr;
         w = std::wcstok(nullptr, L" \t,", &state)) {
        if (ImageNameMatch(w, extension, n))
            return true;
    }
    return false;
}

}  // namespace

int ImageDetectFormat(const wchar_t* path, std::uint32_t* format, const ImageMemStream* s) {
    const wchar_t* extension = ImageFileExtension(path);
    if (extension == nullptr)
        extension = L"";
    for (std::uint32_t row = 0; row < kFormatCount; ++row) {
        ImageFormatInfo info{};
        ImageDriverRow(row)->describe(&info);
        bool found = false;
        if (s != nullptr) {
            const Head head(s);
            found = MagicMatches(head, row, info.magic1) || MagicMatches(head, row, info.magic2);
        } else if (path != nullptr) {
            found = ExtensionListed(info.extensions, extension);
        }
        if (found) {
            *format = row;
            return kOk;
        }
    }
    return kNotFound;
}

}  // namespace imagelib

extern "C" int32_t ValidImageFile(const wchar_t* path) {
    std::uint32_t format = 0;
    return imagelib::ImageDetectFormat(path, &format, nullptr) == imagelib::kOk ? 1 : 0;
}
