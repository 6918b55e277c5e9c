// The compressor's match finder: a window of twice 32 KB over the source, hash chains of the
// three-byte strings in it, and the search for the longest earlier match.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zip/engine/ZpDeflateConstants.h"

// How far the strings at scan and match agree, known to share three bytes; at most maxLen. A
// match of tens of bytes, the common case in text, ends within one or two 16-byte compares,
// so the loop's exit is seldom mispredicted.
inline unsigned ZpMatchLength(const uint8_t* scan, const uint8_t* match, unsigned maxLen) {
  unsigned len = 3;
#if defined(__SSE2__)
  while (len < maxLen) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scan + len));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(match + len));
    const unsigned diff = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) ^ 0xFFFFu;
    if (diff) {
      len += static_cast<unsigned>(__builtin_ctz(diff));
      break;
    }
    len += 16;
  }
#else
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
#endif
  return len < maxLen ? len : maxLen;
}

// What a candidate must share with the scan before its length is worth comparing: its first
// three bytes, and the two at the end of the best match so far.
struct TZpScanKey {
  const uint8_t* Win;
  const uint8_t* WinEnd;  // Win + best - 1
  uint32_t Start3;
  uint16_t End2;

  TZpScanKey(const uint8_t* win, const uint8_t* scan, unsigned best) : Win(win) {
    std::memcpy(&Start3, scan, 4);
    Start3 &= 0xFFFFFF;
    SetBest(scan, best);
  }
  void SetBest(const uint8_t* scan, unsigned best) {
    std::memcpy(&End2, scan + best - 1, 2);
    WinEnd = Win + best - 1;
  }
  bool Starts(unsigned c) const {
    uint32_t m4;
    std::memcpy(&m4, Win + c, 4);
    return (m4 & 0xFFFFFF) == Start3;
  }
  bool Ends(unsigned c) const {
    uint16_t m2;
    std::memcpy(&m2, WinEnd + c, 2);
    return m2 == End2;
  }
  // Steps cur down its chain to the next candidate that passes; false when stop() ends the walk
  // first. Candidates ending differently at the best length are the common case, so the end
  // bytes are tested first, with as little as possible kept live.
  template <class TStop>
  bool SkipToEnd(const uint16_t* prev, unsigned& cur, TStop stop) const {
    for (;;) {
      if (Ends(cur) && Starts(cur)) return true;
      cur = prev[cur];
      if (stop()) return false;
    }
  }
  // Before the first match the end bytes are among the three tested: one test a candidate.
  template <class TStop>
  bool SkipToStart(const uint16_t* prev, unsigned& cur, TStop stop) const {
    for (;;) {
      if (Starts(cur)) return true;
      cur = prev[cur];
      if (stop()) return false;
    }
  }
  bool SkipFrom(const uint16_t* prev, unsigned& cur, unsigned best, auto stop) const {
    return best < ZpDeflate::MinMatch ? SkipToStart(prev, cur, stop) : SkipToEnd(prev, cur, stop);
  }
};

// Good: past this length the chain is searched a quarter as far. MaxLazy: the lazy levels look for
// a better match only below it; the greedy levels 1-3 do not hash the strings of longer matches.
// Flags: collected only; the item's general purpose bits 1 and 2 stay 0.
struct TZpLevelConfig {
  int Good, MaxLazy, MaxChain, Flags;
};

constexpr TZpLevelConfig ZpLevelTable[10] = {{0, 0, 0, 0},       {4, 4, 4, 4},      {4, 5, 8, 4},    {4, 6, 32, 0},
                                             {4, 4, 16, 0},      {8, 16, 32, 0},    {8, 16, 128, 0}, {8, 32, 256, 0},
                                             {32, 128, 1024, 2}, {32, 258, 4096, 2}};

class TZpDeflateMatcher {
public:
  static constexpr int WSize = ZpDeflate::WindowSize;
  static constexpr int WMask = WSize - 1;
  static constexpr int HashBits = 15;
  static constexpr int HashSize = 1 << HashBits;
  static constexpr int MinLookahead = ZpDeflate::MaxMatch + ZpDeflate::MinMatch + 1;
  static constexpr int MaxDist = WSize - MinLookahead;
  static constexpr int TooFar = 4096;

