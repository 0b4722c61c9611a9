#include "colour/palettes.h"

#include <cstring>

#include "colour/colour_reduce.h"
#include "colour/dither_tables.h"
#include "core/load_flags.h"

namespace imagelib {

const Palette16 DisplayColors16 = {{{0, 0, 0},
                                    {128, 0, 0},
                                    {0, 128, 0},
                                    {128, 128, 0},
                                    {0, 0, 128},
                                    {128, 0, 128},
                                    {0, 128, 128},
                                    {128, 128, 128},
                                    {192, 192, 192},
                                    {255, 0, 0},
                                    {0, 255, 0},
                                    {255, 255, 0},
                                    {0, 0, 255},
                                    {255, 0, 255},
                                    {0, 255, 255},
                                    {255, 255, 255}}};

namespace {

// The GIF creators' palette. Entries 0..9 and 246..255 are the twenty colours that a
// palette display keeps for itself. Between them: a 6 x 6 x 6 cube of the levels 0, 51, ..., 255
// without its black and white corners (214 colours, red slowest), then 22 greys that fall
// between the cube's and the system colours' own greys.
constexpr PaletteEntry3 kGifHeadColors[10] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {164, 200, 240},
};
constexpr PaletteEntry3 kGifTailColors[10] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};
constexpr std::uint8_t kGifExtraGreys[22] = {8,   17,  25,  34,  42,  59,  68,  76,  93,  110, 119,
                                             136, 144, 170, 178, 187, 212, 221, 229, 238, 246, 250};
constexpr int kCubeSide = 6;
constexpr int kCubeStep = 51;

constexpr Palette256 MakeGifPalette() {
    Palette256 palette{};
    int n = 0;
    for (const auto& c : kGifHeadColors) {
        palette[n++] = c;
    }
    for (int r = 0; r < kCubeSide; ++r) {
        for (int g = 0; g < kCubeSide; ++g) {
            for (int b = 0; b < kCubeSide; ++b) {
                const bool black = r == 0 && g == 0 && b == 0;
                const bool white = r == kCubeSide - 1 && g == kCubeSide - 1 && b == kCubeSide - 1;
                if (!black && !white) {
                    palette[n++] = {static_cast<std::uint8_t>(r * kCubeStep),
                                    static_cast<std::uint8_t>(g * kCubeStep),
                                    static_cast<std::uint8_t>(b * kCubeStep)};
                }
            }
        }
    }
    for (auto grey : kGifExtraGreys) {
        palette[n++] = {grey, grey, grey};
    }
    for (const auto& c : kGifTailColors) {
        palette[n++] = c;
    }
    return palette;
}

constexpr Palette256 kGifPalette = MakeGifPalette();
static_assert(kGifPalette[10].blue == 51 && kGifPalette[223].red == 255,
              "the cube fills entries 10..223");
static_assert(kGifPalette[246].red == 255 && kGifPalette[246].blue == 240,
              "the tail colours start at entry 246");

// Squared distances stay below this: 3 * 255^2 < 3 * 65536.
constexpr int kNoDistance = 196608;
// The 16-colour search counts its two greys 8 times their distance unless told otherwise.
constexpr int kGreyWeight = 8;
constexpr int kDarkGreyIndex = 7;
constexpr int kLightGreyIndex = 8;

int SquaredDistance(const PaletteEntry3& c, int red, int green, int blue) {
    const int dr = red - c.red;
    const int dg = green - c.green;
    const int db = blue - c.blue;
    return dr * dr + dg * dg + db * db;
}

