#include "zip/engine/ZpInflater.h"

#include <algorithm>
#include <cstring>

#include "zip/engine/ZpDeflateConstants.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpHuffmanDecoding.h"
#include "zip/engine/ZpUnzipHelper.h"

using namespace ZpDeflate;
using namespace ZpHuffmanEntry;

namespace {

[[noreturn]] void BadBlock() { throw EZpZipInflateBlock(); }

}  // namespace

TZpInflater::TZpInflater(TZpUnzipHelper& owner)
    : FOwner(owner), FIn(InputChunk + 8), FOut(WindowSize + OutChunk + 320) {}

void TZpInflater::Run() {
  bool last = false;
  do {
    last = Bits(1) != 0;
    const uint32_t type = Bits(2);
    switch (type) {
      case 0: StoredBlock(); break;
      case 1: FixedTables(); CodesBlock(); break;
      case 2: DynamicTables(); CodesBlock(); break;
      default: BadBlock();
    }
  } while (!last);
  Flush();
}

void TZpInflater::Truncated() const {
  if (FBitCount < FPadBits) BadBlock();
}

void TZpInflater::RefillSlow() {
  if (FInEnd - FInPos < 8 && !FInputDone) {
    const std::size_t rest = FInEnd - FInPos;
    std::memmove(FIn.data(), FIn.data() + FInPos, rest);
    FInPos = 0;
    FInEnd = rest;
    while (FInEnd < 8 && !FInputDone) {
      const int64_t got = FOwner.ReadInput(FIn.data() + FInEnd, static_cast<int64_t>(InputChunk - FInEnd));
      if (got <= 0) FInputDone = true;
      FInEnd += static_cast<std::size_t>(std::max<int64_t>(got, 0));
    }
  }
  while (FBitCount <= 56) {
    if (FInPos < FInEnd) {
      FBitBuf |= static_cast<uint64_t>(FIn[FInPos++]) << FBitCount;
    } else {
      FPadBits += 8;  // zeros past the end; decoding into them means the data was cut short
    }
    FBitCount += 8;
  }
}

inline void TZpInflater::Refill() {
  if (FBitCount > 56) return;
  if (FInEnd - FInPos >= 8) {
    uint64_t v;
    std::memcpy(&v, FIn.data() + FInPos, 8);
    FBitBuf |= v << FBitCount;
    FInPos += (63 - FBitCount) >> 3;
    FBitCount |= 56;
  } else {
    RefillSlow();
  }
}

uint32_t TZpInflater::Bits(int n) {
  Refill();
  const uint32_t v = static_cast<uint32_t>(FBitBuf & ((uint64_t{1} << n) - 1));
  FBitBuf >>= n;
  FBitCount -= n;
  Truncated();
  return v;
}

void TZpInflater::StoredBlock() {
  const int drop = FBitCount & 7;
  FBitBuf >>= drop;
  FBitCount -= drop;
  const uint32_t len = Bits(16);
  const uint32_t nlen = Bits(16);
  if ((len ^ 0xFFFF) != nlen) BadBlock();
  uint32_t left = len;
  // Whole bytes still in the bit buffer come first.
  while (left && FBitCount - FPadBits >= 8) {
    Room(1);
    FOut[FOp++] = static_cast<uint8_t>(FBitBuf);
    FBitBuf >>= 8;
    FBitCount -= 8;
    --left;
  }
  if (left && FBitCount > 0) {
    // Only padding can remain here.
    BadBlock();
  }
  if (left) {
    FBitBuf = 0;
    FBitCount = 0;
    FPadBits = 0;
  }
  while (left) {
    if (FInPos == FInEnd) {
      if (FInputDone) BadBlock();
      FInPos = 0;
      FInEnd = 0;
      const int64_t got = FOwner.ReadInput(FIn.data(), InputChunk);
      if (got <= 0) BadBlock();
      FInEnd = static_cast<std::size_t>(got);
    }
    Room(1);
    const std::size_t n = std::min<std::size_t>({left, FInEnd - FInPos, FOut.size() - 320 - FOp});
    std::memcpy(FOut.data() + FOp, FIn.data() + FInPos, n);
    FOp += n;
    FInPos += n;
    left -= static_cast<uint32_t>(n);
  }
}