  // How the chains are kept. Single: one link a string, for chains of at most four, which gain
  // nothing from pairs. Paired: each link also holds the link after it. Ranked: single links,
  // with counts in the heads and each string's rank, for LongestMatchRanked.
  enum class TChains { Single, Paired, Ranked };

  // The buffers live as long as the matcher; each run starts with Reset.
  TZpDeflateMatcher();
  void Reset(const TZpLevelConfig& config, TChains chains);

  // Where the next source bytes go, and how many fit.
  uint8_t* FillPoint() { return FWindow.get() + StrStart + Lookahead; }
  unsigned FillRoom() const { return static_cast<unsigned>(2 * WSize) - Lookahead - StrStart; }
  bool NeedsSlide() const { return StrStart >= WSize + MaxDist; }
  // Moves the upper half of the window down; positions before it fall out of the chains.
  void Slide();

  const uint8_t* Window() const { return FWindow.get(); }

  static unsigned Hash(uint32_t v) { return ((v & 0xFFFFFF) * 2654435761u) >> (32 - HashBits); }

  // A multiplicative hash of the three bytes at s: far fewer collisions than a shift-and-xor one,
  // so the chains hold fewer strings that cannot match.
  unsigned HashAt(unsigned s) const {
    uint32_t v;
    std::memcpy(&v, FWindow.get() + s, 4);
    return Hash(v);
  }
  // Each kind's insert of the string at s whose hash is h, found when its head was prefetched;
  // the string's predecessor. A paired link holds the predecessor and the one before that: the
  // predecessor's own link was written when it went in.
  inline unsigned InsertSingle(unsigned s, unsigned h) {
    const unsigned head = FHead[h];
    FPrev[s] = static_cast<uint16_t>(head);
    FHead[h] = static_cast<uint16_t>(s);
    return head;
  }
  inline unsigned InsertPaired(unsigned s, unsigned h) {
    const unsigned head = FHead[h];
    FLink[s & WMask] = head | (FLink[head & WMask] << 16);
    FHead[h] = static_cast<uint16_t>(s);
    return head;
  }
  inline unsigned InsertRanked(unsigned s, unsigned h) {
    const uint32_t e = FRankedHead[h];
    FPrev[s] = static_cast<uint16_t>(e);
    FRank[s & WMask] = static_cast<uint16_t>((e >> 16) + 1);
    FRankedHead[h] = ((e + 0x10000u) & 0xFFFF0000u) | s;
    return e & 0xFFFFu;
  }
  // The n strings from s on, as a match passes over them.
  inline void InsertRunSingle(unsigned s, unsigned n) {
    InsertEach(s, n, [this](unsigned at, unsigned h) { InsertSingle(at, h); });
  }
  inline void InsertRunPaired(unsigned s, unsigned n) {
    InsertEach(s, n, [this](unsigned at, unsigned h) { InsertPaired(at, h); });
  }
  inline void InsertRunRanked(unsigned s, unsigned n) {
    InsertEach(s, n, [this](unsigned at, unsigned h) { InsertRanked(at, h); });
  }
  // The head slot of the string at s is wanted soon: the search at the current position runs
  // while it loads. Its hash, for the insert to come. Single and paired chains share their heads.
  inline unsigned PrefetchPlainHeadOf(unsigned s) const {
    const unsigned h = HashAt(s);
    __builtin_prefetch(FHead.get() + h);
    return h;
  }
  inline unsigned PrefetchRankedHeadOf(unsigned s) const {
    const unsigned h = HashAt(s);
    __builtin_prefetch(FRankedHead.get() + h);
    return h;
  }

  // The longest match at StrStart found along the chain from cur, if longer than prevLength;
  // sets MatchStart.
  unsigned LongestMatch(unsigned cur, unsigned prevLength);
  // The same result, from a walk that leaves the chain of the scan's first bytes for the chain
  // of a later stretch of the best match where that one reaches further back; maxOffset bounds
  // the stretches looked at, 0 when the strings inside matches are not all inserted.
  unsigned LongestMatchRanked(unsigned cur, unsigned prevLength, unsigned maxOffset);

  // What the lazy walk keeps of a search at `at` that began at prevLength and returned len: a
  // match no longer than the pending one, or of three bytes far back, counts as none.
  static unsigned Kept(unsigned len, unsigned prevLength, unsigned at, unsigned start) {
    if (len <= prevLength || (len == ZpDeflate::MinMatch && at - start > TooFar)) return ZpDeflate::MinMatch - 1;
    return len;
  }

