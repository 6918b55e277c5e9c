#include "zip/engine/ZpZipHelper.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"
#include "zip/engine/ZpZDecoder.h"

namespace {

constexpr int WSize = 32768;
constexpr int WMask = WSize - 1;
constexpr int HashBits = 15;
constexpr int HashSize = 1 << HashBits;
constexpr int MinMatch = 3;
constexpr int MaxMatch = 258;
constexpr int MinLookahead = MaxMatch + MinMatch + 1;
constexpr int MaxDist = WSize - MinLookahead;
constexpr int TooFar = 4096;
constexpr int LitBufSize = 32768;
constexpr int LCodes = 286;
constexpr int DCodes = 30;
constexpr int BLCodes = 19;
constexpr int MaxBits = 15;
constexpr int MaxBLBits = 7;

// Good: past this length the chain is searched a quarter as far. MaxLazy: the lazy levels look for
// a better match only below it; the greedy levels 1-3 do not hash the strings of longer matches.
// Flags: collected only; the item's general purpose bits 1 and 2 stay 0.
struct TLevelConfig {
  int Good, MaxLazy, MaxChain, Flags;
};
constexpr TLevelConfig LevelTable[10] = {{0, 0, 0, 0},    {4, 4, 4, 4},     {4, 5, 8, 4},     {4, 6, 32, 0},
                                         {4, 4, 16, 0},   {8, 16, 32, 0},   {8, 16, 128, 0},  {8, 32, 256, 0},
                                         {32, 128, 1024, 2}, {32, 258, 4096, 2}};
// Lazy evaluation costs the fast levels a second search at nearly every short match; they take
// each match as found instead.
constexpr int LastGreedyLevel = 3;

constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t BLOrder[BLCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct TCodeMaps {
  uint8_t LengthCode[256];  // match length - 3 -> code - 257
  uint16_t LengthBase[29];
  uint8_t DistCode[512];    // distance - 1 -> code (two ranges)
  uint16_t DistBase[30];
};

constexpr TCodeMaps MakeMaps() {
  TCodeMaps m{};
  int length = 0;
  for (int code = 0; code < 28; ++code) {
    m.LengthBase[code] = static_cast<uint16_t>(length);
    for (int n = 0; n < (1 << LengthExtra[code]); ++n) m.LengthCode[length++] = static_cast<uint8_t>(code);
  }
  m.LengthCode[255] = 28;
  m.LengthBase[28] = 255;
  int dist = 0;
  for (int code = 0; code < 16; ++code) {
    m.DistBase[code] = static_cast<uint16_t>(dist);
    for (int n = 0; n < (1 << DistExtra[code]); ++n) m.DistCode[dist++] = static_cast<uint8_t>(code);
  }
  dist >>= 7;
  for (int code = 16; code < DCodes; ++code) {
    m.DistBase[code] = static_cast<uint16_t>(dist << 7);
    for (int n = 0; n < (1 << (DistExtra[code] - 7)); ++n) m.DistCode[256 + dist++] = static_cast<uint8_t>(code);
  }
  return m;
}

constexpr TCodeMaps Maps = MakeMaps();

inline int DistCodeOf(unsigned d) { return d < 256 ? Maps.DistCode[d] : Maps.DistCode[256 + (d >> 7)]; }

uint16_t ReverseBits(uint32_t code, int len) {
  uint32_t r = 0;
  for (int i = 0; i < len; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return static_cast<uint16_t>(r);
}

// Optimal code lengths limited to maxBits (minimum-redundancy in place, then a Kraft repair).
void BuildLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
  struct TSym {
    uint32_t Key;
    uint16_t Sym;
  };
  TSym a[LCodes + 2];
  int m = 0;
  for (int i = 0; i < n; ++i) {
    lengths[i] = 0;
    if (freq[i]) a[m++] = {freq[i], static_cast<uint16_t>(i)};
  }
  if (m == 0) return;
  std::sort(a, a + m, [](const TSym& x, const TSym& y) { return x.Key < y.Key || (x.Key == y.Key && x.Sym < y.Sym); });
  if (m == 1) {
    lengths[a[0].Sym] = 1;
    return;
  }
  // Moffat-Katajainen: turn sorted weights into code lengths in place.
  a[0].Key += a[1].Key;
  int root = 0, leaf = 2;
  for (int next = 1; next < m - 1; ++next) {
    if (leaf >= m || a[root].Key < a[leaf].Key) {
      a[next].Key = a[root].Key;
      a[root++].Key = static_cast<uint32_t>(next);
    } else {
      a[next].Key = a[leaf++].Key;
    }
    if (leaf >= m || (root < next && a[root].Key < a[leaf].Key)) {
      a[next].Key += a[root].Key;
      a[root++].Key = static_cast<uint32_t>(next);
    } else {
      a[next].Key += a[leaf++].Key;
    }
  }
  a[m - 2].Key = 0;
  for (int next = m - 3; next >= 0; --next) a[next].Key = a[a[next].Key].Key + 1;
  int avail = 1, used = 0, depth = 0;
  root = m - 2;
  int next = m - 1;
  while (avail > 0) {
    while (root >= 0 && static_cast<int>(a[root].Key) == depth) {
      ++used;
      --root;
    }
    while (avail > used) {
      a[next--].Key = static_cast<uint32_t>(depth);
      --avail;
    }
    avail = 2 * used;
    ++depth;
    used = 0;
  }
  int count[33] = {};
  for (int i = 0; i < m; ++i) count[std::min<uint32_t>(a[i].Key, 32)]++;
  for (int l = maxBits + 1; l <= 32; ++l) {
    count[maxBits] += count[l];
    count[l] = 0;
  }
  uint32_t total = 0;
  for (int l = maxBits; l > 0; --l) total += static_cast<uint32_t>(count[l]) << (maxBits - l);
  while (total != (1u << maxBits)) {
    count[maxBits]--;
    for (int l = maxBits - 1; l > 0; --l)
      if (count[l]) {
        count[l]--;
        count[l + 1] += 2;
        break;
      }
    --total;
  }
  // The most frequent symbols (at the end) take the shortest codes.
  int i = m - 1;
  for (int l = 1; l <= maxBits; ++l)
    for (int k = count[l]; k > 0; --k) lengths[a[i--].Sym] = static_cast<uint8_t>(l);
}

void BuildCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  int count[MaxBits + 1] = {};
  for (int i = 0; i < n; ++i) count[lengths[i]]++;
  count[0] = 0;
  int next[MaxBits + 2] = {};
  int code = 0;
  for (int l = 1; l <= MaxBits; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  for (int i = 0; i < n; ++i)
    codes[i] = lengths[i] ? ReverseBits(static_cast<uint32_t>(next[lengths[i]]++), lengths[i]) : 0;
}

struct TFixedCodes {
  uint8_t LitLen[288];
  uint16_t LitCode[288];
  uint8_t DistLen[30];
  uint16_t DistCode[30];
};

TFixedCodes MakeFixed() {
  TFixedCodes f{};
  for (int i = 0; i < 288; ++i) f.LitLen[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  for (int i = 0; i < 30; ++i) f.DistLen[i] = 5;
  BuildCodes(f.LitLen, 288, f.LitCode);
  BuildCodes(f.DistLen, 30, f.DistCode);
  return f;
}

const TFixedCodes& Fixed() {
  static const TFixedCodes f = MakeFixed();
  return f;
}

}  // namespace

// One deflate run: the window, hash chains, tallies and the bit writer.
class TZpDeflater {
public:
  TZpDeflater(TZpZipHelper& owner, int level)
      : FOwner(owner),
        FConfig(LevelTable[level]),
        FLevel(level),
        FWindow(2 * WSize + MaxMatch + 64, 0),
        FPrev(WSize, 0),
        FHead(HashSize, 0),
        FLit(LitBufSize),
        FDist(LitBufSize),
        FPendingRoom(PendingLimit * 4) {
  }

  void Run() {
    FillWindow();
    if (FLevel <= LastGreedyLevel)
      CompressGreedy();
    else
      Compress();
    FlushBlock(true);
    FlushBits();
    SendPending();
  }

private:
  static constexpr std::size_t PendingLimit = 65536;

  void FillWindow() {
    for (;;) {
      if (FStrStart >= WSize + MaxDist) Slide();
      const unsigned more = static_cast<unsigned>(2 * WSize) - FLookahead - FStrStart;
      if (FEof) return;
      const int64_t got = FOwner.FSource->Read(FWindow.data() + FStrStart + FLookahead, more);
      if (got <= 0) {
        FEof = true;
        return;
      }
      FOwner.FCRC = ZpUpdateCrc32(FOwner.FCRC, FWindow.data() + FStrStart + FLookahead, static_cast<std::size_t>(got));
      FOwner.FSourceSize += got;
      FOwner.Progress(FOwner.FSourceSize);
      FLookahead += static_cast<unsigned>(got);
      if (FLookahead >= MinLookahead) return;
    }
  }

  void Slide() {
    std::memcpy(FWindow.data(), FWindow.data() + WSize, WSize);
    FMatchStart -= WSize;
    FStrStart -= WSize;
    FBlockStart -= WSize;
    for (auto& h : FHead) h = static_cast<uint16_t>(h >= WSize ? h - WSize : 0);
    for (auto& p : FPrev) p = static_cast<uint16_t>(p >= WSize ? p - WSize : 0);
  }

  // A multiplicative hash of the three bytes at s: far fewer collisions than a shift-and-xor one,
  // so the chains hold fewer strings that cannot match.
  inline unsigned InsertString(unsigned s) {
    uint32_t v;
    std::memcpy(&v, FWindow.data() + s, 4);
    const unsigned h = ((v & 0xFFFFFF) * 2654435761u) >> (32 - HashBits);
    const unsigned head = FHead[h];
    FPrev[s & WMask] = static_cast<uint16_t>(head);
    FHead[h] = static_cast<uint16_t>(s);
    return head;
  }

  unsigned LongestMatch(unsigned cur, unsigned prevLength) {
    unsigned chain = static_cast<unsigned>(FConfig.MaxChain);
    const uint8_t* win = FWindow.data();
    const uint16_t* prev = FPrev.data();
    const uint8_t* scan = win + FStrStart;
    unsigned best = prevLength;
    const unsigned limit = FStrStart > MaxDist ? FStrStart - MaxDist : 0;
    const unsigned maxLen = std::min<unsigned>(MaxMatch, FLookahead);
    if (prevLength >= static_cast<unsigned>(FConfig.Good)) chain >>= 2;
    if (best >= maxLen) return best;
    uint16_t end2;
    std::memcpy(&end2, scan + best - 1, 2);
    uint32_t start3;
    std::memcpy(&start3, scan, 4);
    start3 &= 0xFFFFFF;
    // Candidates ending differently at the current best length are the common case: the tight
    // loop below steps over them with as little as possible kept live.
    const uint8_t* winEnd = win + best - 1;
    for (;;) {
      for (;;) {
        uint16_t m2;
        std::memcpy(&m2, winEnd + cur, 2);
        if (m2 == end2) {
          uint32_t m4;
          std::memcpy(&m4, win + cur, 4);
          if ((m4 & 0xFFFFFF) == start3) break;
        }
        cur = prev[cur & WMask];
        if (cur <= limit || --chain == 0) return best;
      }
      const uint8_t* match = win + cur;
      unsigned len = 3;
      while (len < maxLen) {
        uint64_t x, y;
        std::memcpy(&x, scan + len, 8);
        std::memcpy(&y, match + len, 8);
        const uint64_t diff = x ^ y;
        if (diff) {
          len += static_cast<unsigned>(__builtin_ctzll(diff) >> 3);
          break;
        }
        len += 8;
      }
      if (len > maxLen) len = maxLen;
      if (len > best) {
        FMatchStart = cur;
        best = len;
        if (len >= maxLen) return best;
        std::memcpy(&end2, scan + best - 1, 2);
        winEnd = win + best - 1;
      }
      cur = prev[cur & WMask];
      if (cur <= limit || --chain == 0) return best;
    }
  }

  bool TallyLiteral(uint8_t c) {
    FDist[FLastLit] = 0;
    FLit[FLastLit++] = c;
    FLitFreq[c]++;
    return BlockFull();
  }

  bool TallyMatch(unsigned dist, unsigned lenMinus3) {
    FDist[FLastLit] = static_cast<uint16_t>(dist);
    FLit[FLastLit++] = static_cast<uint8_t>(lenMinus3);
    ++FMatches;
    FLitFreq[257 + Maps.LengthCode[lenMinus3]]++;
    FDistFreq[DistCodeOf(dist - 1)]++;
    return BlockFull();
  }

  bool BlockFull() {
    if (FLevel >= 3 && (FLastLit & 0xFFF) == 0) {
      // Cut the block early when the data has changed character and matches are rare.
      uint64_t outLength = static_cast<uint64_t>(FLastLit) * 8;
      const uint64_t inLength = static_cast<uint64_t>(static_cast<int64_t>(FStrStart) - FBlockStart);
      for (int d = 0; d < DCodes; ++d) outLength += FDistFreq[d] * (5u + DistExtra[d]);
      outLength >>= 3;
      if (FMatches < FLastLit / 2 && outLength < inLength / 2) return true;
    }
    return FLastLit == LitBufSize - 1;
  }

  // Levels 1-3: take each match as found; the strings inside a long match go unhashed.
  void CompressGreedy() {
    const unsigned insertLimit = static_cast<unsigned>(FConfig.MaxLazy);
    for (;;) {
      if (FLookahead < MinLookahead) {
        FillWindow();
        if (FLookahead == 0) break;
      }
      unsigned hashHead = 0;
      if (FLookahead >= MinMatch) hashHead = InsertString(FStrStart);
      unsigned matchLength = 0;
      if (hashHead != 0 && FStrStart - hashHead <= MaxDist) {
        matchLength = LongestMatch(hashHead, MinMatch - 1);
        if (matchLength == MinMatch && FStrStart - FMatchStart > TooFar) matchLength = 0;
      }
      bool flush;
      if (matchLength >= MinMatch) {
        flush = TallyMatch(FStrStart - FMatchStart, matchLength - MinMatch);
        FLookahead -= matchLength;
        if (matchLength <= insertLimit && FLookahead >= MinMatch) {
          unsigned left = matchLength - 1;
          do InsertString(++FStrStart);
          while (--left != 0);
          ++FStrStart;
        } else {
          FStrStart += matchLength;
        }
      } else {
        flush = TallyLiteral(FWindow[FStrStart]);
        --FLookahead;
        ++FStrStart;
      }
      if (flush) FlushBlock(false);
    }
  }

  void Compress() {
    unsigned matchLength = MinMatch - 1;
    bool matchAvailable = false;
    const unsigned maxLazy = static_cast<unsigned>(FConfig.MaxLazy);
    for (;;) {
      if (FLookahead < MinLookahead) {
        FillWindow();
        if (FLookahead == 0) break;
      }
      unsigned hashHead = 0;
      if (FLookahead >= MinMatch) hashHead = InsertString(FStrStart);
      const unsigned prevLength = matchLength;
      const unsigned prevMatch = FMatchStart;
      matchLength = MinMatch - 1;
      if (hashHead != 0 && prevLength < maxLazy && FStrStart - hashHead <= MaxDist) {
        matchLength = LongestMatch(hashHead, prevLength < MinMatch - 1 ? MinMatch - 1 : prevLength);
        if (matchLength <= prevLength) matchLength = MinMatch - 1;
        if (matchLength == MinMatch && FStrStart - FMatchStart > TooFar) matchLength = MinMatch - 1;
      }
      if (prevLength >= MinMatch && matchLength <= prevLength) {
        const unsigned maxInsert = FStrStart + FLookahead - MinMatch;
        const bool flush = TallyMatch(FStrStart - 1 - prevMatch, prevLength - MinMatch);
        FLookahead -= prevLength - 1;
        unsigned left = prevLength - 2;
        do {
          if (++FStrStart <= maxInsert) InsertString(FStrStart);
        } while (--left != 0);
        matchAvailable = false;
        matchLength = MinMatch - 1;
        ++FStrStart;
        if (flush) FlushBlock(false);
      } else if (matchAvailable) {
        if (TallyLiteral(FWindow[FStrStart - 1])) FlushBlock(false);
        ++FStrStart;
        --FLookahead;
      } else {
        matchAvailable = true;
        ++FStrStart;
        --FLookahead;
      }
    }
    if (matchAvailable) TallyLiteral(FWindow[FStrStart - 1]);
  }

  // Bit writer, least significant bit first.
  inline void SendBits(uint32_t value, int length) {
    FBitBuf |= static_cast<uint64_t>(value) << FBitCount;
    FBitCount += length;
    if (FBitCount >= 32) {
      const uint32_t w = static_cast<uint32_t>(FBitBuf);
      if (FPendingUsed + 4 > FPendingRoom.size()) FPendingRoom.resize(FPendingRoom.size() * 2);
      std::memcpy(FPendingRoom.data() + FPendingUsed, &w, 4);
      FPendingUsed += 4;
      FBitBuf >>= 32;
      FBitCount -= 32;
    }
  }

  void Append(const uint8_t* data, std::size_t n) {
    if (FPendingUsed + n > FPendingRoom.size()) FPendingRoom.resize(std::max(FPendingRoom.size() * 2, FPendingUsed + n));
    std::memcpy(FPendingRoom.data() + FPendingUsed, data, n);
    FPendingUsed += n;
  }

  void FlushBits() {
    while (FBitCount > 0) {
      const uint8_t b = static_cast<uint8_t>(FBitBuf);
      Append(&b, 1);
      FBitBuf >>= 8;
      FBitCount = FBitCount > 8 ? FBitCount - 8 : 0;
    }
    FBitBuf = 0;
    FBitCount = 0;
  }

  void SendPending() {
    if (FPendingUsed) FOwner.WriteOut(FPendingRoom.data(), static_cast<int64_t>(FPendingUsed));
    FPendingUsed = 0;
  }

  void DetectDataType() {
    uint64_t binary = 0, text = 0;
    for (int i = 0; i < 7; ++i) binary += FLitFreq[i];
    for (int i = 128; i < 256; ++i) binary += FLitFreq[i];
    for (int i = 7; i < 128; ++i) text += FLitFreq[i];
    FOwner.FDataType = (text / 4 >= binary) ? dtText : dtBinary;
  }

  // Run-length codes of the bit lengths of both trees, counted (send false) or sent.
  void ScanLengths(const uint8_t* lens, int n, bool send) {
    int i = 0;
    while (i < n) {
      const uint8_t cur = lens[i];
      int run = 1;
      while (i + run < n && lens[i + run] == cur) ++run;
      int left = run;
      if (cur == 0) {
        while (left >= 11) {
          const int r = std::min(left, 138);
          Code18(send, r);
          left -= r;
        }
        if (left >= 3) {
          Code17(send, left);
          left = 0;
        }
        while (left-- > 0) BLSym(send, 0);
      } else {
        BLSym(send, cur);
        --left;
        while (left >= 3) {
          const int r = std::min(left, 6);
          BLSym(send, 16);
          if (send) SendBits(static_cast<uint32_t>(r - 3), 2);
          left -= r;
        }
        while (left-- > 0) BLSym(send, cur);
      }
      i += run;
    }
  }
  void BLSym(bool send, int sym) {
    if (send)
      SendBits(FBLCode[sym], FBLLen[sym]);
    else
      FBLFreq[sym]++;
  }
  void Code17(bool send, int r) {
    BLSym(send, 17);
    if (send) SendBits(static_cast<uint32_t>(r - 3), 3);
  }
  void Code18(bool send, int r) {
    BLSym(send, 18);
    if (send) SendBits(static_cast<uint32_t>(r - 11), 7);
  }

  uint64_t DataBits(const uint8_t* litLen, const uint8_t* distLen) const {
    uint64_t bits = 0;
    for (int i = 0; i < LCodes; ++i) {
      bits += static_cast<uint64_t>(FLitFreq[i]) * litLen[i];
      if (i >= 257) bits += static_cast<uint64_t>(FLitFreq[i]) * LengthExtra[i - 257];
    }
    for (int d = 0; d < DCodes; ++d) bits += static_cast<uint64_t>(FDistFreq[d]) * (distLen[d] + DistExtra[d]);
    return bits;
  }

  // The block's symbols through a wide store: each symbol's code and extra bits (a match: up to 48
  // bits) join the bit buffer, eight bytes are stored and the pointer moves on by the whole bytes.
  void SendSymbols(const uint8_t* litLen, const uint16_t* litCode, const uint8_t* distLen, const uint16_t* distCode) {
    uint32_t lenBits[256];
    uint8_t lenCount[256];
    for (int lc = 0; lc < 256; ++lc) {
      const int code = Maps.LengthCode[lc];
      lenBits[lc] = litCode[257 + code] | (static_cast<uint32_t>(lc - Maps.LengthBase[code]) << litLen[257 + code]);
      lenCount[lc] = static_cast<uint8_t>(litLen[257 + code] + LengthExtra[code]);
    }
    while (FBitCount >= 8) {
      const uint8_t b = static_cast<uint8_t>(FBitBuf);
      Append(&b, 1);
      FBitBuf >>= 8;
      FBitCount -= 8;
    }
    const std::size_t need = FPendingUsed + static_cast<std::size_t>(FLastLit) * 6 + 16;
    if (need > FPendingRoom.size()) FPendingRoom.resize(std::max(FPendingRoom.size() * 2, need));
    uint8_t* out = FPendingRoom.data() + FPendingUsed;
    uint64_t buf = FBitBuf;
    unsigned count = static_cast<unsigned>(FBitCount);
    for (unsigned i = 0; i < FLastLit; ++i) {
      const unsigned dist = FDist[i];
      const unsigned lc = FLit[i];
      if (dist == 0) {
        buf |= static_cast<uint64_t>(litCode[lc]) << count;
        count += litLen[lc];
      } else {
        buf |= static_cast<uint64_t>(lenBits[lc]) << count;
        count += lenCount[lc];
        const unsigned d = dist - 1;
        const int dc = DistCodeOf(d);
        buf |= static_cast<uint64_t>(distCode[dc] | ((d - Maps.DistBase[dc]) << distLen[dc])) << count;
        count += distLen[dc] + DistExtra[dc];
      }
      std::memcpy(out, &buf, 8);
      out += count >> 3;
      buf >>= count & 56;
      count &= 7;
    }
    FPendingUsed = static_cast<std::size_t>(out - FPendingRoom.data());
    FBitBuf = buf & ((uint64_t{1} << count) - 1);
    FBitCount = static_cast<int>(count);
    SendBits(litCode[256], litLen[256]);
  }

  void FlushBlock(bool last) {
    FLitFreq[256] = 1;
    if (!FTypeKnown) {
      DetectDataType();
      FTypeKnown = true;
    }
    // Every tree gets at least two codes so no decoder meets a one-code tree.
    auto ensureTwo = [](uint32_t* freq, int n) {
      int used = 0;
      for (int i = 0; i < n; ++i) used += freq[i] != 0;
      for (int i = 0; used < 2 && i < n; ++i)
        if (!freq[i]) {
          freq[i] = 1;
          ++used;
        }
    };
    uint32_t litFreq[LCodes], distFreq[DCodes];
    std::copy(FLitFreq, FLitFreq + LCodes, litFreq);
    std::copy(FDistFreq, FDistFreq + DCodes, distFreq);
    ensureTwo(litFreq, LCodes);
    ensureTwo(distFreq, DCodes);
    uint8_t litLen[LCodes], distLen[DCodes];
    BuildLengths(litFreq, LCodes, MaxBits, litLen);
    BuildLengths(distFreq, DCodes, MaxBits, distLen);
    int nlen = LCodes;
    while (nlen > 257 && litLen[nlen - 1] == 0) --nlen;
    int ndist = DCodes;
    while (ndist > 1 && distLen[ndist - 1] == 0) --ndist;
    uint8_t all[LCodes + DCodes];
    std::copy(litLen, litLen + nlen, all);
    std::copy(distLen, distLen + ndist, all + nlen);
    std::fill(FBLFreq, FBLFreq + BLCodes, 0u);
    ScanLengths(all, nlen + ndist, false);
    BuildLengths(FBLFreq, BLCodes, MaxBLBits, FBLLen);
    BuildCodes(FBLLen, BLCodes, FBLCode);
    int nbl = BLCodes;
    while (nbl > 4 && FBLLen[BLOrder[nbl - 1]] == 0) --nbl;
    uint64_t treeBits = 5 + 5 + 4 + 3 * static_cast<uint64_t>(nbl);
    for (int s = 0; s < BLCodes; ++s) {
      treeBits += static_cast<uint64_t>(FBLFreq[s]) * FBLLen[s];
    }
    treeBits += 2 * static_cast<uint64_t>(FBLFreq[16]) + 3 * static_cast<uint64_t>(FBLFreq[17]) +
                7 * static_cast<uint64_t>(FBLFreq[18]);
    const uint64_t dynBits = treeBits + DataBits(litLen, distLen);
    const TFixedCodes& fx = Fixed();
    const uint64_t staticBits = DataBits(fx.LitLen, fx.DistLen);
    const uint64_t optSize = (dynBits + 3 + 7) / 8;
    const uint64_t staticSize = (staticBits + 3 + 7) / 8;
    const uint64_t best = std::min(optSize, staticSize);
    const int64_t storedLen = static_cast<int64_t>(FStrStart) - FBlockStart;
    if (FBlockStart >= 0 && storedLen <= 65535 && static_cast<uint64_t>(storedLen) + 4 <= best) {
      SendBits(last ? 1u : 0u, 3);
      FlushBits();
      const uint16_t len = static_cast<uint16_t>(storedLen);
      const uint16_t nlenC = static_cast<uint16_t>(~len);
      const uint8_t head[4] = {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(nlenC),
                               static_cast<uint8_t>(nlenC >> 8)};
      Append(head, 4);
      Append(FWindow.data() + FBlockStart, static_cast<std::size_t>(storedLen));
    } else if (staticSize <= optSize) {
      SendBits((last ? 1u : 0u) | (1u << 1), 3);
      SendSymbols(fx.LitLen, fx.LitCode, fx.DistLen, fx.DistCode);
    } else {
      uint16_t litCode[LCodes], distCode[DCodes];
      BuildCodes(litLen, LCodes, litCode);
      BuildCodes(distLen, DCodes, distCode);
      SendBits((last ? 1u : 0u) | (2u << 1), 3);
      SendBits(static_cast<uint32_t>(nlen - 257), 5);
      SendBits(static_cast<uint32_t>(ndist - 1), 5);
      SendBits(static_cast<uint32_t>(nbl - 4), 4);
      for (int i = 0; i < nbl; ++i) SendBits(FBLLen[BLOrder[i]], 3);
      ScanLengths(all, nlen + ndist, true);
      SendSymbols(litLen, litCode, distLen, distCode);
    }
    FBlockStart = static_cast<int64_t>(FStrStart);
    FLastLit = 0;
    FMatches = 0;
    std::fill(FLitFreq, FLitFreq + LCodes, 0u);
    std::fill(FDistFreq, FDistFreq + DCodes, 0u);
    if (FPendingUsed >= PendingLimit) SendPending();
  }

  TZpZipHelper& FOwner;
  TLevelConfig FConfig;
  int FLevel;
  std::vector<uint8_t> FWindow;
  std::vector<uint16_t> FPrev;
  std::vector<uint16_t> FHead;
  std::vector<uint8_t> FLit;
  std::vector<uint16_t> FDist;
  unsigned FStrStart = 0;
  unsigned FLookahead = 0;
  unsigned FMatchStart = 0;
  int64_t FBlockStart = 0;
  bool FEof = false;
  unsigned FLastLit = 0;
  unsigned FMatches = 0;
  uint32_t FLitFreq[LCodes] = {};
  uint32_t FDistFreq[DCodes] = {};
  uint32_t FBLFreq[BLCodes] = {};
  uint8_t FBLLen[BLCodes] = {};
  uint16_t FBLCode[BLCodes] = {};
  bool FTypeKnown = false;
  std::vector<uint8_t> FPendingRoom;
  std::size_t FPendingUsed = 0;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
};

TZpZipHelper::TZpZipHelper(TStream* source, TZpZDecoder* encryptor, TStream* output)
    : FSource(source), FEncryptor(encryptor), FOutput(output) {}

TZpZipHelper::~TZpZipHelper() = default;

int TZpZipHelper::LevelFromOption() const {
  if (FLevel != 0) return (FLevel >= 1 && FLevel <= 9) ? FLevel : 5;
  switch (FDeflateOption) {
    case doMaximum: return 9;
    case doFast: return 3;
    case doSuperFast: return 1;
    default: return 5;
  }
}

void TZpZipHelper::WriteOut(const uint8_t* data, int64_t count) {
  if (count <= 0) return;
  if (FEncryptor) {
    FCryptBuffer.assign(data, data + count);
    FEncryptor->EncodeBuffer(FCryptBuffer.data(), FCryptBuffer.size());
    data = FCryptBuffer.data();
  }
  if (FOutput->Write(data, count) != count) throw EZpZipStreamFull();
  FCompressedSize += count;
}

void TZpZipHelper::Progress(int64_t done) {
  if (!OnProgress) return;
  bool abort = false;
  OnProgress(ZpPercentage(done, FTotal), abort);
  if (abort) throw EZpUserAbort();
}

void TZpZipHelper::Deflate(int level) {
  TZpDeflater deflater(*this, level);
  deflater.Run();
}

void TZpZipHelper::Store() {
  std::vector<uint8_t> buf(32768);
  for (;;) {
    const int64_t n = FSource->Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    FCRC = ZpUpdateCrc32(FCRC, buf.data(), static_cast<std::size_t>(n));
    FSourceSize += n;
    WriteOut(buf.data(), n);
    Progress(FSourceSize);
  }
}

void TZpZipHelper::Execute() {
  if (!FSource || !FOutput) throw EZpBadStream();
  if (FMethod != ZpMethodStored && FMethod != ZpMethodDeflated && FMethod != ZpMethodBest) throw EZpZipUnsupported();
  const int64_t sourceStart = FSource->Position();
  const int64_t outputStart = FOutput->Position();
  FTotal = std::max<int64_t>(FSource->Size() - sourceStart, 0);
  FCRC = ZpCrcStart;
  FSourceSize = 0;
  FCompressedSize = 0;
  FDataType = dtUnknown;
  int method = FMethod;
  if (method != ZpMethodStored) {
    Deflate(LevelFromOption());
    if (method == ZpMethodBest && FCompressedSize >= FSourceSize) {
      // Storing wins: start the output, the source and the CRC again from where they began.
      FOutput->SetPosition(outputStart);
      if (FEncryptor) FEncryptor->WriteHeader();
      FSource->SetPosition(sourceStart);
      FCRC = ZpCrcStart;
      FSourceSize = 0;
      FCompressedSize = 0;
      method = ZpMethodStored;
    } else {
      method = ZpMethodDeflated;
    }
  }
  if (method == ZpMethodStored) {
    Store();
    const int64_t end = FOutput->Position();
    if (FOutput->Size() > end) FOutput->SetSize(end);
  }
  FMethod = method;
  FCRC ^= 0xFFFFFFFFu;
}
