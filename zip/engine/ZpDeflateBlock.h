// One deflate block being gathered: the literals and matches found, their counts, when to cut
// the block, and how it goes out (stored, fixed codes or its own codes).
#pragma once

#include <cstdint>
#include <memory>

#include "zip/engine/ZpDeflateConstants.h"

class TZpBitWriter;

// Length - 3 and distance - 1 to their codes, with each code's first value.
struct TZpCodeMaps {
  uint8_t LengthCode[256];
  uint16_t LengthBase[29];
  uint8_t DistCode[512];  // distances below 256, then distance >> 7
  uint16_t DistBase[30];
};

constexpr TZpCodeMaps ZpMakeCodeMaps() {
  using namespace ZpDeflate;
  TZpCodeMaps m{};
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
  for (int code = 16; code < DistanceCodes; ++code) {
    m.DistBase[code] = static_cast<uint16_t>(dist << 7);
    for (int n = 0; n < (1 << (DistExtra[code] - 7)); ++n) m.DistCode[256 + dist++] = static_cast<uint8_t>(code);
  }
  return m;
}

inline constexpr TZpCodeMaps ZpCodeMaps = ZpMakeCodeMaps();

// The index is chosen, not the load: near and far distances mix without pattern.
inline int ZpDistCodeOf(unsigned d) { return ZpCodeMaps.DistCode[d < 256 ? d : 256 + (d >> 7)]; }

class TZpDeflateBlock {
public:
  static constexpr unsigned LitBufSize = 32768;

  TZpDeflateBlock();
  // Starts a new run at the level.
  void Reset(int level);

  // Each symbol as the output loop wants it: the literal, or 256 + length - 3, in the low 9 bits;
  // a match's distance code + 1 above them and its extra bits from bit 14 on.
  inline void TallyLiteral(uint8_t c) {
    FSyms[FLastLit++] = c;
    FLitFreq[c]++;
  }

  inline void TallyMatch(unsigned dist, unsigned lenMinus3) {
    const unsigned dc = static_cast<unsigned>(ZpDistCodeOf(dist - 1));
    FSyms[FLastLit++] = (256u + lenMinus3) | ((dc + 1) << 9) | ((dist - 1 - ZpCodeMaps.DistBase[dc]) << 14);
    ++FMatches;
    FLitFreq[257 + ZpCodeMaps.LengthCode[lenMinus3]]++;
    FDistFreq[dc]++;
  }

  // After each tally: whether to end the block here, given the source bytes it covers.
  // One compare at nearly every symbol: the count where the next early cut test or the full
  // buffer comes.
  inline bool Full(uint64_t inLength) {
    if (FLastLit != FCheckAt) return false;
    return FullAtCheck(inLength);
  }

  // Sends the block and starts the next; stored is its source bytes (nullptr when they have left
  // the window).
  void Flush(TZpBitWriter& out, const uint8_t* stored, int64_t storedLen, bool last);

  // From the first block's literals.
  bool IsText() const { return FText; }

private:
  bool EarlyCut(uint64_t inLength) const;
  bool FullAtCheck(uint64_t inLength);
  unsigned FirstCheck() const { return FLevel >= 3 ? EarlyCutStep : LitBufSize - 1; }
  static constexpr unsigned EarlyCutStep = 4096;
  void DetectDataType();
  void ScanLengths(TZpBitWriter& out, const uint8_t* lens, int n, bool send);
  void BLSym(TZpBitWriter& out, bool send, int sym);
  uint64_t DataBits(const uint8_t* litLen, const uint8_t* distLen) const;
  void SendSymbols(TZpBitWriter& out, const uint8_t* litLen, const uint16_t* litCode, const uint8_t* distLen,
                   const uint16_t* distCode);

  int FLevel = 0;
  std::unique_ptr<uint32_t[]> FSyms;
  unsigned FLastLit = 0;
  unsigned FCheckAt = LitBufSize - 1;
  unsigned FMatches = 0;
  uint32_t FLitFreq[ZpDeflate::LengthCodes] = {};
  uint32_t FDistFreq[ZpDeflate::DistanceCodes] = {};
  uint32_t FBLFreq[ZpDeflate::CodeLengthCodes] = {};
  uint8_t FBLLen[ZpDeflate::CodeLengthCodes] = {};
  uint16_t FBLCode[ZpDeflate::CodeLengthCodes] = {};
  bool FTypeKnown = false;
  bool FText = false;
};