  // The searches at StrStart and StrStart + 1 when no match is pending at StrStart, with both
  // chain walks in one loop so that their loads overlap; cur0 and cur1 are the two chain heads,
  // StrStart + 1 already inserted, and the lookahead above the minimum. Length and MatchStart
  // are as LongestMatch(cur0, 2) leaves them; NextLength and NextStart as the search at
  // StrStart + 1 would leave them after what the lazy walk keeps of the first (only meaningful
  // when that is below the maximum lazy length).
  struct TPair {
    unsigned Length, NextLength, NextStart;
  };
  TPair LongestMatchPair(unsigned cur0, unsigned cur1);
  // The greedy levels, single or paired chains: inserts the string at s (hash h, at least three
  // bytes left) and returns the length of the longest earlier match within the chain limit, with
  // its start; 0 for none, a three-byte match far back included.
  template <bool Single>
  unsigned GreedyMatch(unsigned s, unsigned h, unsigned lookahead, unsigned& start);

  unsigned StrStart = 0;
  unsigned Lookahead = 0;
  unsigned MatchStart = 0;

private:
  // Each string of the n from s on, with its hash, through insert(at, hash).
  template <class TInsert>
  void InsertEach(unsigned s, unsigned n, TInsert insert) {
    const uint8_t* win = FWindow.get();
    for (const unsigned end = s + n; s != end; ++s) {
      uint32_t v;
      std::memcpy(&v, win + s, 4);
      insert(s, Hash(v));
    }
  }
  // Visits a paired chain from cur: cur itself, then each string above limit, chain candidates in
  // all, until visit(c) returns true. Each link brings the string after next too, so the walk
  // waits on one load every two candidates, and that load is under way before the candidate
  // between is tested.
  template <class TVisit>
  void WalkPaired(unsigned cur, unsigned chain, unsigned limit, TVisit visit) const {
    const uint32_t* link = FLink.get();
    uint32_t l = link[cur & WMask];
    for (;;) {
      if (visit(cur) || --chain == 0) return;
      const unsigned c1 = l & 0xFFFFu, c2 = l >> 16;
      const uint32_t l2 = link[c2 & WMask];
      if (c1 <= limit || visit(c1) || --chain == 0 || c2 <= limit) return;
      cur = c2;
      l = l2;
    }
  }

  // Only the head table must start empty: a chain never reaches a position not inserted in this
  // run, and bytes past the data only ever lengthen a match beyond where it is cut.
  TZpLevelConfig FConfig{};
  std::unique_ptr<uint8_t[]> FWindow;
  // Single and ranked links. Indexed by the whole position, not folded onto the window size: the
  // chain walk is a string of dependent loads and the mask would lengthen each step. Only the
  // half below StrStart's reach is live.
  std::unique_ptr<uint16_t[]> FPrev;
  // Ranked, per hash: the latest position in the low half, the number of strings ever inserted with it
  // in the high half. FRank, by position within the window, holds that number for each string:
  // how far down its chain a string lies follows from two ranks.
  std::unique_ptr<uint16_t[]> FHead;
  // Paired, by position within the window: the string's link, and its link's link in the high
  // half. Folded onto the window size, so that it takes no more room than single links by the
  // whole position; the walk bears the mask once every two steps.
  std::unique_ptr<uint32_t[]> FLink;
  std::unique_ptr<uint32_t[]> FRankedHead;
  std::unique_ptr<uint16_t[]> FRank;
  TChains FChains = TChains::Single;
  bool FSlid = false;
};

// Inline: the compress loops call it at nearly every position.
inline unsigned TZpDeflateMatcher::LongestMatch(unsigned cur, unsigned prevLength) {
  unsigned chain = static_cast<unsigned>(FConfig.MaxChain);
  const uint8_t* win = FWindow.get();
  const uint8_t* scan = win + StrStart;
  unsigned best = prevLength;
  const unsigned limit = StrStart > MaxDist ? StrStart - MaxDist : 0;
  const unsigned maxLen = std::min<unsigned>(ZpDeflate::MaxMatch, Lookahead);
  if (prevLength >= static_cast<unsigned>(FConfig.Good)) chain >>= 2;
  if (best >= maxLen) return best;
  // Below a match the end bytes are two of the start bytes: the one test serves both cases.
  TZpScanKey key(win, scan, best);
  WalkPaired(cur, chain, limit, [&](unsigned c) {
    if (!key.Ends(c) || !key.Starts(c)) return false;
    const unsigned len = ZpMatchLength(scan, win + c, maxLen);
    if (len <= best) return false;
    MatchStart = c;
    best = len;
    if (len >= maxLen) return true;
    key.SetBest(scan, best);
    return false;
  });
  return best;
}

