#include "zip/engine/ZpHuffmanDecoding.h"

#include <algorithm>

#include "zip/engine/ZpDeflateConstants.h"
#include "zip/engine/ZpExceptions.h"

using namespace ZpDeflate;
using namespace ZpHuffmanEntry;

void ZpBuildDecodingTable(const uint8_t* lengths, int n, int primaryBits, TZpTableKind kind,
                          std::vector<uint32_t>& table) {
  int count[16] = {};
  for (int i = 0; i < n; ++i) count[lengths[i]]++;
  count[0] = 0;
  int maxLen = 0;
  for (int l = 1; l <= 15; ++l)
    if (count[l]) maxLen = l;
  int left = 1;
  for (int l = 1; l <= 15; ++l) {
    left = (left << 1) - count[l];
    if (left < 0) throw EZpZipInflateBlock();
  }
  if (left > 0 && (kind == tkCodeLengths || maxLen > 1)) {
    // An empty distance code is legal when the block has literals only.
    if (!(kind == tkDistance && maxLen == 0)) throw EZpZipInflateBlock();
  }
  const int subBits = std::max(0, maxLen - primaryBits);
  const std::size_t primary = std::size_t{1} << primaryBits;
  int nextCode[16] = {};
  int code = 0;
  for (int l = 1; l <= 15; ++l) {
    code = (code + count[l - 1]) << 1;
    nextCode[l] = code;
  }
  table.assign(primary, Invalid);
  std::vector<int32_t> link(primary, -1);
  auto symbolEntry = [&](int sym, uint32_t bits) -> uint32_t {
    switch (kind) {
      case tkCodeLengths:
        return Symbol(bits, 0, Literal, static_cast<uint32_t>(sym));
      case tkLiteralLength:
        if (sym < 256) return Symbol(bits, 0, Literal, static_cast<uint32_t>(sym));
        if (sym == 256) return Symbol(bits, 0, Exceptional | EndOfBlock, 0);
        if (sym > 285) return Invalid;
        return Symbol(bits, LengthExtra[sym - 257], 0, LengthBase[sym - 257]);
      case tkDistance:
        if (sym > 29) return Invalid;
        return Symbol(bits, DistExtra[sym], 0, DistBase[sym]);
    }
    return Invalid;
  };
  for (int sym = 0; sym < n; ++sym) {
    const int len = lengths[sym];
    if (!len) continue;
    const uint32_t rev = ReverseBits(static_cast<uint32_t>(nextCode[len]++), len);
    if (len <= primaryBits) {
      const uint32_t e = symbolEntry(sym, static_cast<uint32_t>(len));
      for (std::size_t i = rev; i < primary; i += std::size_t{1} << len) table[i] = e;
    } else {
      const uint32_t low = rev & static_cast<uint32_t>(primary - 1);
      if (link[low] < 0) {
        link[low] = static_cast<int32_t>(table.size());
        table[low] = static_cast<uint32_t>(primaryBits) | (static_cast<uint32_t>(subBits) << 8) | Exceptional | Link |
                     (static_cast<uint32_t>(table.size()) << 16);
        table.resize(table.size() + (std::size_t{1} << subBits), Invalid);
      }
      const int rest = len - primaryBits;
      const uint32_t e = symbolEntry(sym, static_cast<uint32_t>(rest));
      const std::size_t base = static_cast<std::size_t>(link[low]);
      for (std::size_t i = rev >> primaryBits; i < (std::size_t{1} << subBits); i += std::size_t{1} << rest)
        table[base + i] = e;
    }
  }
}

