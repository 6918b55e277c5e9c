#include "zip/engine/ZpDeflater.h"

#include <algorithm>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpZipHelper.h"

using namespace ZpDeflate;

TZpDeflater::TZpDeflater() : FWriter(PendingLimit * 4) {}

void TZpDeflater::Run(TZpZipHelper& owner, int level) {
  FOwner = &owner;
  FConfig = ZpLevelTable[level];
  FLevel = level;
  FMatcher.Reset(FConfig, FLevel > LastGreedyLevel && FConfig.MaxChain >= RankedChain);
  FBlock.Reset(level);
  FWriter.Reset();
  FBlockStart = 0;
  FEof = false;
  FillWindow();
  if (FLevel <= LastGreedyLevel)
    CompressGreedy();
  else
    Compress();
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

// Refills the window when it runs low and hashes the string at StrStart; false at the end. The
// hash is taken anew only when no earlier prefetch of the head left it (hashKnown): a refill may
// add the bytes it was taken from.
inline bool TZpDeflater::NextString(unsigned& hashHead, unsigned hash, bool& hashKnown) {
  TZpDeflateMatcher& m = FMatcher;
  if (m.Lookahead < TZpDeflateMatcher::MinLookahead) {
    FillWindow();
    if (m.Lookahead == 0) return false;
    hashKnown = false;
  }
  hashHead = m.Lookahead >= MinMatch ? m.InsertHashed(m.StrStart, hashKnown ? hash : m.HashAt(m.StrStart)) : 0;
  return true;
}

// Levels 1-3: take each match as found; the strings inside a long match go unhashed. The hash
// of the next position is taken once, when its head is prefetched.
void TZpDeflater::CompressGreedy() {
  TZpDeflateMatcher& m = FMatcher;
  const unsigned insertLimit = static_cast<unsigned>(FConfig.MaxLazy);
  unsigned hash = 0;
  bool hashKnown = false;
  for (;;) {
    unsigned hashHead;
    if (!NextString(hashHead, hash, hashKnown)) break;
    unsigned matchLength = 0;
    hash = m.PrefetchHeadOf(m.StrStart + 1);
    if (hashHead != 0 && m.StrStart - hashHead <= TZpDeflateMatcher::MaxDist) {
      matchLength = m.LongestMatch(hashHead, MinMatch - 1);
      if (matchLength == MinMatch && m.StrStart - m.MatchStart > TZpDeflateMatcher::TooFar) matchLength = 0;
    }
    bool flush;
    if (matchLength >= MinMatch) {
      hash = m.PrefetchHeadOf(m.StrStart + matchLength);
      flush = TallyMatch(m.StrStart - m.MatchStart, matchLength - MinMatch);
      m.Lookahead -= matchLength;
      if (matchLength <= insertLimit && m.Lookahead >= MinMatch) m.InsertRun(m.StrStart + 1, matchLength - 1);
      m.StrStart += matchLength;
    } else {
      flush = TallyLiteral(m.Window()[m.StrStart]);
      --m.Lookahead;
      ++m.StrStart;
    }
    hashKnown = true;
    if (flush) FlushBlock(false);
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
  unsigned hash = 0;
  bool hashKnown = false;
  for (;;) {
    unsigned hashHead;
    if constexpr (Ranked) {
      if (!NextString(hashHead, hash, hashKnown)) break;
    } else {
      if (m.Lookahead < TZpDeflateMatcher::MinLookahead) {
        FillWindow();
        if (m.Lookahead == 0) break;
        hashKnown = false;
      }
      hashHead = m.Lookahead >= MinMatch ? m.InsertPlain(m.StrStart, hashKnown ? hash : m.HashAt(m.StrStart)) : 0;
    }
    const unsigned prevLength = matchLength;
    const unsigned prevMatch = m.MatchStart;
    matchLength = MinMatch - 1;
    hash = Ranked ? m.PrefetchHeadOf(m.StrStart + 1) : m.PrefetchPlainHeadOf(m.StrStart + 1);
    hashKnown = true;
    if (hashHead != 0 && prevLength < maxLazy && m.StrStart - hashHead <= TZpDeflateMatcher::MaxDist) {
      const unsigned from = prevLength < MinMatch - 1 ? MinMatch - 1 : prevLength;
      matchLength = Ranked ? m.LongestMatchRanked(hashHead, from, MaxOffset) : m.LongestMatch(hashHead, from);
      matchLength = TZpDeflateMatcher::Kept(matchLength, prevLength, m.StrStart, m.MatchStart);
    }
    if (prevLength >= MinMatch && matchLength <= prevLength) {
      const unsigned maxInsert = m.StrStart + m.Lookahead - MinMatch;
      hash = Ranked ? m.PrefetchHeadOf(m.StrStart + prevLength - 1) : m.PrefetchPlainHeadOf(m.StrStart + prevLength - 1);
      const bool flush = TallyMatch(m.StrStart - 1 - prevMatch, prevLength - MinMatch);
      m.Lookahead -= prevLength - 1;
      // The strings inside the match, those with three bytes left to hash.
      const unsigned last = std::min(m.StrStart + prevLength - 2, maxInsert);
      if (last > m.StrStart) {
        if constexpr (Ranked)
          m.InsertRun(m.StrStart + 1, last - m.StrStart);
        else
          m.InsertRunPlain(m.StrStart + 1, last - m.StrStart);
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
