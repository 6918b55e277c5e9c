#include "zip/engine/ZpUnzipHelper.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/rtl/Streams.h"
#include "zip/engine/abSlidingWindowStream.h"
#include "zip/engine/ZipArchiveFormat.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"
#include "zip/engine/ZpZDecoder.h"

namespace {

constexpr int WindowSize = 32768;
constexpr int InputChunk = 32768;

// A decoding table entry: bits 0-7 the bits to drop, 8-15 the kind, 16-31 the value.
constexpr uint32_t KindLiteral = 0x00;
constexpr uint32_t KindBase = 0x10;  // plus the count of extra bits
constexpr uint32_t KindEnd = 0x40;
constexpr uint32_t KindLink = 0x80;
constexpr uint32_t KindInvalid = 0xC0;

constexpr uint32_t Entry(uint32_t bits, uint32_t kind, uint32_t value) { return bits | (kind << 8) | (value << 16); }

constexpr uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

enum TTableKind { tkCodeLengths, tkLiteralLength, tkDistance };

[[noreturn]] void BadBlock() { throw EZpZipInflateBlock(); }

uint32_t Reverse(uint32_t code, int len) {
  uint32_t r = 0;
  for (int i = 0; i < len; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

// Builds a two-level canonical Huffman decoding table; over-subscribed or (beyond the one-code
// case) incomplete codes are refused.
void BuildTable(const uint8_t* lengths, int n, int primaryBits, TTableKind kind, std::vector<uint32_t>& table) {
  int count[16] = {};
  for (int i = 0; i < n; ++i) count[lengths[i]]++;
  count[0] = 0;
  int maxLen = 0;
  for (int l = 1; l <= 15; ++l)
    if (count[l]) maxLen = l;
  int left = 1;
  for (int l = 1; l <= 15; ++l) {
    left = (left << 1) - count[l];
    if (left < 0) BadBlock();
  }
  if (left > 0 && (kind == tkCodeLengths || maxLen > 1)) {
    // An empty distance code is legal when the block has literals only.
    if (!(kind == tkDistance && maxLen == 0)) BadBlock();
  }
  const int subBits = std::max(0, maxLen - primaryBits);
  const std::size_t primary = std::size_t{1} << primaryBits;
  int nextCode[16] = {};
  int code = 0;
  for (int l = 1; l <= 15; ++l) {
    code = (code + count[l - 1]) << 1;
    nextCode[l] = code;
  }
  table.assign(primary, Entry(1, KindInvalid, 0));
  std::vector<int32_t> link(primary, -1);
  auto symbolEntry = [&](int sym, uint32_t bits) -> uint32_t {
    switch (kind) {
      case tkCodeLengths:
        return Entry(bits, KindLiteral, static_cast<uint32_t>(sym));
      case tkLiteralLength:
        if (sym < 256) return Entry(bits, KindLiteral, static_cast<uint32_t>(sym));
        if (sym == 256) return Entry(bits, KindEnd, 0);
        if (sym > 285) return Entry(bits, KindInvalid, 0);
        return Entry(bits, KindBase + LengthExtra[sym - 257], LengthBase[sym - 257]);
      case tkDistance:
        if (sym > 29) return Entry(bits, KindInvalid, 0);
        return Entry(bits, KindBase + DistExtra[sym], DistBase[sym]);
    }
    return Entry(bits, KindInvalid, 0);
  };
  for (int sym = 0; sym < n; ++sym) {
    const int len = lengths[sym];
    if (!len) continue;
    const uint32_t rev = Reverse(static_cast<uint32_t>(nextCode[len]++), len);
    if (len <= primaryBits) {
      const uint32_t e = symbolEntry(sym, static_cast<uint32_t>(len));
      for (std::size_t i = rev; i < primary; i += std::size_t{1} << len) table[i] = e;
    } else {
      const uint32_t low = rev & static_cast<uint32_t>(primary - 1);
      if (link[low] < 0) {
        link[low] = static_cast<int32_t>(table.size());
        table[low] = Entry(static_cast<uint32_t>(subBits), KindLink, static_cast<uint32_t>(table.size()));
        table.resize(table.size() + (std::size_t{1} << subBits), Entry(1, KindInvalid, 0));
      }
      const int rest = len - primaryBits;
      const uint32_t e = symbolEntry(sym, static_cast<uint32_t>(rest));
      const std::size_t base = static_cast<std::size_t>(link[low]);
      for (std::size_t i = rev >> primaryBits; i < (std::size_t{1} << subBits); i += std::size_t{1} << rest)
        table[base + i] = e;
    }
  }
}

}  // namespace

// Raw deflate decoding over a window of 32768 bytes, with an output buffer flushed in big blocks.
class TZpInflater {
public:
  explicit TZpInflater(TZpUnzipHelper& owner) : FOwner(owner), FIn(InputChunk + 8), FOut(WindowSize + OutChunk + 320) {}

  void Run() {
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

private:
  static constexpr int OutChunk = 262144;
  static constexpr int LitBits = 11;
  static constexpr int DistBits = 9;

  void Truncated() const {
    if (FBitCount < FPadBits) BadBlock();
  }

  void RefillSlow() {
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

  inline void Refill() {
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

  uint32_t Bits(int n) {
    Refill();
    const uint32_t v = static_cast<uint32_t>(FBitBuf & ((uint64_t{1} << n) - 1));
    FBitBuf >>= n;
    FBitCount -= n;
    Truncated();
    return v;
  }

  void StoredBlock() {
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

  void FixedTables() {
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
    BuildTable(lens, 288, LitBits, tkLiteralLength, FFixedLit);
    for (i = 0; i < 30; ++i) lens[i] = 5;
    // Codes 30 and 31 exist in the fixed code but are invalid.
    lens[30] = lens[31] = 5;
    BuildTable(lens, 32, DistBits, tkDistance, FFixedDist);
    FFixedBuilt = true;
    FixedTables();
  }

  void ReleaseFixed() {
    if (FUsingFixed) {
      FLit.swap(FFixedLit);
      FDist.swap(FFixedDist);
      FUsingFixed = false;
    }
  }

  void DynamicTables() {
    const int nlen = static_cast<int>(Bits(5)) + 257;
    const int ndist = static_cast<int>(Bits(5)) + 1;
    const int ncode = static_cast<int>(Bits(4)) + 4;
    if (nlen > 286 || ndist > 30) BadBlock();
    uint8_t codeLens[19] = {};
    for (int i = 0; i < ncode; ++i) codeLens[CodeLengthOrder[i]] = static_cast<uint8_t>(Bits(3));
    std::vector<uint32_t> clTable;
    BuildTable(codeLens, 19, 7, tkCodeLengths, clTable);
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
    BuildTable(lens, nlen, LitBits, tkLiteralLength, FLit);
    BuildTable(lens + nlen, ndist, DistBits, tkDistance, FDist);
  }

  inline void Drop(uint32_t n) {
    FBitBuf >>= n;
    FBitCount -= static_cast<int>(n);
  }

  // Makes room for n more output bytes (n <= 258), flushing and sliding the window.
  inline void Room(std::size_t n) {
    if (FOp + n > WindowSize + OutChunk) Flush();
  }

  void Flush() {
    if (FOp > FFlushed) FOwner.WriteOutput(FOut.data() + FFlushed, static_cast<int64_t>(FOp - FFlushed));
    if (FOp > WindowSize) {
      std::memmove(FOut.data(), FOut.data() + FOp - WindowSize, WindowSize);
      FOp = WindowSize;
    }
    FFlushed = FOp;
  }

  // Copies a match of len bytes from d back; writes up to 8 bytes past the end (the buffer has room).
  static inline void CopyMatch(uint8_t* op, unsigned d, unsigned len) {
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

  void CodesBlock() {
    for (;;) {
      if (FastCodes() || SlowCode()) {
        ReleaseFixed();
        return;
      }
    }
  }

  // Decodes while a whole symbol's input and output fit without checks, in locals; true at the
  // block's end, false when the input or the output room runs low.
  bool FastCodes() {
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
  bool SlowCode() {
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

  TZpUnzipHelper& FOwner;
  std::vector<uint8_t> FIn;
  std::size_t FInPos = 0;
  std::size_t FInEnd = 0;
  bool FInputDone = false;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
  int FPadBits = 0;
  std::vector<uint8_t> FOut;
  std::size_t FOp = 0;
  std::size_t FFlushed = 0;
  std::vector<uint32_t> FLit, FDist, FFixedLit, FFixedDist;
  bool FFixedBuilt = false;
  bool FUsingFixed = false;
};

// Hands what the window stream lets go of to the helper, which checks, counts and writes it.
class TZpOutputSink final : public TStream {
public:
  explicit TZpOutputSink(std::function<void(const uint8_t*, int64_t)> write) : FWrite(std::move(write)) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    FWrite(static_cast<const uint8_t*>(buffer), count);
    FPosition += count;
    return count;
  }
  // Output goes one way: a seek can only stay where it is.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t target = origin == soFromBeginning ? offset : FPosition + offset;
    return target == FPosition ? FPosition : -1;
  }

private:
  std::function<void(const uint8_t*, int64_t)> FWrite;
  int64_t FPosition = 0;
};

// The older methods of the format: shrink (LZW), reduce (follower sets with DLE-coded copies) and
// implode. Reduce and implode copy from their recent output, which a sliding window keeps.
class TZpOldMethods {
public:
  TZpOldMethods(TZpUnzipHelper& owner, bool windowed)
      : FOwner(owner),
        FIn(4096),
        FSink([&owner](const uint8_t* data, int64_t count) { owner.WriteOutput(data, count); }) {
    if (windowed) FWindow = std::make_unique<TabSlidingWindowStream>(FSink);
    FPending.reserve(PendingSize);
  }

  void Unshrink() {
    constexpr int MaxCode = 8192;
    std::vector<int16_t> parent(MaxCode, -1);
    std::vector<uint8_t> value(MaxCode, 0);
    std::vector<uint8_t> inUse(MaxCode, 0);
    std::vector<uint8_t> stack(MaxCode);
    for (int i = 0; i < 256; ++i) {
      value[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
      inUse[static_cast<std::size_t>(i)] = 1;
    }
    inUse[256] = 1;
    int codeSize = 9;
    int nextFree = 257;
    int prev = -1;
    while (Left() > 0) {
      int code = static_cast<int>(Bits(codeSize));
      if (code == 256) {
        const uint32_t control = Bits(codeSize);
        if (control == 1) {
          if (++codeSize > 13) BadData();
        } else if (control == 2) {
          // Partial clear: every code that is no other code's parent becomes free.
          std::vector<uint8_t> isParent(MaxCode, 0);
          for (int c = 257; c < MaxCode; ++c)
            if (inUse[static_cast<std::size_t>(c)] && parent[static_cast<std::size_t>(c)] >= 0)
              isParent[static_cast<std::size_t>(parent[static_cast<std::size_t>(c)])] = 1;
          for (int c = 257; c < MaxCode; ++c)
            if (!isParent[static_cast<std::size_t>(c)]) inUse[static_cast<std::size_t>(c)] = 0;
          nextFree = 257;
          while (nextFree < MaxCode && inUse[static_cast<std::size_t>(nextFree)]) ++nextFree;
        } else {
          BadData();
        }
        continue;
      }
      if (code >= MaxCode) BadData();
      // A code not yet defined can only be the one about to be made (the KwKwK case).
      const bool known = inUse[static_cast<std::size_t>(code)] != 0;
      if (!known && (code != nextFree || prev < 0)) BadData();
      int depth = 0;
      int c = known ? code : prev;
      while (c >= 0) {
        if (depth >= MaxCode) BadData();
        stack[static_cast<std::size_t>(depth++)] = value[static_cast<std::size_t>(c)];
        c = c >= 257 ? parent[static_cast<std::size_t>(c)] : -1;
      }
      const uint8_t first = stack[static_cast<std::size_t>(depth - 1)];
      for (int i = depth - 1; i >= 0; --i) Put(stack[static_cast<std::size_t>(i)]);
      if (!known) Put(first);
      if (prev >= 0 && nextFree < MaxCode) {
        parent[static_cast<std::size_t>(nextFree)] = static_cast<int16_t>(prev);
        value[static_cast<std::size_t>(nextFree)] = first;
        inUse[static_cast<std::size_t>(nextFree)] = 1;
        while (nextFree < MaxCode && inUse[static_cast<std::size_t>(nextFree)]) ++nextFree;
      }
      prev = code;
    }
    Flush();
  }

  void Unreduce(int factor) {
    if (factor < 1 || factor > 4) throw EZpZipInvalidFactor();
    uint8_t followers[256][64];
    uint8_t count[256];
    for (int j = 255; j >= 0; --j) {
      count[j] = static_cast<uint8_t>(Bits(6));
      for (int i = 0; i < count[j]; ++i) followers[j][i] = static_cast<uint8_t>(Bits(8));
    }
    const uint32_t lengthMask = (1u << (8 - factor)) - 1;
    uint8_t last = 0;
    int state = 0;
    uint32_t v = 0, length = 0;
    while (Left() > 0) {
      uint8_t c;
      if (count[last] == 0) {
        c = static_cast<uint8_t>(Bits(8));
      } else if (Bits(1)) {
        c = static_cast<uint8_t>(Bits(8));
      } else {
        const int n = count[last];
        int bits = 1;
        while ((1 << bits) < n) ++bits;
        const uint32_t index = Bits(bits);
        if (index >= static_cast<uint32_t>(n)) BadData();
        c = followers[last][index];
      }
      last = c;
      switch (state) {
        case 0:
          if (c == 144) state = 1;
          else Put(c);
          break;
        case 1:
          if (c == 0) {
            Put(144);
            state = 0;
          } else {
            v = c;
            length = v & lengthMask;
            state = length == lengthMask ? 2 : 3;
          }
          break;
        case 2:
          length += c;
          state = 3;
          break;
        default: {
          const uint32_t distance = ((v >> (8 - factor)) << 8) + c + 1;
          if (distance > FTotal) BadData();
          CopyBack(distance, length + 3);
          state = 0;
        }
      }
    }
    Flush();
  }

  void Explode(int dictionarySize, int treeCount) {
    const bool literalTree = treeCount == 3;
    const int lowBits = dictionarySize == 8192 ? 7 : 6;
    const uint32_t minMatch = literalTree ? 3 : 2;
    TTree literals, lengths, distances;
    if (literalTree) ReadTree(literals, 256);
    ReadTree(lengths, 64);
    ReadTree(distances, 64);
    while (Left() > 0) {
      if (Bits(1)) {
        Put(literalTree ? static_cast<uint8_t>(Decode(literals)) : static_cast<uint8_t>(Bits(8)));
        continue;
      }
      const uint32_t low = Bits(lowBits);
      const uint32_t distance = ((static_cast<uint32_t>(Decode(distances)) << lowBits) | low) + 1;
      uint32_t length = static_cast<uint32_t>(Decode(lengths));
      if (length == 63) length += Bits(8);
      length += minMatch;
      CopyBack(distance, length);
    }
    Flush();
  }

private:
  // A Shannon-Fano tree as a binary trie; children index nodes, negative values are symbols.
  struct TTree {
    std::vector<std::array<int32_t, 2>> Nodes{std::array<int32_t, 2>{0, 0}};
  };

  void ReadTree(TTree& tree, int size) {
    uint8_t lens[256];
    const int bytes = static_cast<int>(Bits(8)) + 1;
    int n = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint32_t b = Bits(8);
      const int len = static_cast<int>(b & 0x0F) + 1;
      const int count = static_cast<int>(b >> 4) + 1;
      if (n + count > size) BadData();
      for (int k = 0; k < count; ++k) lens[n++] = static_cast<uint8_t>(len);
    }
    if (n != size) BadData();
    // Codes go to the longest lengths first, counting up from zero in the top bits of 16.
    std::vector<int> order(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) order[static_cast<std::size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lens[a] < lens[b]; });
    uint32_t code = 0, increment = 0;
    int lastLen = 0;
    for (int i = size - 1; i >= 0; --i) {
      const int sym = order[static_cast<std::size_t>(i)];
      code += increment;
      if (code > 0xFFFF) BadData();
      if (lens[sym] != lastLen) {
        lastLen = lens[sym];
        increment = 1u << (16 - lastLen);
      }
      Insert(tree, code, lastLen, sym);
    }
  }

  void Insert(TTree& tree, uint32_t code, int len, int sym) {
    int32_t node = 0;
    for (int i = 0; i < len; ++i) {
      const int bit = static_cast<int>((code >> (15 - i)) & 1);
      int32_t& child = tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
      if (i == len - 1) {
        if (child != 0) BadData();
        child = -(sym + 1);
        return;
      }
      if (child < 0) BadData();
      if (child == 0) {
        tree.Nodes.push_back({0, 0});
        // push_back may move the nodes; index again.
        tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)] =
            static_cast<int32_t>(tree.Nodes.size() - 1);
      }
      node = tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
    }
  }

  // The stream holds each code's bits inverted, first bit first.
  int Decode(const TTree& tree) {
    int32_t node = 0;
    for (int i = 0; i < 16; ++i) {
      const int32_t next = tree.Nodes[static_cast<std::size_t>(node)][Bits(1) ^ 1u];
      if (next < 0) return -next - 1;
      if (next == 0) BadData();
      node = next;
    }
    BadData();
  }

  static constexpr std::size_t PendingSize = 4096;

  [[noreturn]] static void BadData() { throw EZpZipInflateBlock(); }

  int64_t Left() const { return FOwner.FUncompressedSize - FTotal; }

  uint32_t Bits(int n) {
    while (FBitCount < n) {
      if (FInPos == FInEnd) {
        FInEnd = static_cast<std::size_t>(FOwner.ReadInput(FIn.data(), static_cast<int64_t>(FIn.size())));
        FInPos = 0;
        if (FInEnd == 0) throw EZpReadError();
      }
      FBitBuf |= static_cast<uint64_t>(FIn[FInPos++]) << FBitCount;
      FBitCount += 8;
    }
    const uint32_t v = static_cast<uint32_t>(FBitBuf & ((uint64_t{1} << n) - 1));
    FBitBuf >>= n;
    FBitCount -= n;
    return v;
  }

  TStream& Output() { return FWindow ? static_cast<TStream&>(*FWindow) : FSink; }

  void Put(uint8_t b) {
    if (Left() <= 0) BadData();
    ++FTotal;
    FPending.push_back(b);
    if (FPending.size() >= PendingSize) WritePending();
  }

  void WritePending() {
    Output().WriteBuffer(FPending.data(), static_cast<int64_t>(FPending.size()));
    FPending.clear();
  }

  // Repeats length bytes from distance back, cut at the declared size. Bytes before the start of
  // the data read as zeros, as in the writer's window; a copy may overlap what it writes.
  void CopyBack(uint32_t distance, uint32_t length) {
    const int64_t n = std::min<int64_t>(length, Left());
    if (n <= 0) return;
    WritePending();
    FCopy.assign(static_cast<std::size_t>(n), 0);
    const int64_t start = FTotal - distance;
    const int64_t known = std::max<int64_t>(start, 0);
    const int64_t knownEnd = std::min<int64_t>(start + n, FTotal);
    if (knownEnd > known) {
      FWindow->Seek(known, soFromBeginning);
      FWindow->ReadBuffer(FCopy.data() + (known - start), knownEnd - known);
      FWindow->Seek(0, soFromEnd);
    }
    for (int64_t i = distance; i < n; ++i)
      FCopy[static_cast<std::size_t>(i)] = FCopy[static_cast<std::size_t>(i - distance)];
    FWindow->WriteBuffer(FCopy.data(), n);
    FTotal += n;
  }

  void Flush() {
    WritePending();
    if (FWindow) FWindow->Flush();
  }

  TZpUnzipHelper& FOwner;
  std::vector<uint8_t> FIn;
  std::size_t FInPos = 0;
  std::size_t FInEnd = 0;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
  TZpOutputSink FSink;
  std::unique_ptr<TabSlidingWindowStream> FWindow;
  std::vector<uint8_t> FPending;
  std::vector<uint8_t> FCopy;
  int64_t FTotal = 0;
};

TZpUnzipHelper::TZpUnzipHelper(TStream* input, TStream* output, TZpZDecoder* decryptor)
    : FInput(input), FOutput(output), FDecryptor(decryptor) {}

TZpUnzipHelper::~TZpUnzipHelper() = default;

int64_t TZpUnzipHelper::ReadInput(uint8_t* buf, int64_t count) {
  int64_t done = 0;
  count = std::min(count, FInputLeft);
  while (done < count) {
    const int64_t got = FInput->Read(buf + done, count - done);
    if (got <= 0) {
      TStream* next = OnNextVolume ? OnNextVolume() : nullptr;
      if (!next) throw EZpReadError();
      FInput = next;
      continue;
    }
    done += got;
  }
  FInputLeft -= done;
  if (FDecryptor) FDecryptor->DecodeBuffer(buf, static_cast<std::size_t>(done));
  return done;
}

void TZpUnzipHelper::WriteOutput(const uint8_t* data, int64_t count) {
  if (count <= 0) return;
  // Output past the declared size means the data is not what the header says.
  if (count > FUncompressedSize - FWritten) {
    if (FMethod == ZpMethodInflate) throw EZpZipInflateBlock();
    throw EZpZipBadCRC();
  }
  FCRC = ZpUpdateCrc32(FCRC, data, static_cast<std::size_t>(count));
  if (FOutput->Write(data, count) != count) throw EZpZipStreamFull();
  FWritten += count;
  Progress();
}

void TZpUnzipHelper::Progress() {
  if (!OnProgress) return;
  bool abort = false;
  OnProgress(ZpPercentage(FWritten, FUncompressedSize), abort);
  if (abort) throw EZpUserAbort();
}

void TZpUnzipHelper::Copy() {
  std::vector<uint8_t> buf(4096);
  for (;;) {
    const int64_t n = ReadInput(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    WriteOutput(buf.data(), n);
  }
}

void TZpUnzipHelper::Inflate() {
  TZpInflater inflater(*this);
  inflater.Run();
  if (FWritten != FUncompressedSize) throw EZpZipInflateBlock();
}

void TZpUnzipHelper::Unshrink() {
  TZpOldMethods(*this, false).Unshrink();
}

void TZpUnzipHelper::Unreduce(int factor) {
  TZpOldMethods(*this, true).Unreduce(factor);
}

void TZpUnzipHelper::Explode() {
  TZpOldMethods(*this, true).Explode(FDictionarySize, FTreeCount);
}

uint32_t TZpUnzipHelper::Execute() {
  if (!FInput || !FOutput) throw EZpBadStream();
  FCRC = ZpCrcStart;
  FWritten = 0;
  FInputLeft = FCompressedSize;
  if (FUncompressedSize < 0 || FCompressedSize < 0) throw EZpZipInvalid();
  if (FDecryptor) {
    if (FInputLeft < TZpZDecoder::HeaderSize) throw EZpReadError();
    FDecryptor->SetStream(FInput);
    FDecryptor->VerifyHeader();
    FInputLeft -= TZpZDecoder::HeaderSize;
  }
  switch (FMethod) {
    case 0: Copy(); break;
    case 1: Unshrink(); break;
    case 2:
    case 3:
    case 4:
    case 5: Unreduce(FMethod - 1); break;
    case 6: Explode(); break;
    case ZpMethodInflate: Inflate(); break;
    default: throw EZpZipInvalidMethod(ZpCompressionMethodName(uint16_t(FMethod)));
  }
  return FCRC ^ 0xFFFFFFFFu;
}