// The search of LongestMatch with nothing pending, the string's own insert before it. A chain of
// at most four candidates (single links) is tested without a loop: a chain that ends early only
// clears their flags, so its end is no branch to mispredict, and the next string's search can
// start while the links still load. Tests past a candidate that reached maxLen cannot change the
// result.
template <bool Single>
inline unsigned TZpDeflateMatcher::GreedyMatch(unsigned s, unsigned h, unsigned lookahead, unsigned& start) {
  const unsigned cur = Single ? InsertSingle(s, h) : InsertPaired(s, h);
  if (cur == 0 || s - cur > MaxDist) return 0;
  unsigned chain = static_cast<unsigned>(FConfig.MaxChain);
  if (FConfig.Good < ZpDeflate::MinMatch) chain >>= 2;
  const uint8_t* win = FWindow.get();
  const uint8_t* scan = win + s;
  const unsigned limit = s > MaxDist ? s - MaxDist : 0;
  const unsigned maxLen = std::min<unsigned>(ZpDeflate::MaxMatch, lookahead);
  uint32_t start3;
  std::memcpy(&start3, scan, 4);
  start3 &= 0xFFFFFF;
  unsigned best = ZpDeflate::MinMatch - 1;
  uint16_t end2;
  std::memcpy(&end2, scan + best - 1, 2);
  // Zero when c, if valid (1), may beat the best so far: the same first three bytes and the same
  // two at its end. One integer, so the test stays one branch that is seldom taken.
  auto miss = [&](unsigned c, unsigned valid) {
    uint16_t m2;
    std::memcpy(&m2, win + best - 1 + c, 2);
    uint32_t m4;
    std::memcpy(&m4, win + c, 4);
    return static_cast<uint32_t>(m2 ^ end2) | ((m4 ^ start3) & 0xFFFFFF) | (valid ^ 1u);
  };
  auto take = [&](unsigned c) {
    const unsigned len = ZpMatchLength(scan, win + c, maxLen);
    if (len > best) {
      start = c;
      best = len;
      std::memcpy(&end2, scan + best - 1, 2);
    }
  };
  if constexpr (Single) {
    // Links below the limit may lead anywhere: each flag includes the one before it. A step the
    // chain limit forbids gets a limit no position passes.
    const uint16_t* const prev = FPrev.get();
    auto above = [](unsigned c, unsigned lim) { return (lim - c) >> 31; };
    const unsigned lim1 = chain > 1 ? limit : 0xFFFFu;
    const unsigned lim2 = chain > 2 ? limit : 0xFFFFu;
    const unsigned lim3 = chain > 3 ? limit : 0xFFFFu;
    if (miss(cur, 1) == 0) take(cur);
    const unsigned c1 = prev[cur];
    const unsigned v1 = above(c1, lim1);
    if (miss(c1, v1) == 0) take(c1);
    const unsigned c2 = prev[c1];
    const unsigned v2 = v1 & above(c2, lim2);
    if (miss(c2, v2) == 0) take(c2);
    const unsigned c3 = prev[c2];
    if (miss(c3, v2 & above(c3, lim3)) == 0) take(c3);
  } else {
    // The start bytes are loaded only for a candidate whose end bytes match: after a long match
    // they lie on another cache line.
    WalkPaired(cur, chain, limit, [&](unsigned c) {
      uint16_t m2;
      std::memcpy(&m2, win + best - 1 + c, 2);
      if (m2 != end2) return false;
      uint32_t m4;
      std::memcpy(&m4, win + c, 4);
      if (((m4 ^ start3) & 0xFFFFFF) != 0) return false;
      take(c);
      return best >= maxLen;
    });
  }
  if (best < ZpDeflate::MinMatch || (best == ZpDeflate::MinMatch && s - start > TooFar)) return 0;
  return best;
}