void TZpInflater::FixedTables() {
  if (FFixedBuilt) {
    FLit.swap(FFixedLit);
    FDist.swap(FFixedDist);
    FUsingFixed = true;
    return;
  }
  uint8_t lens[320];
  int i = 0;
  for (; i < 144; ++i) lens[i] = 8;
  for (; i < 256; ++i) lens[i] = 9;
  for (; i < 280; ++i) lens[i] = 7;
  for (; i < 288; ++i) lens[i] = 8;
  ZpBuildDecodingTable(lens, 288, LitBits, tkLiteralLength, FFixedLit);
  for (i = 0; i < 30; ++i) lens[i] = 5;
  // Codes 30 and 31 exist in the fixed code but are invalid.
  lens[30] = lens[31] = 5;
  ZpBuildDecodingTable(lens, 32, DistBits, tkDistance, FFixedDist);
  FFixedBuilt = true;
  FixedTables();
}

void TZpInflater::ReleaseFixed() {
  if (FUsingFixed) {
    FLit.swap(FFixedLit);
    FDist.swap(FFixedDist);
    FUsingFixed = false;
  }
}

void TZpInflater::DynamicTables() {
  const int nlen = static_cast<int>(Bits(5)) + 257;
  const int ndist = static_cast<int>(Bits(5)) + 1;
  const int ncode = static_cast<int>(Bits(4)) + 4;
  if (nlen > 286 || ndist > 30) BadBlock();
  uint8_t codeLens[19] = {};
  for (int i = 0; i < ncode; ++i) codeLens[CodeLengthOrder[i]] = static_cast<uint8_t>(Bits(3));
  std::vector<uint32_t> clTable;
  ZpBuildDecodingTable(codeLens, 19, 7, tkCodeLengths, clTable);
  uint8_t lens[286 + 30] = {};
  int i = 0;
  while (i < nlen + ndist) {
    Refill();
    const uint32_t e = clTable[FBitBuf & 0x7F];
    if (((e >> 8) & 0xFF) == KindInvalid) BadBlock();
    Drop(e & 0xFF);
    const uint32_t sym = e >> 16;
    if (sym < 16) {
      lens[i++] = static_cast<uint8_t>(sym);
      continue;
    }
    int repeat;
    uint8_t value = 0;
    if (sym == 16) {
      if (i == 0) BadBlock();
      value = lens[i - 1];
      repeat = 3 + static_cast<int>(Bits(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(Bits(3));
    } else {
      repeat = 11 + static_cast<int>(Bits(7));
    }
    if (i + repeat > nlen + ndist) BadBlock();
    while (repeat--) lens[i++] = value;
  }
  if (lens[256] == 0) BadBlock();
  ReleaseFixed();
  ZpBuildDecodingTable(lens, nlen, LitBits, tkLiteralLength, FLit);
  ZpBuildDecodingTable(lens + nlen, ndist, DistBits, tkDistance, FDist);
}

inline void TZpInflater::Drop(uint32_t n) {
  FBitBuf >>= n;
  FBitCount -= static_cast<int>(n);
}

// Makes room for n more output bytes (n <= 258), flushing and sliding the window.
inline void TZpInflater::Room(std::size_t n) {
  if (FOp + n > WindowSize + OutChunk) Flush();
}

void TZpInflater::Flush() {
  if (FOp > FFlushed) FOwner.WriteOutput(FOut.data() + FFlushed, static_cast<int64_t>(FOp - FFlushed));
  if (FOp > WindowSize) {
    std::memmove(FOut.data(), FOut.data() + FOp - WindowSize, WindowSize);
    FOp = WindowSize;
  }
  FFlushed = FOp;
}

// Copies a match of len bytes from d back; writes up to 8 bytes past the end (the buffer has room).
inline void TZpInflater::CopyMatch(uint8_t* op, unsigned d, unsigned len) {
  const uint8_t* src = op - d;
  uint8_t* const stop = op + len;
  if (d >= 8) {
    do {
      std::memcpy(op, src, 8);
      op += 8;
      src += 8;
    } while (op < stop);
  } else if (d == 1) {
    std::memset(op, *src, len);
  } else {
    // Lay the pattern down once, then copy from a multiple of d at least 8 back.
    for (int i = 0; i < 8; ++i) op[i] = src[i];
    const unsigned step = (8 + d - 1) / d * d;
    for (op += 8; op < stop; op += 8) std::memcpy(op, op - step, 8);
  }
}

void TZpInflater::CodesBlock() {
  for (;;) {
    if (FastCodes() || SlowCode()) {
      ReleaseFixed();
      return;
    }
  }
}

// Decodes while a whole symbol's input and output fit without checks, in locals; true at the
// block's end, false when the input or the output room runs low.
bool TZpInflater::FastCodes() {
  constexpr std::size_t opLimit = WindowSize + OutChunk - 258;
  if (FPadBits != 0 || FInEnd < 8) return false;
  const std::size_t inLimit = FInEnd - 8;
  const uint32_t* lit = FLit.data();
  const uint32_t* dist = FDist.data();
  const uint8_t* in = FIn.data();
  uint8_t* out = FOut.data();
  uint64_t buf = FBitBuf;
  unsigned count = static_cast<unsigned>(FBitCount);
  std::size_t inPos = FInPos;
  std::size_t op = FOp;
  bool end = false;
  constexpr uint64_t litMask = (1u << LitBits) - 1;
  constexpr uint64_t distMask = (1u << DistBits) - 1;
  while (inPos <= inLimit && op <= opLimit) {
    if (count < 48) {
      uint64_t v;
      std::memcpy(&v, in + inPos, 8);
      buf |= v << count;
      inPos += (63 - count) >> 3;
      count |= 56;
    }
    uint32_t e = lit[buf & litMask];
    uint32_t kind = (e >> 8) & 0xFF;
    if (kind == KindLink) {
      buf >>= LitBits;
      count -= LitBits;
      e = lit[(e >> 16) + (buf & ((1u << (e & 0xFF)) - 1))];
      kind = (e >> 8) & 0xFF;
    }
    buf >>= e & 0xFF;
    count -= e & 0xFF;
    if (kind == KindLiteral) {
      out[op++] = static_cast<uint8_t>(e >> 16);
      continue;
    }
    if (kind == KindEnd) {
      end = true;
      break;
    }
    if (kind == KindInvalid) BadBlock();
    uint32_t extra = kind - KindBase;
    const uint32_t len = (e >> 16) + static_cast<uint32_t>(buf & ((1u << extra) - 1));
    buf >>= extra;
    count -= extra;
    e = dist[buf & distMask];
    kind = (e >> 8) & 0xFF;
    if (kind == KindLink) {
      buf >>= DistBits;
      count -= DistBits;
      e = dist[(e >> 16) + (buf & ((1u << (e & 0xFF)) - 1))];
      kind = (e >> 8) & 0xFF;
    }
    buf >>= e & 0xFF;
    count -= e & 0xFF;
    if (kind < KindBase || kind >= KindEnd) BadBlock();
    extra = kind - KindBase;
    const uint32_t d = (e >> 16) + static_cast<uint32_t>(buf & ((1u << extra) - 1));
    buf >>= extra;
    count -= extra;
    if (d > op) BadBlock();  // before the start of the data
    CopyMatch(out + op, d, len);
    op += len;
  }
  FBitBuf = buf;
  FBitCount = static_cast<int>(count);
  FInPos = inPos;
  FOp = op;
  return end;
}

// One symbol with every check, near the ends of the input and of the output room.
bool TZpInflater::SlowCode() {
  const uint32_t* lit = FLit.data();
  const uint32_t* dist = FDist.data();
  constexpr uint64_t litMask = (1u << LitBits) - 1;
  constexpr uint64_t distMask = (1u << DistBits) - 1;
  Room(258);
  // One refill covers a longest length code with its distance (48 bits).
  if (FBitCount < 48) Refill();
  uint32_t e = lit[FBitBuf & litMask];
  uint32_t kind = (e >> 8) & 0xFF;
  if (kind == KindLink) {
    Drop(LitBits);
    e = lit[(e >> 16) + (FBitBuf & ((1u << (e & 0xFF)) - 1))];
    kind = (e >> 8) & 0xFF;
  }
  Drop(e & 0xFF);
  if (kind == KindLiteral) {
    Truncated();
    FOut[FOp++] = static_cast<uint8_t>(e >> 16);
    return false;
  }
  if (kind == KindEnd) {
    Truncated();
    return true;
  }
  if (kind == KindInvalid) BadBlock();
  uint32_t extra = kind - KindBase;
  const uint32_t len = (e >> 16) + static_cast<uint32_t>(FBitBuf & ((1u << extra) - 1));
  Drop(extra);
  e = dist[FBitBuf & distMask];
  kind = (e >> 8) & 0xFF;
  if (kind == KindLink) {
    Drop(DistBits);
    e = dist[(e >> 16) + (FBitBuf & ((1u << (e & 0xFF)) - 1))];
    kind = (e >> 8) & 0xFF;
  }
  Drop(e & 0xFF);
  if (kind < KindBase || kind >= KindEnd) BadBlock();
  extra = kind - KindBase;
  const uint32_t d = (e >> 16) + static_cast<uint32_t>(FBitBuf & ((1u << extra) - 1));
  Drop(extra);
  Truncated();
  if (d > FOp) BadBlock();  // before the start of the data
  CopyMatch(FOut.data() + FOp, d, len);
  FOp += len;
  return false;
}
