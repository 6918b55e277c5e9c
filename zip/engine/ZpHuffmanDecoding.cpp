#include "zip/engine/ZpHuffmanDecoding.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "zip/engine/ZpDeflateConstants.h"
#include "zip/engine/ZpExceptions.h"

using namespace ZpDeflate;
using namespace ZpHuffmanEntry;

namespace {

constexpr std::array<uint8_t, 256> MakeReversedBytes() {
  std::array<uint8_t, 256> r{};
  for (uint32_t i = 0; i < 256; ++i) r[i] = static_cast<uint8_t>(ReverseBits(i, 8));
  return r;
}
constexpr std::array<uint8_t, 256> ReversedBytes = MakeReversedBytes();

// The low len bits of code, reversed (len <= 16).
inline uint32_t Reverse(uint32_t code, int len) {
  const uint32_t r = static_cast<uint32_t>(ReversedBytes[code & 0xFF]) << 8 | ReversedBytes[(code >> 8) & 0xFF];
  return r >> (16 - len);
}

}  // namespace

void ZpBuildDecodingTable(const uint8_t* lengths, int n, int primaryBits, TZpTableKind kind,
                          std::vector<uint32_t>& table, bool pairs) {
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
  // The symbols in code order: by length, then by value.
  int start[17] = {};
  for (int l = 1; l <= 15; ++l) start[l + 1] = start[l] + count[l];
  uint16_t sorted[320];
  for (int sym = 0; sym < n; ++sym)
    if (lengths[sym]) sorted[start[lengths[sym]]++] = static_cast<uint16_t>(sym);
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
  // The primary table grows by doubling: once the codes of length l sit in the first 2^l entries,
  // copying those entries up repeats every shorter code wherever its bits match. A table built
  // again for the next block keeps its storage.
  table.resize(primary);
  uint32_t* t = table.data();
  t[0] = t[1] = Invalid;
  std::size_t filled = 2;
  int k = 0;
  for (int l = 1; l <= std::min(maxLen, primaryBits); ++l) {
    for (; filled < (std::size_t{1} << l); filled *= 2) std::memcpy(t + filled, t, filled * sizeof *t);
    for (int c = 0; c < count[l]; ++c)
      t[Reverse(static_cast<uint32_t>(nextCode[l]++), l)] = symbolEntry(sorted[k++], static_cast<uint32_t>(l));
  }
  for (; filled < primary; filled *= 2) std::memcpy(t + filled, t, filled * sizeof *t);
  // Longer codes: each primary entry they share leads to a second-level table. No shorter code
  // holds such an entry, so it is still invalid until its table is made.
  for (int l = primaryBits + 1; l <= maxLen; ++l) {
    for (int c = 0; c < count[l]; ++c) {
      const uint32_t rev = Reverse(static_cast<uint32_t>(nextCode[l]++), l);
      const uint32_t low = rev & static_cast<uint32_t>(primary - 1);
      if (table[low] == Invalid) {
        table[low] = static_cast<uint32_t>(primaryBits) | (static_cast<uint32_t>(subBits) << 8) | Exceptional | Link |
                     (static_cast<uint32_t>(table.size()) << 16);
        table.resize(table.size() + (std::size_t{1} << subBits), Invalid);
      }
      const int rest = l - primaryBits;
      const uint32_t e = symbolEntry(sorted[k++], static_cast<uint32_t>(rest));
      const std::size_t base = Value(table[low]);
      for (std::size_t i = rev >> primaryBits; i < (std::size_t{1} << subBits); i += std::size_t{1} << rest)
        table[base + i] = e;
    }
  }
  if (kind != tkLiteralLength || !pairs) return;
  // No two literal codes fit in the primary bits when even the shortest takes more than half.
  int shortest = 16;
  for (int sym = 0; sym < std::min(n, 256); ++sym)
    if (lengths[sym]) shortest = std::min<int>(shortest, lengths[sym]);
  if (2 * shortest > primaryBits) return;
  // Pairs: where a short literal's code leaves room in the primary bits for a whole second literal
  // code, one look-up gives both. Downwards, so the entry read for the second is still single;
  // without branches, as which entries pair follows no pattern a predictor could learn.
  t = table.data();
  const uint32_t limit = static_cast<uint32_t>(primaryBits);
  for (std::size_t i = primary; i-- > 0;) {
    const uint32_t e = t[i];
    const uint32_t len = DropBits(e);
    const uint32_t e2 = t[i >> len];
    const uint32_t both = len + DropBits(e2);
    const uint32_t pair = both | Literal | Pair | (Value(e) | Value(e2) << 8) << 16;
    const bool fits = (e & e2 & Literal) && both <= limit;
    t[i] = fits ? pair : e;
  }
}
