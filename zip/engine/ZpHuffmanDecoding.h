// Decoding tables for deflate's canonical Huffman codes: a primary table indexed by the next bits
// of the stream, with second-level tables for the longer codes.
#pragma once

#include <cstdint>
#include <vector>

// A table entry: bits 0-7 the bits to drop, 8-15 the kind, 16-31 the value.
namespace ZpHuffmanEntry {
constexpr uint32_t KindLiteral = 0x00;
constexpr uint32_t KindBase = 0x10;  // plus the count of extra bits
constexpr uint32_t KindEnd = 0x40;
constexpr uint32_t KindLink = 0x80;
constexpr uint32_t KindInvalid = 0xC0;

constexpr uint32_t Entry(uint32_t bits, uint32_t kind, uint32_t value) { return bits | (kind << 8) | (value << 16); }
}  // namespace ZpHuffmanEntry

enum TZpTableKind { tkCodeLengths, tkLiteralLength, tkDistance };

// Over-subscribed or (beyond the one-code case) incomplete codes raise EZpZipInflateBlock.
void ZpBuildDecodingTable(const uint8_t* lengths, int n, int primaryBits, TZpTableKind kind,
                          std::vector<uint32_t>& table);
