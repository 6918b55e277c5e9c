#include "zip/engine/ZpInflater.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "platform/rtl/Streams.h"

#include "zip/engine/ZpDeflateConstants.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpHuffmanDecoding.h"
#include "zip/engine/ZpUnzipHelper.h"

using namespace ZpDeflate;
using namespace ZpHuffmanEntry;

namespace {

[[noreturn]] void BadBlock() { throw EZpZipInflateBlock(); }

// Writes a literal entry's one or two bytes (two either way).
[[gnu::always_inline]] inline void StoreLiterals(uint8_t* at, uint32_t e) {
  const uint16_t v = static_cast<uint16_t>(Value(e));
  std::memcpy(at, &v, 2);
}

}  // namespace

TZpInflater::TZpInflater() : FIn(new uint8_t[InputChunk + 8]), FOut(new uint8_t[OutSize]) {}

void TZpInflater::Run(TZpUnzipHelper& owner) {
  FOwner = &owner;
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool wide = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  FWideShifts = wide && AllowWideShifts;
#endif
  FInPos = FInEnd = 0;
  FInputDone = false;
  FBitBuf = 0;
  FBitCount = FPadBits = 0;
  ReleaseFixed();
  StartInput();
  StartOutput();
  try {
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
    FinishOutput();
  } catch (...) {
    AbandonOutput();
    throw;
  }
}

void TZpInflater::Truncated() const {
  if (FBitCount < FPadBits) BadBlock();
}

void TZpInflater::RefillSlow() {
  if (FInEnd - FInPos < 8 && !FInputDone) {
    const std::size_t rest = FInEnd - FInPos;
    std::memmove(FIn.get(), FInData + FInPos, rest);
    FInData = FIn.get();
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
      FBitBuf |= static_cast<uint64_t>(FInData[FInPos++]) << FBitCount;
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
    std::memcpy(&v, FInData + FInPos, 8);
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
    FBuf[FOp++] = static_cast<uint8_t>(FBitBuf);
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
      FInData = FIn.get();
      const int64_t got = FOwner->ReadInput(FIn.get(), InputChunk);
      if (got <= 0) BadBlock();
      FInEnd = static_cast<std::size_t>(got);
    }
    Room(1);
    const std::size_t n = std::min<std::size_t>({left, FInEnd - FInPos, FRoom - FOp});
    std::memcpy(FBuf + FOp, FInData + FInPos, n);
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
  std::vector<uint32_t>& clTable = FCodeLen;
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
  // Pairs of literals repay their pass over the table only when the block can hold more literals
  // than the table has entries; the input still to come bounds that.
  const int64_t inputLeft = static_cast<int64_t>(FInEnd - FInPos) + FOwner->FInputLeft;
  ZpBuildDecodingTable(lens, nlen, LitBits, tkLiteralLength, FLit, inputLeft >= PairInputMin);
  ZpBuildDecodingTable(lens + nlen, ndist, DistBits, tkDistance, FDist);
}

inline void TZpInflater::Drop(uint32_t n) {
  FBitBuf >>= n;
  FBitCount -= static_cast<int>(n);
}

inline void TZpInflater::Room(std::size_t n) {
  while (FOp + n > FRoom) MakeRoom();
}

// An item whose data lies whole in a plain memory stream is read where it is.
void TZpInflater::StartInput() {
  FInData = FIn.get();
  TStream* in = FOwner->FInput;
  const int64_t left = FOwner->FInputLeft;
  if (FOwner->FDecryptor || in == FOwner->FOutput || typeid(*in) != typeid(TMemoryStream)) return;
  auto* m = static_cast<TMemoryStream*>(in);
  const int64_t at = m->Position();
  if (at < 0 || m->Size() - at < left) return;
  FInData = m->Memory() + at;
  FInEnd = static_cast<std::size_t>(left);
  FInputDone = true;
  m->SetPosition(at + left);
  FOwner->FInputLeft = 0;
}

