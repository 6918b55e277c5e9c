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

TZpInflater::TZpInflater() : FIn(new uint8_t[InputChunk + 8]), FOut(new uint8_t[OutSize]) {}

void TZpInflater::Run(TZpUnzipHelper& owner) {
  FOwner = &owner;
  FInPos = FInEnd = 0;
  FInputDone = false;
  FBitBuf = 0;
  FBitCount = FPadBits = 0;
  FOp = FFlushed = 0;
  ReleaseFixed();
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
    std::memmove(FIn.get(), FIn.get() + FInPos, rest);
    FInPos = 0;
    FInEnd = rest;
    while (FInEnd < 8 && !FInputDone) {
      const int64_t got = FOwner->ReadInput(FIn.get() + FInEnd, static_cast<int64_t>(InputChunk - FInEnd));
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
    std::memcpy(&v, FIn.get() + FInPos, 8);
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
      const int64_t got = FOwner->ReadInput(FIn.get(), InputChunk);
      if (got <= 0) BadBlock();
      FInEnd = static_cast<std::size_t>(got);
    }
    Room(1);
    const std::size_t n = std::min<std::size_t>({left, FInEnd - FInPos, OutSize - 320 - FOp});
    std::memcpy(FOut.get() + FOp, FIn.get() + FInPos, n);
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
    if (!(e & Literal)) BadBlock();
    Drop(DropBits(e));
    const uint32_t sym = Value(e);
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
  if (FOp + n > ZpDeflate::WindowSize + OutChunk) Flush();
}

void TZpInflater::Flush() {
  if (FOp > FFlushed) FOwner->WriteOutput(FOut.get() + FFlushed, static_cast<int64_t>(FOp - FFlushed));
  if (FOp > ZpDeflate::WindowSize) {
    std::memmove(FOut.get(), FOut.get() + FOp - ZpDeflate::WindowSize, ZpDeflate::WindowSize);
    FOp = ZpDeflate::WindowSize;
  }
  FFlushed = FOp;
}

