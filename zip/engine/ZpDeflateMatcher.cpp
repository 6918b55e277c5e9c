#include "zip/engine/ZpDeflateMatcher.h"

#include <algorithm>

TZpDeflateMatcher::TZpDeflateMatcher()
    : FWindow(new uint8_t[2 * WSize + ZpDeflate::MaxMatch + 64]),
      FPrev(new uint16_t[WSize]),
      FHead(new uint16_t[HashSize]()) {}

void TZpDeflateMatcher::Reset(const TZpLevelConfig& config) {
  // A short run that never slid touched only the hash slots of its own strings.
  const unsigned used = StrStart + Lookahead;
  if (!FSlid && used < HashSize / 8) {
    for (unsigned s = 0; s + ZpDeflate::MinMatch <= used; ++s) {
      uint32_t v;
      std::memcpy(&v, FWindow.get() + s, 4);
      FHead[Hash(v)] = 0;
    }
  } else {
    std::memset(FHead.get(), 0, sizeof(uint16_t) * HashSize);
  }
  FConfig = config;
  FSlid = false;
  StrStart = 0;
  Lookahead = 0;
  MatchStart = 0;
}

void TZpDeflateMatcher::Slide() {
  std::memcpy(FWindow.get(), FWindow.get() + WSize, WSize);
  MatchStart -= WSize;
  StrStart -= WSize;
  FSlid = true;
  for (int i = 0; i < HashSize; ++i) FHead[i] = static_cast<uint16_t>(FHead[i] >= WSize ? FHead[i] - WSize : 0);
  for (int i = 0; i < WSize; ++i) FPrev[i] = static_cast<uint16_t>(FPrev[i] >= WSize ? FPrev[i] - WSize : 0);
}

unsigned TZpDeflateMatcher::LongestMatch(unsigned cur, unsigned prevLength) {
  unsigned chain = static_cast<unsigned>(FConfig.MaxChain);
  const uint8_t* win = FWindow.get();
  const uint16_t* prev = FPrev.get();
  const uint8_t* scan = win + StrStart;
  unsigned best = prevLength;
  const unsigned limit = StrStart > MaxDist ? StrStart - MaxDist : 0;
  const unsigned maxLen = std::min<unsigned>(ZpDeflate::MaxMatch, Lookahead);
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
      MatchStart = cur;
      best = len;
      if (len >= maxLen) return best;
      std::memcpy(&end2, scan + best - 1, 2);
      winEnd = win + best - 1;
    }
    cur = prev[cur & WMask];
    if (cur <= limit || --chain == 0) return best;
  }
}
