// Building the inflater's lookup tables from code lengths.
#include "formats/png/png_huffman.h"

#include <cstring>

namespace imagelib {
namespace {

// RFC 1951, 3.2.5: base and extra bits of length symbols 257..285 and distance symbols
// 0..29. The symbols past them (286, 287; 30, 31) belong to no length or distance.
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

std::uint32_t Entry(std::uint32_t bits, std::uint32_t extra, std::uint32_t kind,
                    std::uint32_t value) {
    return bits | kind << 8 | extra << 12 | value << 16;
}

// What symbol means in its alphabet, as an entry of a code of the given length.
std::uint32_t SymbolEntry(HuffAlphabet alphabet, unsigned symbol, unsigned bits) {
    switch (alphabet) {
        case HuffAlphabet::kLitLen:
            if (symbol < 256)
                return Entry(bits, 0, kHuffLiteral, symbol);
            if (symbol == 256)
                return Entry(bits, 0, kHuffEnd, 0);
            if (symbol - 257 < 29)
                return Entry(bits, kLengthExtra[symbol - 257], kHuffLength,
                             kLengthBase[symbol - 257]);
            return Entry(bits, 0, kHuffInvalid, 0);
        case HuffAlphabet::kDistance:
            if (symbol < 30)
                return Entry(bits, kDistanceExtra[symbol], kHuffLength, kDistanceBase[symbol]);
            return Entry(bits, 0, kHuffInvalid, 0);
        case HuffAlphabet::kCodeLength:
            break;
    }
    return Entry(bits, 0, kHuffLiteral, symbol);
}

// Where a literal's code leaves enough of the primary bits to name the next literal's
// code in full, the slot decodes both. A first literal of length bits has the slots
// code | k << bits, k below 2^(tableBits - bits), and the code that follows it is the one
// whose slot is k; those slots are copied first, as pairs may be written over them. The
// slots are written without branches: whether a slot pairs follows the data, not a
// pattern.
void PairLiterals(const std::uint8_t* lengths, unsigned count, const unsigned* codes,
                  std::uint32_t* table, unsigned tableBits) {
    const unsigned literals = count < 256 ? count : 256;
    unsigned shortest = kMaxCodeBits;
    for (unsigned s = 0; s < literals; ++s) {
        if (lengths[s] > 0 && lengths[s] < shortest)
            shortest = lengths[s];
    }
    if (2 * shortest > tableBits)
        return;
    std::uint32_t second[1u << (kLitLenTableBits - 1)];
    std::memcpy(second, table, sizeof(std::uint32_t) << (tableBits - shortest));
    for (unsigned s = 0; s < literals; ++s) {
        const unsigned bits = lengths[s];
        if (bits == 0 || bits + shortest > tableBits)
            continue;
        const unsigned room = tableBits - bits;
        const std::uint32_t alone = Entry(bits, 0, kHuffLiteral, s);
        for (unsigned k = 0; k < 1u << room; ++k) {
            const std::uint32_t next = second[k];
            const bool pair = HuffKind(next) == kHuffLiteral && HuffCodeBits(next) <= room;
            const std::uint32_t both =
                Entry(bits + HuffCodeBits(next), 0, kHuffLiteralPair, s | HuffValue(next) << 8);
            table[codes[s] | k << bits] = pair ? both : alone;
        }
    }
}

// The low bits bits of code in reverse order (bits 1 to 15).
unsigned Reverse(unsigned code, unsigned bits) {
    code = (code >> 1 & 0x5555) | (code & 0x5555) << 1;
    code = (code >> 2 & 0x3333) | (code & 0x3333) << 2;
    code = (code >> 4 & 0x0F0F) | (code & 0x0F0F) << 4;
    code = (code >> 8 & 0x00FF) | (code & 0x00FF) << 8;
    return code >> (16 - bits);
}

// Marks a slot of height whose subtable has been placed.
constexpr std::uint8_t kPlaced = 0x80;

}  // namespace

bool PngBuildHuffCodes(const std::uint8_t* lengths, unsigned count, HuffAlphabet alphabet,
                       std::uint32_t* table, unsigned tableBits, unsigned capacity) {
    if (count > kLitLenSymbols || tableBits > kLitLenTableBits || capacity < 1u << tableBits)
        return false;
    unsigned perLength[kMaxCodeBits + 1] = {};
    unsigned maxBits = 0;
    for (unsigned s = 0; s < count; ++s) {
        if (lengths[s] > kMaxCodeBits)
            return false;
        ++perLength[lengths[s]];
        if (lengths[s] > maxBits)
            maxBits = lengths[s];
    }
    perLength[0] = 0;
    // Kraft sum: codes left free at each length; negative means over-subscribed.
    int left = 1;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        left = left * 2 - static_cast<int>(perLength[len]);
        if (left < 0)
            return false;
    }
    const unsigned primary = 1u << tableBits;
    const std::uint32_t invalid = Entry(0, 0, kHuffInvalid, 0);
    if (maxBits == 0) {
        // No code at all: only a distance code may be empty (a block without matches).
        if (alphabet != HuffAlphabet::kDistance)
            return false;
        for (unsigned i = 0; i < primary; ++i)
            table[i] = invalid;
        return true;
    }
    // An incomplete code is corrupt data, except for the lone code of length 1 that an
    // encoder writes when a block uses only one literal/length or distance symbol.
    if (left > 0 && (alphabet == HuffAlphabet::kCodeLength || maxBits != 1))
        return false;