void TZpInflater::StartOutput() {
  FDirect = nullptr;
  FBuf = FOut.get();
  FOp = FFlushed = FCounted = 0;
  FRoom = ZpDeflate::WindowSize + OutChunk;
  FProgressAt = 0;
  TStream* out = FOwner->FOutput;
  const int64_t declared = FOwner->FUncompressedSize;
  // A derived stream may do more in Write than keep the bytes.
  if (declared <= 0 || out == FOwner->FInput || typeid(*out) != typeid(TMemoryStream)) return;
  auto* m = static_cast<TMemoryStream*>(out);
  const int64_t at = m->Position();
  const int64_t size = m->Size();
  if (at < 0) return;
  const bool growable = size - at <= declared;
  // Room to spare past the declared size only where the stream had nothing; the declared size
  // comes from outside, so the stream grows with what is decoded, not with what is claimed.
  FDirectCap = static_cast<std::size_t>(declared) + (growable ? 320 : 0);
  FDirectRegion = growable ? std::min<std::size_t>(FDirectCap, std::max<std::size_t>(
                                                                   static_cast<std::size_t>(std::max<int64_t>(size - at, 0)), DirectStep))
                           : FDirectCap;
  if (at + static_cast<int64_t>(FDirectRegion) > size) m->SetSize(at + static_cast<int64_t>(FDirectRegion));
  FDirect = m;
  FDirectDeclared = static_cast<std::size_t>(declared);
  FDirectAt = at;
  FDirectOldSize = size;
  FBuf = m->Memory() + at;
  FRoom = FDirectRegion > 16 ? FDirectRegion - 16 : 0;
}

void TZpInflater::MakeRoom() {
  if (!FDirect) {
    Flush();
  } else if (FDirectRegion < FDirectCap && FDirectRegion < FDirectDeclared) {
    FDirectRegion = std::min(FDirectCap, std::max(FDirectRegion * 2, DirectStep));
    FDirect->SetSize(FDirectAt + static_cast<int64_t>(FDirectRegion));
    FBuf = FDirect->Memory() + FDirectAt;
    FRoom = FDirectRegion - 16;
  } else {
    LeaveDirect();
  }
}

// The last few hundred bytes go through the window: the stream's bytes after them are not to be
// touched, and growing it for the spare room of wide copies would copy it whole.
void TZpInflater::LeaveDirect() {
  Count();
  const std::size_t keep = std::min<std::size_t>(FOp, ZpDeflate::WindowSize);
  std::memcpy(FOut.get(), FBuf + FOp - keep, keep);
  FDirect->SetSize(std::max(FDirectOldSize, FDirectAt + static_cast<int64_t>(FOp)));
  FDirect->SetPosition(FDirectAt + static_cast<int64_t>(FOp));
  FDirect = nullptr;
  FBuf = FOut.get();
  FOp = FFlushed = FCounted = keep;
  FRoom = ZpDeflate::WindowSize + OutChunk;
}

void TZpInflater::Count() {
  if (FOp > FCounted) {
    FOwner->CountOutput(FBuf + FCounted, static_cast<int64_t>(FOp - FCounted));
    FCounted = FOp;
  }
  if (FOwner->FWritten - FProgressAt >= OutChunk) {
    FProgressAt = FOwner->FWritten;
    FOwner->Progress();
  }
}

void TZpInflater::Flush() {
  Count();
  if (FOp > FFlushed) FOwner->PutOutput(FBuf + FFlushed, static_cast<int64_t>(FOp - FFlushed));
  if (FOp > ZpDeflate::WindowSize) {
    std::memmove(FBuf, FBuf + FOp - ZpDeflate::WindowSize, ZpDeflate::WindowSize);
    FOp = ZpDeflate::WindowSize;
  }
  FFlushed = FCounted = FOp;
}

void TZpInflater::FinishOutput() {
  Count();
  if (FDirect) {
    FDirect->SetSize(std::max(FDirectOldSize, FDirectAt + static_cast<int64_t>(FOp)));
    FDirect->SetPosition(FDirectAt + static_cast<int64_t>(FOp));
    FDirect = nullptr;
  } else {
    Flush();
  }
  if (FOwner->FWritten != FProgressAt) FOwner->Progress();
}

// Only what was counted stays: the stream ends where the good bytes do, as if they were written.
void TZpInflater::AbandonOutput() {
  if (!FDirect) return;
  FDirect->SetSize(std::max(FDirectOldSize, FDirectAt + static_cast<int64_t>(FCounted)));
  FDirect->SetPosition(FDirectAt + static_cast<int64_t>(FCounted));
  FDirect = nullptr;
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
    // A period under 8: eight bytes of the period repeated, stored again a whole number of
    // periods further on each time; no store has to be read back. The copies of the period do
    // not overlap, so a multiply lays them side by side.
    static constexpr uint64_t Spread[8] = {0, 0x0101010101010101, 0x0001000100010001, 0x0001000001000001,
                                           0x0000000100000001, 0x0000010000000001, 0x0001000000000001,
                                           0x0100000000000001};
    static constexpr uint8_t Step[8] = {0, 8, 8, 6, 8, 5, 6, 7};
    uint64_t x;
    std::memcpy(&x, src, 8);
    x &= ~uint64_t{0} >> (64 - 8 * d);
    const uint64_t w = x * Spread[d];
    const unsigned step = Step[d];
    do {
      std::memcpy(op, &w, 8);
      op += step;
    } while (op < stop);
  }
}

