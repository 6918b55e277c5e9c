#include "zip/engine/ZpDeflater.h"

#include <algorithm>
#include <chrono>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpZipHelper.h"

using namespace ZpDeflate;

namespace {

// Which of two exact searches serves the ranked levels better, found by timing them: the ranked
// walk where the data has rare stretches to follow, two plain walks side by side where every
// chain is as long as the first. Each takes a short stretch in turn, then the faster one a long
// stretch; the bytes written are the same either way.
class TZpWalkChooser {
public:
  bool Pairs() const { return FPairs; }
  void Step() {
    if (--FLeft == 0) Next();
  }

private:
  static constexpr unsigned Trial = 2048;  // steps of the compress loop
  static constexpr unsigned Run = 64 * Trial;
  using TClock = std::chrono::steady_clock;

  // Phases 0-3 time the two walks in turn, twice, so that a drift in the data weighs on both;
  // phase 4 runs the faster one. The first run starts once the window has filled.
  void Next() {
    const TClock::time_point now = TClock::now();
    if (FPhase < 4) (FPairs ? FPairsTime : FRankedTime) += now - FStart;
    if (++FPhase == 4) {
      FPairs = FPairsTime < FRankedTime;
      FLeft = Run;
    } else {
      if (FPhase == 5) {
        FPhase = 0;
        FPairsTime = FRankedTime = TClock::duration{};
      }
      FPairs = FPhase % 2 == 1;
      FLeft = Trial;
    }
    FStart = now;
  }

  bool FPairs = false;
  int FPhase = 4;
  unsigned FLeft = 8 * Trial;
  TClock::time_point FStart{};
  TClock::duration FRankedTime{}, FPairsTime{};
};

}  // namespace

TZpDeflater::TZpDeflater() : FWriter(PendingLimit * 4) {}

void TZpDeflater::Run(TZpZipHelper& owner, int level) {
  FOwner = &owner;
  FConfig = ZpLevelTable[level];
  FLevel = level;
  using TChains = TZpDeflateMatcher::TChains;
  // A chain of four is walked without a loop, from single links; the pairs would only cost it.
  const bool greedy = FLevel <= LastGreedyLevel;
  const TChains chains = greedy ? (FConfig.MaxChain <= 4 ? TChains::Single : TChains::Paired)
                                : (FConfig.MaxChain >= RankedChain ? TChains::Ranked : TChains::Paired);
  FMatcher.Reset(FConfig, chains);
  FBlock.Reset(level);
  FWriter.Reset();
  FBlockStart = 0;
  FEof = false;
  FillWindow();
  if (!greedy)
    Compress();
  else if (chains == TChains::Single)
    CompressGreedy<true>();
  else
    CompressGreedy<false>();
  FlushBlock(true);
  FWriter.FlushBits();
  SendPending();
  FOwner->FDataType = FBlock.IsText() ? dtText : dtBinary;
}

void TZpDeflater::FillWindow() {
  TZpDeflateMatcher& m = FMatcher;
  for (;;) {
    if (m.NeedsSlide()) {
      m.Slide();
      FBlockStart -= TZpDeflateMatcher::WSize;
    }
    const unsigned more = m.FillRoom();
    if (FEof) return;
    uint8_t* at = m.FillPoint();
    const int64_t got = FOwner->FSource->Read(at, more);
    if (got <= 0) {
      FEof = true;
      return;
    }
    FOwner->FCRC = ZpUpdateCrc32(FOwner->FCRC, at, static_cast<std::size_t>(got));
    FOwner->FSourceSize += got;
    FOwner->Progress(FOwner->FSourceSize);
    m.Lookahead += static_cast<unsigned>(got);
    if (m.Lookahead >= TZpDeflateMatcher::MinLookahead) return;
  }
}

void TZpDeflater::SendPending() {
  if (FWriter.Used()) FOwner->WriteOut(FWriter.Data(), static_cast<int64_t>(FWriter.Used()));
  FWriter.Clear();
}

