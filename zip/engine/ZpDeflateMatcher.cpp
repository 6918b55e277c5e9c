#include "zip/engine/ZpDeflateMatcher.h"

#include <algorithm>

TZpDeflateMatcher::TZpDeflateMatcher()
    : FWindow(new uint8_t[2 * WSize + ZpDeflate::MaxMatch + 64]),
      FPrev(new uint16_t[2 * WSize]()),
      FHead(new uint16_t[HashSize]()),
      FLink(new uint32_t[WSize]()),
      FRankedHead(new uint32_t[HashSize]()),
      FRank(new uint16_t[WSize]()) {}

void TZpDeflateMatcher::Reset(const TZpLevelConfig& config, TChains chains) {
  // A short run that never slid touched only the hash slots of its own strings. Only the heads
  // of the last run's kind were used since they were last cleared.
  const unsigned used = StrStart + Lookahead;
  const bool ranked = FChains == TChains::Ranked;
  if (!FSlid && used < HashSize / 8) {
    for (unsigned s = 0; s + ZpDeflate::MinMatch <= used; ++s) {
      uint32_t v;
      std::memcpy(&v, FWindow.get() + s, 4);
      if (ranked)
        FRankedHead[Hash(v)] = 0;
      else
        FHead[Hash(v)] = 0;
    }
  } else if (ranked) {
    std::memset(FRankedHead.get(), 0, sizeof(uint32_t) * HashSize);
  } else {
    std::memset(FHead.get(), 0, sizeof(uint16_t) * HashSize);
  }
  FChains = chains;
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
  if (FChains == TChains::Ranked) {
    // The counts stay; ranks are kept by position within the window, which the slide keeps.
    for (int i = 0; i < HashSize; ++i) {
      const uint32_t e = FRankedHead[i];
      FRankedHead[i] = (e & 0xFFFFu) >= WSize ? e - WSize : e & 0xFFFF0000u;
    }
  } else {
    for (int i = 0; i < HashSize; ++i) FHead[i] = static_cast<uint16_t>(FHead[i] >= WSize ? FHead[i] - WSize : 0);
  }
  if (FChains == TChains::Paired) {
    // A paired link stays in its slot; both positions in it move down.
    for (int i = 0; i < WSize; ++i) {
      const uint32_t e = FLink[i];
      const unsigned lo = e & 0xFFFFu, hi = e >> 16;
      FLink[i] = (lo >= WSize ? lo - WSize : 0) | (hi >= WSize ? hi - WSize : 0) << 16;
    }
    return;
  }
  // Positions of the upper half move down with their links; the upper half is written afresh as
  // its strings are inserted.
  for (int i = 0; i < WSize; ++i) {
    const unsigned p = FPrev[i + WSize];
    FPrev[i] = static_cast<uint16_t>(p >= WSize ? p - WSize : 0);
  }
}


namespace {

// One chain walk of a pair: where it is, the best found and where, and what is left of it.
struct TZpWalk {
  const uint8_t* Scan;
  const uint8_t* WinEnd;  // window + Best - 1: candidates are tested first at the best's end
  unsigned Cur, Best, Pos, Chain, Limit;
  uint16_t End2;
  uint32_t Start3;

  void SetBest(const uint8_t* win, unsigned best) {
    Best = best;
    std::memcpy(&End2, Scan + best - 1, 2);
    WinEnd = win + best - 1;
  }
};

TZpWalk ZpStartWalk(const uint8_t* win, unsigned at, unsigned cur, unsigned chain, unsigned limit) {
  TZpWalk w{};
  w.Scan = win + at;
  w.Cur = cur;
  w.Chain = chain;
  w.Limit = limit;
  w.SetBest(win, ZpDeflate::MinMatch - 1);
  std::memcpy(&w.Start3, w.Scan, 4);
  w.Start3 &= 0xFFFFFF;
  return w;
}

// One candidate of the walk, as LongestMatch takes it; false when the walk has ended.
inline bool ZpStep(TZpWalk& w, const uint8_t* win, const uint16_t* prev) {
  constexpr unsigned maxLen = ZpDeflate::MaxMatch;
  uint16_t m2;
  std::memcpy(&m2, w.WinEnd + w.Cur, 2);
  if (m2 == w.End2) {
    uint32_t m4;
    std::memcpy(&m4, win + w.Cur, 4);
    if ((m4 & 0xFFFFFF) == w.Start3) {
      const unsigned len = ZpMatchLength(w.Scan, win + w.Cur, maxLen);
      if (len > w.Best) {
        w.Pos = w.Cur;
        if (len >= maxLen) {
          w.Best = len;
          return false;
        }
        w.SetBest(win, len);
      }
    }
  }
  w.Cur = prev[w.Cur];
  return w.Cur > w.Limit && --w.Chain != 0;
}

inline void ZpStepBoth(TZpWalk& a, bool& aLive, TZpWalk& b, bool& bLive, const uint8_t* win, const uint16_t* prev) {
  while (aLive && bLive) {
    aLive = ZpStep(a, win, prev);
    bLive = ZpStep(b, win, prev);
  }
}

}  // namespace

// The second search's result depends on the first's, which is not known while both walk: it
// walks from no match and keeps the nearest candidate of each new best, which is what a walk
// from any start finds whenever it finds more than its start. Its chain limit depends on the
// first result too, so its state after a quarter of the chain is kept.
TZpDeflateMatcher::TPair TZpDeflateMatcher::LongestMatchPair(unsigned cur0, unsigned cur1) {
  using ZpDeflate::MinMatch;
  const uint8_t* win = FWindow.get();
  const uint16_t* prev = FPrev.get();
  const unsigned maxChain = static_cast<unsigned>(FConfig.MaxChain);
  const unsigned quarter = maxChain >> 2;
  const unsigned at = StrStart;
  TZpWalk a = ZpStartWalk(win, at, cur0, maxChain, at > MaxDist ? at - MaxDist : 0);
  TZpWalk b = ZpStartWalk(win, at + 1, cur1, quarter, at + 1 > MaxDist ? at + 1 - MaxDist : 0);
  bool aLive = true, bLive = true;
  // Whether b has gone past its first quarter, and its state there.
  bool bPast = false;
  TZpWalk bQuarter{};
  ZpStepBoth(a, aLive, b, bLive, win, prev);
  if (!bLive) {
    bQuarter = b;
    bPast = true;
    if (b.Chain == 0) {
      b.Chain = maxChain - quarter;
      bLive = true;
      ZpStepBoth(a, aLive, b, bLive, win, prev);
    }
  }
  while (aLive) aLive = ZpStep(a, win, prev);
  TPair r{};
  r.Length = a.Best;
  if (a.Best > MinMatch - 1) MatchStart = a.Pos;
  const unsigned kept = Kept(a.Best, MinMatch - 1, at, MatchStart);
  r.NextLength = kept;
  r.NextStart = MatchStart;
  if (kept >= static_cast<unsigned>(FConfig.MaxLazy)) return r;
  const TZpWalk* last = &b;
  if (kept >= static_cast<unsigned>(FConfig.Good) && bPast) {
    last = &bQuarter;
  } else if (bLive) {
    if (!bPast && kept < static_cast<unsigned>(FConfig.Good)) b.Chain += maxChain - quarter;
    // Only candidates longer than the first result count now.
    if (kept > b.Best) b.SetBest(win, kept);
    while (bLive) bLive = ZpStep(b, win, prev);
  }
  if (last->Best > kept) {
    r.NextLength = last->Best;
    r.NextStart = last->Pos;
  }
  return r;
}