// Copies a match of len bytes from d back; writes up to 16 bytes past the end (the buffer has room).
inline void TZpInflater::CopyMatch(uint8_t* op, unsigned d, unsigned len) {
  const uint8_t* src = op - d;
  uint8_t* const stop = op + len;
  if (d >= 16) {
    do {
      std::memcpy(op, src, 16);
      op += 16;
      src += 16;
    } while (op < stop);
  } else if (d >= 8) {
    do {
      std::memcpy(op, src, 8);
      op += 8;
      src += 8;
    } while (op < stop);
  } else {
    // A period under 8: the first eight bytes are the period repeated, and each next eight are the
    // last rotated by 8 mod d bytes; no store has to be read back.
    uint64_t x;
    std::memcpy(&x, src, 8);
    x &= ~uint64_t{0} >> (64 - 8 * d);
    uint64_t w = x;
    for (unsigned s = d; s < 8; s += d) w |= x << (8 * s);
    const unsigned r = 8 % d;
    const unsigned right = 8 * r, left = 8 * (d - r);
    do {
      std::memcpy(op, &w, 8);
      op += 8;
      w = (w >> right) | (w << left);
    } while (op < stop);
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
// block's end, false when the input or the output room runs low. Each turn refills the bit buffer
// to at least 56 bits without a branch: enough for three literals, or a length with its distance.
bool TZpInflater::FastCodes() {
  constexpr std::size_t opLimit = ZpDeflate::WindowSize + OutChunk - 258;
  // A turn moves the input on by at most 10 bytes and reads 8 past where it stands.
  if (FPadBits != 0 || FInEnd < 32) return false;
  const std::size_t inLimit = FInEnd - 32;
  const uint32_t* lit = FLit.data();
  const uint32_t* dist = FDist.data();
  const uint8_t* in = FIn.get();
  uint8_t* out = FOut.get();
  uint64_t buf = FBitBuf;
  unsigned count = static_cast<unsigned>(FBitCount);
  std::size_t inPos = FInPos;
  std::size_t op = FOp;
  bool end = false;
  constexpr uint64_t litMask = (1u << LitBits) - 1;
  constexpr uint64_t distMask = (1u << DistBits) - 1;
  auto refill = [&] {
    uint64_t v;
    std::memcpy(&v, in + inPos, 8);
    buf |= v << count;
    inPos += (63 - count) >> 3;
    count |= 56;
  };
  auto consume = [&](uint32_t n) {
    buf >>= n;
    count -= n;
  };
  while (inPos <= inLimit && op <= opLimit) {
    refill();
    uint32_t e = lit[buf & litMask];
    if (e & Literal) {
      // Up to three literals on one refill (15 bits each at most).
      consume(DropBits(e));
      out[op++] = static_cast<uint8_t>(Value(e));
      e = lit[buf & litMask];
      if (e & Literal) {
        consume(DropBits(e));
        out[op++] = static_cast<uint8_t>(Value(e));
        e = lit[buf & litMask];
        if (e & Literal) {
          consume(DropBits(e));
          out[op++] = static_cast<uint8_t>(Value(e));
          continue;
        }
      }
      refill();  // leaves the low bits, so e still holds
    }
    if (e & Exceptional) {
      if (e & Link) {
        consume(DropBits(e));
        e = lit[Value(e) + (buf & ((1u << CodeBits(e)) - 1))];
        if (e & Literal) {
          consume(DropBits(e));
          out[op++] = static_cast<uint8_t>(Value(e));
          continue;
        }
        refill();
      }
      if (e & EndOfBlock) {
        consume(DropBits(e));
        end = true;
        break;
      }
      if (e & Exceptional) BadBlock();
    }
    // A length with its extra bits, then its distance: 48 bits at most, all in the buffer now.
    uint32_t total = DropBits(e);
    const uint32_t len = Value(e) + static_cast<uint32_t>((buf & ((uint64_t{1} << total) - 1)) >> CodeBits(e));
    consume(total);
    e = dist[buf & distMask];
    if (e & Exceptional) {
      if (!(e & Link)) BadBlock();
      consume(DropBits(e));
      e = dist[Value(e) + (buf & ((1u << CodeBits(e)) - 1))];
      if (e & Exceptional) BadBlock();
    }
    total = DropBits(e);
    const uint32_t d = Value(e) + static_cast<uint32_t>((buf & ((uint64_t{1} << total) - 1)) >> CodeBits(e));
    consume(total);
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
  if ((e & Exceptional) && (e & Link)) {
    Drop(DropBits(e));
    e = lit[Value(e) + (FBitBuf & ((1u << CodeBits(e)) - 1))];
  }
  if (e & Literal) {
    Drop(DropBits(e));
    Truncated();
    FOut[FOp++] = static_cast<uint8_t>(Value(e));
    return false;
  }
  if (e & Exceptional) {
    if (!(e & EndOfBlock)) BadBlock();
    Drop(DropBits(e));
    Truncated();
    return true;
  }
  uint32_t total = DropBits(e);
  const uint32_t len = Value(e) + static_cast<uint32_t>((FBitBuf & ((uint64_t{1} << total) - 1)) >> CodeBits(e));
  Drop(total);
  e = dist[FBitBuf & distMask];
  if (e & Exceptional) {
    if (!(e & Link)) BadBlock();
    Drop(DropBits(e));
    e = dist[Value(e) + (FBitBuf & ((1u << CodeBits(e)) - 1))];
    if (e & Exceptional) BadBlock();
  }
  total = DropBits(e);
  const uint32_t d = Value(e) + static_cast<uint32_t>((FBitBuf & ((uint64_t{1} << total) - 1)) >> CodeBits(e));
  Drop(total);
  Truncated();
  if (d > FOp) BadBlock();  // before the start of the data
  CopyMatch(FOut.get() + FOp, d, len);
  FOp += len;
  return false;
}