template <std::size_t N, class Weigh>
int NearestEntry(const std::array<PaletteEntry3, N>& palette, std::uint8_t red, std::uint8_t green,
                 std::uint8_t blue, int first, int last, Weigh weigh) {
    if (first < 0) {
        first = 0;
    }
    if (last > static_cast<int>(N) - 1) {
        last = static_cast<int>(N) - 1;
    }
    int best = 0;
    int bestDistance = kNoDistance;
    for (int i = first; i <= last; ++i) {
        const int d = weigh(i, SquaredDistance(palette[i], red, green, blue));
        if (d < bestDistance) {
            if (d == 0) {
                return i;
            }
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int Unweighted(int, int d) {
    return d;
}

int FirstEntry(std::uint32_t flags) {
    return (flags & kFlagReduce4NoEntry0) != 0 ? 1 : 0;
}

}  // namespace

const Palette256 GifPalette256 = kGifPalette;
Palette256 UserPalette = kGifPalette;

int ImageNearestColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int first,
                        int last, int noGreyWeighting) {
    // The ditherer asks once per pixel: one flat loop over the 16 entries, the greys'
    // weight folded into a factor. A strictly smaller distance wins, so the earliest of
    // equal ones stays, and an exact match (0) can never be beaten.
    first = first < 0 ? 0 : first;
    last = last > kDisplayColorCount - 1 ? kDisplayColorCount - 1 : last;
    int best = 0;
    int bestDistance = kNoDistance;
    for (int i = first; i <= last; ++i) {
        const PaletteEntry3& c = DisplayColors16[i];
        const int dr = red - c.red;
        const int dg = green - c.green;
        const int db = blue - c.blue;
        const bool grey = i == kDarkGreyIndex || i == kLightGreyIndex;
        const int factor = grey && noGreyWeighting == 0 ? kGreyWeight : 1;
        const int d = (dr * dr + dg * dg + db * db) * factor;
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int ImageNearestColor256(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int first,
                         int last) {
    return NearestEntry(GifPalette256, red, green, blue, first, last, Unweighted);
}

int ImageNearestUserColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return NearestEntry(UserPalette, red, green, blue, 0, kFullPaletteCount - 1, Unweighted);
}

int ImageMatchColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                      std::uint32_t flags) {
    return ImageNearestColor16(red, green, blue, FirstEntry(flags), kDisplayColorCount - 1,
                               (flags & kFlagReduce4PlainGreys) != 0 ? 1 : 0);
}

int ImageMatchColor256(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                       std::uint32_t flags) {
    return ImageNearestColor256(red, green, blue, FirstEntry(flags), kFullPaletteCount - 1);
}

int ImageMatchUserColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        std::uint32_t /*flags*/) {
    return ImageNearestUserColor(red, green, blue);
}

void ImageDisplayPalette256(PaletteEntry3* palette) {
    ImageDitherInit();
    for (int k = 0; k < kFullPaletteCount; ++k) {
        palette[k] = {128, 128, 128};
    }
    for (int r = 0; r < kRedLevelCount; ++r) {
        for (int g = 0; g < kGreenLevelCount; ++g) {
            for (int b = 0; b < kBlueLevelCount; ++b) {
                palette[(r * kGreenLevelCount + g) * kBlueLevelCount + b] = {
                    kRedLevels[r], kGreenLevels[g], kBlueLevels[b]};
            }
        }
    }
}

void ImageDisplayPalette16(PaletteEntry3* palette, std::uint8_t map) {
    ImageDitherInit();
    for (int i = 0; i < kDisplayColorCount; ++i) {
        palette[i] = map == 0 ? DisplayColors16[i]
                              : DisplayColors16[ImageMatchColor16(palette[i].red, palette[i].green,
                                                                  palette[i].blue, 0)];
    }
}

void ImageFixedPalette256(PaletteEntry3* palette) {
    ImageDitherInit();
    std::memcpy(palette, GifPalette256.data(), sizeof(GifPalette256));
}

void ImageUserPaletteExchange(const PaletteEntry3* palette, std::uint8_t store) {
    ImageDitherInit();
    if (store != 0) {
        std::memcpy(UserPalette.data(), palette, sizeof(UserPalette));
    }
}

void ImageChooseGifPalette(const RGBQUAD* callerColours, PaletteEntry3* palette) {
    if (callerColours == nullptr) {
        ImageFixedPalette256(palette);
        return;
    }
    for (int i = 0; i < kFullPaletteCount; ++i) {
        const RGBQUAD& q = callerColours[i];
        palette[i] = PaletteEntry3{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    ImageUserPaletteExchange(palette, 1);
}

void ImageUserPaletteReset() {
    UserPalette = GifPalette256;
}

}  // namespace imagelib
