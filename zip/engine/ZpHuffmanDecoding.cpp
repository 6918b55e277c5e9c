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
  if (primaryBits > MaxPrimaryBits) throw EZpZipInflateBlock();
  const int subBits = std::max(0, maxLen - primaryBits);
  const std::size_t primary = std::size_t{1} << primaryBits;
  int nextCode[16] = {};
  int code = 0;
  for (int l = 1; l <= 15; ++l) {
    code = (code + count[l - 1]) << 1;
    nextCode[l] = code;
  }
  // A table built again for the next block keeps its storage; a complete code writes every
  // entry, so only an incomplete one needs the invalid fill first.
  if (left == 0) table.resize(primary);
  else table.assign(primary, Invalid);
  int32_t link[1 << MaxPrimaryBits];
  std::fill(link, link + primary, -1);
  auto symbolEntry = [&](int sym, uint32_t bits) -> uint32_t {
    switch (kind) {
      // A literal's entry keeps no separate code length: LiteralCount reads that field.
      case tkCodeLengths:
        return bits | Literal | static_cast<uint32_t>(sym) << 16;
      case tkLiteralLength:
        if (sym < 256) return bits | Literal | static_cast<uint32_t>(sym) << 16;
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
  if (kind != tkLiteralLength) return;
  // Pairs: where a short literal's code leaves room in the primary bits for a whole second literal
  // code, one look-up gives both.
  uint32_t single[1 << MaxPrimaryBits];
  std::copy(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(primary), single);
  for (std::size_t i = 0; i < primary; ++i) {
    const uint32_t e = single[i];
    if (!(e & Literal)) continue;
    const uint32_t len = DropBits(e);
    const uint32_t e2 = single[i >> len];
    if ((e2 & Literal) && len + DropBits(e2) <= static_cast<uint32_t>(primaryBits))
      table[i] = (len + DropBits(e2)) | Literal | Pair | (Value(e) | Value(e2) << 8) << 16;
  }
}

