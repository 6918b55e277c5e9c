#include "zip/engine/ZpDeflateMatcher.h"

#include <algorithm>

TZpDeflateMatcher::TZpDeflateMatcher()
    : FWindow(new uint8_t[2 * WSize + ZpDeflate::MaxMatch + 64]),
      FPrev(new uint16_t[2 * WSize]()),
      FHead(new uint16_t[HashSize]()),
      FRankedHead(new uint32_t[HashSize]()),
      FRank(new uint16_t[WSize]()) {}

void TZpDeflateMatcher::Reset(const TZpLevelConfig& config, bool ranked) {
  // A short run that never slid touched only the hash slots of its own strings. Only the heads
  // of the last run's kind were used since they were last cleared.
  const unsigned used = StrStart + Lookahead;
  if (!FSlid && used < HashSize / 8) {
    for (unsigned s = 0; s + ZpDeflate::MinMatch <= used; ++s) {
      uint32_t v;
      std::memcpy(&v, FWindow.get() + s, 4);
      if (FRanked)
        FRankedHead[Hash(v)] = 0;
      else
        FHead[Hash(v)] = 0;
    }
  } else if (FRanked) {
    std::memset(FRankedHead.get(), 0, sizeof(uint32_t) * HashSize);
  } else {
    std::memset(FHead.get(), 0, sizeof(uint16_t) * HashSize);
  }
  FRanked = ranked;
  FConfig = config;
  FSlid = false;
  StrStart = 0;
  Lookahead = 0;
  MatchStart = 0;
}

// Twice the lanes where the processor has them; the program still runs on any x86-64.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void TZpDeflateMatcher::Slide() {
  std::memcpy(FWindow.get(), FWindow.get() + WSize, WSize);
  MatchStart -= WSize;
  StrStart -= WSize;
  FSlid = true;
  if (FRanked) {
    // The counts stay; ranks are kept by position within the window, which the slide keeps.
    for (int i = 0; i < HashSize; ++i) {
      const uint32_t e = FRankedHead[i];
      FRankedHead[i] = (e & 0xFFFFu) >= WSize ? e - WSize : e & 0xFFFF0000u;
    }
  } else {
    for (int i = 0; i < HashSize; ++i) FHead[i] = static_cast<uint16_t>(FHead[i] >= WSize ? FHead[i] - WSize : 0);
  }
  // Positions of the upper half move down with their links; the upper half is written afresh as
  // its strings are inserted.
  for (int i = 0; i < WSize; ++i) {
    const unsigned p = FPrev[i + WSize];
    FPrev[i] = static_cast<uint16_t>(p >= WSize ? p - WSize : 0);
  }
}
