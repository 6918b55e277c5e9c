// Decoding tables for deflate's canonical Huffman codes: a primary table indexed by the next bits
// of the stream, with second-level tables for the longer codes.
#pragma once

#include <cstdint>
#include <vector>

// A table entry, laid out so that the inflate loop needs one look-up and a test of one bit for a
// literal: bits 0-4 the bits to drop (code and extra bits together), 8-11 the code's own length,
// 16-31 the value (the literal, the base of a length or distance, a second-level table's offset).
// A primary literal entry whose bits hold a second short literal too carries both (the first in
// bits 16-23) and the Pair bit in place of the length.
namespace ZpHuffmanEntry {
constexpr uint32_t Literal = 0x8000;
constexpr uint32_t Exceptional = 0x4000;  // end of block, link or invalid
constexpr uint32_t EndOfBlock = 0x2000;
constexpr uint32_t Link = 0x1000;         // bits 0-4: the primary bits; 8-11: the second level's bits
constexpr uint32_t Pair = 0x0100;         // with Literal: two literals

constexpr uint32_t Symbol(uint32_t codeLen, uint32_t extra, uint32_t flags, uint32_t value) {
  return (codeLen + extra) | (codeLen << 8) | flags | (value << 16);
}
constexpr uint32_t Invalid = Exceptional;

inline uint32_t DropBits(uint32_t e) { return e & 0x1F; }
inline uint32_t CodeBits(uint32_t e) { return (e >> 8) & 0xF; }
inline uint32_t Value(uint32_t e) { return e >> 16; }
// The number of literals of a literal entry.
inline uint32_t LiteralCount(uint32_t e) { return 1 + ((e >> 8) & 1); }
}  // namespace ZpHuffmanEntry

enum TZpTableKind { tkCodeLengths, tkLiteralLength, tkDistance };

constexpr int MaxPrimaryBits = 11;

// Over-subscribed or (beyond the one-code case) incomplete codes raise EZpZipInflateBlock. Pairs
// of literals cost a pass over the primary table: a block too short to repay it goes without.
void ZpBuildDecodingTable(const uint8_t* lengths, int n, int primaryBits, TZpTableKind kind,
                          std::vector<uint32_t>& table, bool pairs = true);