// A string that beats the best match so far shares its first best + 1 bytes with the scan, so it
// lies on the chain of every three-byte stretch of the best match, as many bytes further on: the
// walk may follow whichever of those chains reaches furthest back at once. Off the first chain,
// the chain limit is kept by ranks: a string with the scan's first three bytes lies on that
// chain, as far down from its head as the difference of their ranks.
inline unsigned TZpDeflateMatcher::LongestMatchRanked(unsigned cur, unsigned prevLength, unsigned maxOffset) {
 
  unsigned chain = static_cast<unsigned>(FConfig.MaxChain);
  if (prevLength >= static_cast<unsigned>(FConfig.Good)) chain >>= 2;
  const unsigned budget = chain;
  const uint8_t* win = FWindow.get();
  const uint16_t* prev = FPrev.get();
  const uint16_t* rank = FRank.get();
  const uint8_t* scan = win + StrStart;
  unsigned best = prevLength;
  const unsigned limit = StrStart > MaxDist ? StrStart - MaxDist : 0;
  const unsigned maxLen = std::min<unsigned>(ZpDeflate::MaxMatch, Lookahead);
  if (best >= maxLen) return best;
  const unsigned first = cur;
  const unsigned firstRank = rank[first & WMask];
  // The first candidate is searched even at the limit.
  const int lowest = static_cast<int>(first == limit ? limit : limit + 1);
  TZpScanKey key(win, scan, best);
  auto stop = [&] { return cur <= limit || --chain == 0; };
  // The stretch of a string c sharing len bytes with the scan whose chain goes furthest back
  // below c (0: the first chain); next: where that chain goes on, standing for next - offset.
  unsigned offset = 0;
  int next = 0;
  auto choose = [&](unsigned c, unsigned len) {
    const unsigned kmax = std::min({len - ZpDeflate::MinMatch, StrStart - 1 - c, maxOffset});
    int furthest = prev[c];
    offset = 0;
    for (unsigned k = 1; k <= kmax; ++k) {
      const int n = static_cast<int>(prev[c + k]) - static_cast<int>(k);
      if (n < furthest) {
        furthest = n;
        offset = k;
      }
    }
    next = furthest + static_cast<int>(offset);
  };
  bool off = false;
  if (best > ZpDeflate::MinMatch) {
    // The pending match one position back shares best - 1 bytes with the scan one further on;
    // the chain chosen below it is entered at its head, for the strings nearer than it.
    choose(MatchStart + 1, best - 1);
    if (offset != 0) {
      uint32_t v;
      std::memcpy(&v, scan + offset, 4);
      next = static_cast<int>(FRankedHead[Hash(v)] & 0xFFFFu);
      while (next > static_cast<int>(first + offset)) next = prev[next];
      off = true;
    }
  }
  if (!off && !key.SkipFrom(prev, cur, best, stop)) return best;
  for (;;) {
    if (!off) {
      // cur: a candidate on the first chain sharing the start and end bytes, chain steps left.
      const unsigned len = ZpMatchLength(scan, win + cur, maxLen);
      if (len > best) {
        MatchStart = cur;
        best = len;
        if (len >= maxLen) return best;
        key.SetBest(scan, best);
        choose(cur, len);
        if (offset != 0) {
          off = true;
          continue;
        }
      }
      cur = prev[cur];
      if (stop()) return best;
      if (!key.SkipToEnd(prev, cur, stop)) return best;
      continue;
    }
    // Off the first chain: a candidate is tested by its end bytes, then by its start and rank.
    const int c = next - static_cast<int>(offset);
    if (c < lowest) return best;
    if (key.Ends(static_cast<unsigned>(c)) && key.Starts(static_cast<unsigned>(c))) {
      const unsigned down = static_cast<uint16_t>(firstRank - rank[c & WMask]);
      if (down >= budget) return best;
      const unsigned len = ZpMatchLength(scan, win + c, maxLen);
      if (len > best) {
        MatchStart = static_cast<unsigned>(c);
        best = len;
        if (len >= maxLen) return best;
        key.SetBest(scan, best);
        choose(static_cast<unsigned>(c), len);
        if (offset == 0) {
          // Back on the first chain below c, with the steps its walk would have left there.
          off = false;
          chain = budget - down;
          cur = prev[c];
          if (stop()) return best;
          if (!key.SkipToEnd(prev, cur, stop)) return best;
        }
        continue;
      }
    }
    next = prev[next];
  }
}
