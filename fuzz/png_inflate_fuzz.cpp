// The PNG inflater alone against zlib on the same zlib stream: whatever one accepts the
// other must accept with the same bytes, and what one refuses the other must refuse; and
// the stream handed to the inflater in pieces gives what it gives in one buffer. The
// inflater does not look at the header's check bits, its preset-dictionary flag or the
// Adler-32, so the input's header is made valid first and, for zlib, the Adler-32 of the
// bytes ours produced is put behind the stream.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/png/png_inflate.h"
#include "fuzz_load.h"

namespace {

void Append(void* target, const std::uint8_t* bytes, std::size_t n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(target);
    out->insert(out->end(), bytes, bytes + n);
}

// Hands out a buffer in pieces of 0 to 16 bytes, their sizes following the input's length,
// as IDAT chunks of any size would.
struct Pieces {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    std::size_t turn;
};

bool NextPiece(void* origin, const std::uint8_t** bytes, std::uint64_t* n) {
    auto* p = static_cast<Pieces*>(origin);
    if (p->pos == p->size)
        return false;
    const std::size_t want = (p->turn++ * 7 + p->size) % 17;
    const std::size_t k = want < p->size - p->pos ? want : p->size - p->pos;
    *bytes = p->data + p->pos;
    *n = k;
    p->pos += k;
    return true;
}

// True when zlib reaches the end of the DEFLATE data behind the two header bytes.
bool ZlibEndsRawStream(const std::vector<std::uint8_t>& in) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        fuzz::Fail("zlib cannot start");
    std::vector<std::uint8_t> scratch(1 << 16);
    z.next_in = const_cast<Bytef*>(in.data() + 2);
    z.avail_in = static_cast<uInt>(in.size() - 2);
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_BUF_ERROR && z.avail_out != 0)
            break;  // the input ran out
        if (r == Z_BUF_ERROR)
            r = Z_OK;
    }
    inflateEnd(&z);
    return r == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    std::vector<std::uint8_t> in(data, data + size);
    in[1] &= 0xC0;  // no preset dictionary
    const unsigned rest = (in[0] * 256u + in[1]) % 31;
    if (rest != 0)
        in[1] = static_cast<std::uint8_t>(in[1] + 31 - rest);
    const bool goodHeader = (in[0] & 15) == 8 && (in[0] >> 4) <= 7;

    std::vector<std::uint8_t> ours;
    const imagelib::PngInflateSink sink{&ours, Append};
    std::uint64_t consumed = 0;
    const fuzz::LiveCounts before = fuzz::Live();
    const imagelib::PngInflateResult r =
        imagelib::PngInflate(in.data(), in.size(), sink, &consumed);
    fuzz::ExpectNoLeak(before);
    if (r == imagelib::PngInflateResult::kNoMemory)
        fuzz::Fail("the inflater ran out of memory");

    // The same stream in pieces gives the same outcome, bytes and end.
    std::vector<std::uint8_t> fromPieces;
    Pieces pieces{in.data(), in.size(), 0, 0};
    std::uint64_t consumedInPieces = 0;
    const imagelib::PngInflateResult rp =
        imagelib::PngInflate(imagelib::PngInflateSource{&pieces, NextPiece},
                             imagelib::PngInflateSink{&fromPieces, Append}, &consumedInPieces);
    fuzz::ExpectNoLeak(before);
    if (rp != r || (r == imagelib::PngInflateResult::kOk &&
                    (fromPieces != ours || consumedInPieces != consumed)))
        fuzz::Fail("the stream in pieces inflates otherwise than in one buffer");

    if (r == imagelib::PngInflateResult::kOk) {
        if (consumed < 2 || consumed > in.size())
            fuzz::Fail("the inflater's end lies outside the data");
        std::vector<std::uint8_t> z(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(consumed));
        const uLong adler =
            adler32(adler32(0, nullptr, 0), ours.data(), static_cast<uInt>(ours.size()));
        for (int shift = 24; shift >= 0; shift -= 8)
            z.push_back(static_cast<std::uint8_t>(adler >> shift));
        std::vector<std::uint8_t> theirs(ours.size() + 1);
        uLongf length = theirs.size();
        const int zr = uncompress(theirs.data(), &length, z.data(), z.size());
        if (zr != Z_OK)
            fuzz::Fail("zlib refuses a stream the inflater accepts");
        if (length != ours.size() ||
            (!ours.empty() && std::memcmp(theirs.data(), ours.data(), ours.size()) != 0))
            fuzz::Fail("zlib inflates other bytes than the inflater");
        return 0;
    }
    if (!goodHeader) {
        std::vector<std::uint8_t> theirs(1 << 16);
        uLongf length = theirs.size();
        if (uncompress(theirs.data(), &length, in.data(), in.size()) == Z_OK)
            fuzz::Fail("zlib accepts a header the inflater refuses");
        return 0;
    }
    if (ZlibEndsRawStream(in))
        fuzz::Fail("zlib accepts a stream the inflater refuses");
    return 0;
}