void TZpInflater::CodesBlock() {
  for (;;) {
    if (FWideShifts ? FastCodesWide() : FastCodes()) break;
    if (FOp - FCounted >= CrcChunk) {
      Count();
      continue;
    }
    if (SlowCode()) break;
  }
  ReleaseFixed();
}

// Decodes while a whole symbol's input and output fit without checks, in locals; true at the
// block's end, false when the input or the output room runs low. Each refill brings the bit buffer
// to at least 56 bits without a branch: enough for four primary literal entries, or a length with
// its distance.
[[gnu::always_inline]] inline bool TZpInflater::FastLoop() {
  // A turn moves the input on by at most 21 bytes and reads 8 past where it stands.
  if (FPadBits != 0 || FInEnd < 32 || FRoom < 258) return false;
  const std::size_t opLimit = std::min(FRoom - 258, FCounted + CrcChunk);
  const std::size_t inLimit = FInEnd - 32;
  const uint32_t* lit = FLit.data();
  const uint32_t* dist = FDist.data();
  const uint8_t* in = FInData;
  uint8_t* out = FBuf;
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
  // Takes an entry (or its bit count): bits 5-7 of an entry are clear, and a shift by the low six
  // bits needs no mask of its own, which keeps one step off the path to the next look-up.
  auto consume = [&](uint32_t e) {
    buf >>= (e & 63);
    count -= DropBits(e);
  };
  // Each turn starts with the bit buffer full and the entry of its first symbol looked up. A
  // turn refills three times at most, 7 bytes each, so it never reads past the data.
  if (inPos > inLimit || op > opLimit) return false;
  refill();
  uint32_t e = lit[buf & litMask];
  while (inPos <= inLimit && op <= opLimit) {
    if (e & Literal) {
      // Up to four primary entries on one refill (11 bits each at most), one or two literals each;
      // both bytes are stored either way, the room past the end allows it.
      auto literal = [&] {
        consume(e);
        StoreLiterals(out + op, e);
        op += LiteralCount(e);
        e = lit[buf & litMask];
      };
      literal();
      if (e & Literal) {
        literal();
        if (e & Literal) {
          literal();
          if (e & Literal) {
            literal();
            refill();
            e = lit[buf & litMask];  // the look-up before the refill may have lacked bits
            continue;
          }
        }
      }
      refill();  // leaves the low bits, so e still holds
    }
    if (e & Exceptional) {
      if (e & Link) {
        consume(e);
        e = lit[Value(e) + (buf & ((1u << CodeBits(e)) - 1))];
        if (e & Literal) {
          consume(e);
          out[op++] = static_cast<uint8_t>(Value(e));
          refill();
          e = lit[buf & litMask];
          continue;
        }
        refill();
      }
      if (e & EndOfBlock) {
        consume(e);
        end = true;
        break;
      }
      if (e & Exceptional) BadBlock();
    }
    // A length with its extra bits, then its distance: 48 bits at most, all in the buffer now.
    // The values come from a copy of the bits, so the next look-up waits only for the shift.
    uint64_t bits = buf;
    consume(e);
    const uint32_t len = Value(e) + static_cast<uint32_t>((bits & ((uint64_t{1} << DropBits(e)) - 1)) >> CodeBits(e));
    e = dist[buf & distMask];
    if (e & Exceptional) {
      if (!(e & Link)) BadBlock();
      consume(e);
      e = dist[Value(e) + (buf & ((1u << CodeBits(e)) - 1))];
      if (e & Exceptional) BadBlock();
    }
    bits = buf;
    consume(e);
    const uint32_t d = Value(e) + static_cast<uint32_t>((bits & ((uint64_t{1} << DropBits(e)) - 1)) >> CodeBits(e));
    // The next symbol's look-up goes ahead of the copy, so the two overlap.
    refill();
    e = lit[buf & litMask];
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

// The same loop; the wide one compiles its variable shifts and masks to single instructions.
bool TZpInflater::FastCodes() { return FastLoop(); }

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("bmi,bmi2"))) bool TZpInflater::FastCodesWide() { return FastLoop(); }
#else
bool TZpInflater::FastCodesWide() { return FastLoop(); }
#endif

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
    StoreLiterals(FBuf + FOp, e);
    FOp += LiteralCount(e);
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
  CopyMatch(FBuf + FOp, d, len);
  FOp += len;
  return false;
}
