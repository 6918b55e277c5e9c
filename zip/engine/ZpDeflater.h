// One deflate run over a helper's source: fills the match finder's window, walks it greedily
// (levels 1-3) or lazily, and sends the blocks to the helper's output.
#pragma once

#include <cstdint>

#include "zip/engine/ZpBitWriter.h"
#include "zip/engine/ZpDeflateBlock.h"
#include "zip/engine/ZpDeflateMatcher.h"

class TZpZipHelper;

// Its buffers serve one run after another, so an archive of many small items sets them up once.
class TZpDeflater {
public:
  TZpDeflater();
  void Run(TZpZipHelper& owner, int level);

private:
  static constexpr std::size_t PendingLimit = 65536;
  // Lazy evaluation costs the fast levels a second search at nearly every short match; they take
  // each match as found instead.
  static constexpr int LastGreedyLevel = 3;
  // Chains at least this long are walked through ranks, where the search may take the chain of
  // any stretch of the best match so far, up to MaxOffset bytes on.
  static constexpr int RankedChain = 256;
  static constexpr unsigned MaxOffset = 255;

  void FillWindow();
  bool NextString(unsigned& hashHead, unsigned hash, bool& hashKnown);
  template <bool Single>
  void CompressGreedy();
  void Compress();
  template <bool Ranked>
  void CompressLazy();
  void FlushBlock(bool last);
  void SendPending();

  uint64_t BlockLength() const { return static_cast<uint64_t>(static_cast<int64_t>(FMatcher.StrStart) - FBlockStart); }
  bool TallyLiteral(uint8_t c) {
    FBlock.TallyLiteral(c);
    return FBlock.Full(BlockLength());
  }
  bool TallyMatch(unsigned dist, unsigned lenMinus3) {
    FBlock.TallyMatch(dist, lenMinus3);
    return FBlock.Full(BlockLength());
  }

  TZpZipHelper* FOwner = nullptr;
  TZpLevelConfig FConfig{};
  int FLevel = 0;
  TZpDeflateMatcher FMatcher;
  TZpDeflateBlock FBlock;
  TZpBitWriter FWriter;
  int64_t FBlockStart = 0;
  bool FEof = false;
};