    unsigned next[kMaxCodeBits + 2] = {};
    for (unsigned len = 1, code = 0; len <= kMaxCodeBits; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    // A complete code covers every slot; only the lone-code case leaves some empty.
    if (left > 0) {
        for (unsigned i = 0; i < primary; ++i)
            table[i] = invalid;
    }
    // Each symbol's code, reversed for least-significant-first lookup, and the height of
    // the subtable under each primary slot: its longest code beyond the primary bits.
    unsigned codes[kLitLenSymbols];
    std::uint8_t height[1u << kLitLenTableBits] = {};
    unsigned longCodes = 0;
    for (unsigned s = 0; s < count; ++s) {
        const unsigned len = lengths[s];
        if (len == 0)
            continue;
        codes[s] = Reverse(next[len]++, len);
        if (len > tableBits) {
            ++longCodes;
            const unsigned slot = codes[s] & (primary - 1);
            if (len - tableBits > height[slot])
                height[slot] = static_cast<std::uint8_t>(len - tableBits);
        }
    }
    // Subtables are placed after the primary table in the order their slots first turn
    // up; offset is read only for slots that have one.
    std::uint16_t offset[1u << kLitLenTableBits];
    unsigned used = primary;
    for (unsigned s = 0; s < count && longCodes > 0; ++s) {
        const unsigned len = lengths[s];
        if (len <= tableBits)
            continue;
        --longCodes;
        const unsigned slot = codes[s] & (primary - 1);
        if (height[slot] & kPlaced)
            continue;
        const unsigned size = 1u << height[slot];
        if (used + size > capacity)
            return false;
        offset[slot] = static_cast<std::uint16_t>(used);
        table[slot] = Entry(tableBits, height[slot], kHuffSubtable, used);
        height[slot] |= kPlaced;
        used += size;
    }
    for (unsigned s = 0; s < count; ++s) {
        const unsigned len = lengths[s];
        if (len == 0)
            continue;
        const std::uint32_t e = SymbolEntry(alphabet, s, len);
        if (len <= tableBits) {
            for (unsigned i = codes[s]; i < primary; i += 1u << len)
                table[i] = e;
            continue;
        }
        const unsigned slot = codes[s] & (primary - 1);
        const unsigned rest = codes[s] >> tableBits;
        const unsigned size = 1u << (height[slot] & ~kPlaced);
        for (unsigned i = rest; i < size; i += 1u << (len - tableBits))
            table[offset[slot] + i] = e;
    }
    if (alphabet == HuffAlphabet::kLitLen)
        PairLiterals(lengths, count, codes, table, tableBits);
    return true;
}

}  // namespace imagelib