void TZpDeflater::FlushBlock(bool last) {
  const int64_t storedLen = static_cast<int64_t>(FMatcher.StrStart) - FBlockStart;
  FBlock.Flush(FWriter, FBlockStart >= 0 ? FMatcher.Window() + FBlockStart : nullptr, storedLen, last);
  FBlockStart = static_cast<int64_t>(FMatcher.StrStart);
  if (FWriter.Used() >= PendingLimit) SendPending();
}

// The ranked loop's step: refills the window when it runs low and inserts the string at StrStart;
// false at the end. The hash is taken anew only when no earlier prefetch of the head left it
// (hashKnown): a refill may add the bytes it was taken from.
inline bool TZpDeflater::NextString(unsigned& hashHead, unsigned hash, bool& hashKnown) {
  TZpDeflateMatcher& m = FMatcher;
  if (m.Lookahead < TZpDeflateMatcher::MinLookahead) {
    FillWindow();
    if (m.Lookahead == 0) return false;
    hashKnown = false;
  }
  hashHead = m.Lookahead >= MinMatch ? m.InsertRanked(m.StrStart, hashKnown ? hash : m.HashAt(m.StrStart)) : 0;
  return true;
}

// Levels 1-3: take each match as found; the strings inside a long match go unhashed. The hash
// of the next position is taken once, when its head is prefetched. The position and lookahead
// live in locals and go back to the matcher only where the window or block code reads them.
template <bool Single>
void TZpDeflater::CompressGreedy() {
  TZpDeflateMatcher& m = FMatcher;
  const uint8_t* const win = m.Window();
  const unsigned insertLimit = static_cast<unsigned>(FConfig.MaxLazy);
  unsigned s = m.StrStart;
  unsigned look = m.Lookahead;
  unsigned hash = 0;
  bool hashKnown = false;
  for (;;) {
    if (look < TZpDeflateMatcher::MinLookahead) {
      m.StrStart = s;
      m.Lookahead = look;
      FillWindow();
      s = m.StrStart;
      look = m.Lookahead;
      if (look == 0) break;
      hashKnown = false;
    }
    unsigned matchLength = 0, start = 0;
    if (look >= MinMatch) {
      const unsigned h = hashKnown ? hash : m.HashAt(s);
      hash = m.PrefetchPlainHeadOf(s + 1);
      matchLength = m.template GreedyMatch<Single>(s, h, look, start);
    } else {
      hash = m.PrefetchPlainHeadOf(s + 1);
    }
    const uint64_t covered = static_cast<uint64_t>(static_cast<int64_t>(s) - FBlockStart);
    bool flush;
    if (matchLength != 0) {
      hash = m.PrefetchPlainHeadOf(s + matchLength);
      FBlock.TallyMatch(s - start, matchLength - MinMatch);
      flush = FBlock.Full(covered);
      look -= matchLength;
      if (matchLength <= insertLimit && look >= MinMatch) {
        if constexpr (Single)
          m.InsertRunSingle(s + 1, matchLength - 1);
        else
          m.InsertRunPaired(s + 1, matchLength - 1);
      }
      s += matchLength;
    } else {
      FBlock.TallyLiteral(win[s]);
      flush = FBlock.Full(covered);
      --look;
      ++s;
    }
    hashKnown = true;
    if (flush) {
      m.StrStart = s;
      m.Lookahead = look;
      FlushBlock(false);
    }
  }
}

// The chains' kind is fixed for the run: levels 4-6 get a loop without the ranked branches.
void TZpDeflater::Compress() {
  if (FConfig.MaxChain >= RankedChain)
    CompressLazy<true>();
  else
    CompressLazy<false>();
}

