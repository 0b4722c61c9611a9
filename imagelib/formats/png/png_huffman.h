// Huffman decoding tables of the inflater. A code is looked up by the next bits of the
// input, least significant first: a primary table indexed by the first tableBits bits,
// and, for longer codes, a subtable per primary slot indexed by the bits after them. Each
// entry says what the code means (literal, length, end of block, distance, or no code at
// all) and how many bits it takes. Where two literal codes together fit the primary bits,
// the literal/length table's entry holds both, so one lookup decodes two literals.
#pragma once

#include <cstdint>

namespace imagelib {

// Entry layout: bits 0..3 the bits the entry takes (both codes for two literals; bits
// 4..7 are zero, so that the entry itself can be the shift count), bits 8..10 kind, bits
// 12..15 extra bits (length and distance codes; subtable index bits for a subtable link),
// bits 16..31 value (literal, two literals first one low, base length or distance,
// code-length symbol, or subtable offset).
constexpr std::uint32_t kHuffLiteral = 0;  // also: a code-length symbol
constexpr std::uint32_t kHuffLiteralPair = 1;
constexpr std::uint32_t kHuffLength = 2;  // also: a distance
constexpr std::uint32_t kHuffEnd = 3;
constexpr std::uint32_t kHuffSubtable = 4;
constexpr std::uint32_t kHuffInvalid = 5;  // no code, or a symbol beyond the alphabet

// Masked to 6 bits, as a 64-bit shift masks its count: the mask costs nothing there.
inline std::uint32_t HuffCodeBits(std::uint32_t e) {
    return e & 63;
}
inline std::uint32_t HuffExtraBits(std::uint32_t e) {
    return (e >> 12) & 15;
}
inline std::uint32_t HuffKind(std::uint32_t e) {
    return (e >> 8) & 7;
}
inline std::uint32_t HuffValue(std::uint32_t e) {
    return e >> 16;
}
// One or two literals: kinds 0 and 1, the only kinds with bits 9 and 10 clear.
inline bool HuffIsLiterals(std::uint32_t e) {
    return (e & 0x600) == 0;
}
// The bytes such an entry produces: 1 or 2.
inline std::uint32_t HuffLiteralCount(std::uint32_t e) {
    return HuffKind(e) + 1;
}

enum class HuffAlphabet { kLitLen, kDistance, kCodeLength };

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLitLenSymbols = 288;   // 286 and 287 have codes but no meaning
constexpr unsigned kDistanceSymbols = 32;  // 30 and 31 likewise
constexpr unsigned kCodeLengthSymbols = 19;

constexpr unsigned kLitLenTableBits = 11;
constexpr unsigned kDistanceTableBits = 8;
constexpr unsigned kCodeLengthTableBits = 7;  // code-length codes are at most 7 bits long

// Entries a table may need. A subtable of height h hangs under a complete subtree, which
// has at least h + 1 codes, so it costs at most 2^h / (h + 1) entries per code: 16 / 5
// beyond 11 bits (heights up to 4), 128 / 8 beyond 8 bits (heights up to 7). The builder
// checks the sum all the same.
constexpr unsigned kLitLenTableSize = (1u << kLitLenTableBits) + kLitLenSymbols * 16 / 5;
constexpr unsigned kDistanceTableSize = (1u << kDistanceTableBits) + kDistanceSymbols * 16;
constexpr unsigned kCodeLengthTableSize = 1u << kCodeLengthTableBits;

// Builds the table of a canonical code (RFC 1951, 3.2.2) from count code lengths (0 to 15;
// 0 = symbol unused). False for a set of lengths that is no prefix code: over-subscribed,
// or incomplete (allowed only for one literal/length or distance code of length 1), or
// without any code for the literal/length and code-length alphabets. A literal/length
// table gets its two-literal entries.
bool PngBuildHuffCodes(const std::uint8_t* lengths, unsigned count, HuffAlphabet alphabet,
                       std::uint32_t* table, unsigned tableBits, unsigned capacity);

}  // namespace imagelib