template <bool Ranked>
void TZpDeflater::CompressLazy() {
  TZpDeflateMatcher& m = FMatcher;
  unsigned matchLength = MinMatch - 1;
  bool matchAvailable = false;
  const unsigned maxLazy = static_cast<unsigned>(FConfig.MaxLazy);
  // The string at StrStart was hashed, and searched when its head allows, with the one before.
  bool ahead = false;
  unsigned aheadHead = 0;
  TZpDeflateMatcher::TPair pair{};
  TZpWalkChooser chooser;
  unsigned hash = 0;
  bool hashKnown = false;
  for (;;) {
    if constexpr (Ranked) chooser.Step();
    unsigned hashHead;
    if constexpr (Ranked) {
      if (ahead)
        hashHead = aheadHead;
      else if (!NextString(hashHead, hash, hashKnown))
        break;
    } else {
      if (m.Lookahead < TZpDeflateMatcher::MinLookahead) {
        FillWindow();
        if (m.Lookahead == 0) break;
        hashKnown = false;
      }
      hashHead = m.Lookahead >= MinMatch ? m.InsertPaired(m.StrStart, hashKnown ? hash : m.HashAt(m.StrStart)) : 0;
    }
    const bool searchedAhead = ahead;
    ahead = false;
    const unsigned prevLength = matchLength;
    const unsigned prevMatch = m.MatchStart;
    matchLength = MinMatch - 1;
    hash = Ranked ? m.PrefetchRankedHeadOf(m.StrStart + 1) : m.PrefetchPlainHeadOf(m.StrStart + 1);
    hashKnown = true;
    if (hashHead != 0 && prevLength < maxLazy && m.StrStart - hashHead <= TZpDeflateMatcher::MaxDist) {
      const unsigned from = prevLength < MinMatch - 1 ? MinMatch - 1 : prevLength;
      if constexpr (Ranked) {
        if (searchedAhead) {
          matchLength = pair.NextLength;
          m.MatchStart = pair.NextStart;
        } else if (prevLength < MinMatch && chooser.Pairs() && m.Lookahead > TZpDeflateMatcher::MinLookahead) {
          // Where the other chains are as long as the first, this position and the next are
          // searched in one loop so that their walks overlap; no refill comes between.
          aheadHead = m.InsertRanked(m.StrStart + 1, m.HashAt(m.StrStart + 1));
          ahead = true;
          if (aheadHead != 0 && m.StrStart + 1 - aheadHead <= TZpDeflateMatcher::MaxDist) {
            pair = m.LongestMatchPair(hashHead, aheadHead);
            matchLength = pair.Length;
          } else {
            matchLength = m.LongestMatchRanked(hashHead, from, MaxOffset);
          }
        } else {
          matchLength = m.LongestMatchRanked(hashHead, from, MaxOffset);
        }
      } else {
        matchLength = m.LongestMatch(hashHead, from);
      }
      matchLength = TZpDeflateMatcher::Kept(matchLength, prevLength, m.StrStart, m.MatchStart);
    }
    if (prevLength >= MinMatch && matchLength <= prevLength) {
      const unsigned maxInsert = m.StrStart + m.Lookahead - MinMatch;
      hash = Ranked ? m.PrefetchRankedHeadOf(m.StrStart + prevLength - 1) : m.PrefetchPlainHeadOf(m.StrStart + prevLength - 1);
      const bool flush = TallyMatch(m.StrStart - 1 - prevMatch, prevLength - MinMatch);
      m.Lookahead -= prevLength - 1;
      // The strings inside the match, those with three bytes left to hash.
      const unsigned last = std::min(m.StrStart + prevLength - 2, maxInsert);
      if (last > m.StrStart) {
        if constexpr (Ranked)
          m.InsertRunRanked(m.StrStart + 1, last - m.StrStart);
        else
          m.InsertRunPaired(m.StrStart + 1, last - m.StrStart);
      }
      matchAvailable = false;
      matchLength = MinMatch - 1;
      m.StrStart += prevLength - 1;
      if (flush) FlushBlock(false);
    } else if (matchAvailable) {
      if (TallyLiteral(m.Window()[m.StrStart - 1])) FlushBlock(false);
      ++m.StrStart;
      --m.Lookahead;
    } else {
      matchAvailable = true;
      ++m.StrStart;
      --m.Lookahead;
    }
  }
  if (matchAvailable) FBlock.TallyLiteral(m.Window()[m.StrStart - 1]);
}
