#include "zip/engine/ZpDeflateBlock.h"

#include <algorithm>
#include <cstring>

#include "zip/engine/ZpBitWriter.h"
#include "zip/engine/ZpHuffmanCodes.h"

using namespace ZpDeflate;

TZpDeflateBlock::TZpDeflateBlock() : FSyms(new uint32_t[LitBufSize]) {}

void TZpDeflateBlock::Reset(int level) {
  FLevel = level;
  FLastLit = 0;
  FCheckAt = FirstCheck();
  FMatches = 0;
  std::fill(FLitFreq, FLitFreq + LengthCodes, 0u);
  std::fill(FDistFreq, FDistFreq + DistanceCodes, 0u);
  FTypeKnown = false;
  FText = false;
}

// Cut the block early when the data has changed character and matches are rare.
bool TZpDeflateBlock::EarlyCut(uint64_t inLength) const {
  uint64_t outLength = static_cast<uint64_t>(FLastLit) * 8;
  for (int d = 0; d < DistanceCodes; ++d) outLength += FDistFreq[d] * (5u + DistExtra[d]);
  outLength >>= 3;
  return FMatches < FLastLit / 2 && outLength < inLength / 2;
}

bool TZpDeflateBlock::FullAtCheck(uint64_t inLength) {
  if (FLastLit == LitBufSize - 1) return true;
  FCheckAt = std::min(FLastLit + EarlyCutStep, LitBufSize - 1);
  return EarlyCut(inLength);
}

void TZpDeflateBlock::DetectDataType() {
  uint64_t binary = 0, text = 0;
  for (int i = 0; i < 7; ++i) binary += FLitFreq[i];
  for (int i = 128; i < 256; ++i) binary += FLitFreq[i];
  for (int i = 7; i < 128; ++i) text += FLitFreq[i];
  FText = text / 4 >= binary;
}

// Run-length codes of the bit lengths of both trees, counted (send false) or sent.
void TZpDeflateBlock::ScanLengths(TZpBitWriter& out, const uint8_t* lens, int n, bool send) {
  int i = 0;
  while (i < n) {
    const uint8_t cur = lens[i];
    int run = 1;
    while (i + run < n && lens[i + run] == cur) ++run;
    int left = run;
    if (cur == 0) {
      while (left >= 11) {
        const int r = std::min(left, 138);
        BLSym(out, send, 18);
        if (send) out.SendBits(static_cast<uint32_t>(r - 11), 7);
        left -= r;
      }
      if (left >= 3) {
        BLSym(out, send, 17);
        if (send) out.SendBits(static_cast<uint32_t>(left - 3), 3);
        left = 0;
      }
      while (left-- > 0) BLSym(out, send, 0);
    } else {
      BLSym(out, send, cur);
      --left;
      while (left >= 3) {
        const int r = std::min(left, 6);
        BLSym(out, send, 16);
        if (send) out.SendBits(static_cast<uint32_t>(r - 3), 2);
        left -= r;
      }
      while (left-- > 0) BLSym(out, send, cur);
    }
    i += run;
  }
}

void TZpDeflateBlock::BLSym(TZpBitWriter& out, bool send, int sym) {
  if (send)
    out.SendBits(FBLCode[sym], FBLLen[sym]);
  else
    FBLFreq[sym]++;
}

uint64_t TZpDeflateBlock::DataBits(const uint8_t* litLen, const uint8_t* distLen) const {
  uint64_t bits = 0;
  for (int i = 0; i < LengthCodes; ++i) {
    bits += static_cast<uint64_t>(FLitFreq[i]) * litLen[i];
    if (i >= 257) bits += static_cast<uint64_t>(FLitFreq[i]) * LengthExtra[i - 257];
  }
  for (int d = 0; d < DistanceCodes; ++d) bits += static_cast<uint64_t>(FDistFreq[d]) * (distLen[d] + DistExtra[d]);
  return bits;
}

// The block's symbols through a wide store: each symbol's code and extra bits (a match: up to 48
// bits) join the bit buffer, eight bytes are stored and the pointer moves on by the whole bytes.
// Literals and matches take the same path through tables, as which comes next is anyone's guess.
void TZpDeflateBlock::SendSymbols(TZpBitWriter& writer, const uint8_t* litLen, const uint16_t* litCode,
                                  const uint8_t* distLen, const uint16_t* distCode) {
  const TZpCodeMaps& maps = ZpCodeMaps;
  // The first part of a symbol: a literal's code, or a length's code with its extra bits; the
  // bits in the low 24, their count above.
  uint32_t head[512];
  for (int c = 0; c < 256; ++c) head[c] = litCode[c] | (static_cast<uint32_t>(litLen[c]) << 24);
  for (int lc = 0; lc < 256; ++lc) {
    const int code = maps.LengthCode[lc];
    head[256 + lc] = (litCode[257 + code] | (static_cast<uint32_t>(lc - maps.LengthBase[code]) << litLen[257 + code])) |
                     (static_cast<uint32_t>(litLen[257 + code] + LengthExtra[code]) << 24);
  }
  // The distance part by code + 1; slot 0, a literal's, sends nothing.
  struct TDist {
    uint32_t Code;
    uint8_t Shift, Count;
  } dists[32] = {};
  for (int dc = 0; dc < DistanceCodes; ++dc)
    dists[dc + 1] = {distCode[dc], distLen[dc], static_cast<uint8_t>(distLen[dc] + DistExtra[dc])};
  const uint32_t* syms = FSyms.get();
  const unsigned n = FLastLit;
  writer.SettleBytes();
  uint8_t* out = writer.Reserve(static_cast<std::size_t>(n) * 6 + 16);
  uint64_t buf = writer.BitBuf();
  unsigned count = static_cast<unsigned>(writer.BitCount());
  for (unsigned i = 0; i < n; ++i) {
    const uint32_t w = syms[i];
    const uint32_t h = head[w & 511];
    const TDist& dd = dists[(w >> 9) & 31];
    const unsigned headLen = h >> 24;
    const uint64_t bits = (h & 0xFFFFFF) | (static_cast<uint64_t>(dd.Code | ((w >> 14) << dd.Shift)) << headLen);
    buf |= bits << count;
    count += headLen + dd.Count;
    std::memcpy(out, &buf, 8);
    out += count >> 3;
    buf >>= count & 56;
    count &= 7;
  }
  writer.SetState(out, buf, static_cast<int>(count));
  writer.SendBits(litCode[256], litLen[256]);
}

void TZpDeflateBlock::Flush(TZpBitWriter& out, const uint8_t* stored, int64_t storedLen, bool last) {
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
  uint32_t litFreq[LengthCodes], distFreq[DistanceCodes];
  std::copy(FLitFreq, FLitFreq + LengthCodes, litFreq);
  std::copy(FDistFreq, FDistFreq + DistanceCodes, distFreq);
  ensureTwo(litFreq, LengthCodes);
  ensureTwo(distFreq, DistanceCodes);
  uint8_t litLen[LengthCodes], distLen[DistanceCodes];
  ZpBuildCodeLengths(litFreq, LengthCodes, MaxCodeBits, litLen);
  ZpBuildCodeLengths(distFreq, DistanceCodes, MaxCodeBits, distLen);
  int nlen = LengthCodes;
  while (nlen > 257 && litLen[nlen - 1] == 0) --nlen;
  int ndist = DistanceCodes;
  while (ndist > 1 && distLen[ndist - 1] == 0) --ndist;
  uint8_t all[LengthCodes + DistanceCodes];
  std::copy(litLen, litLen + nlen, all);
  std::copy(distLen, distLen + ndist, all + nlen);
  std::fill(FBLFreq, FBLFreq + CodeLengthCodes, 0u);
  ScanLengths(out, all, nlen + ndist, false);
  ZpBuildCodeLengths(FBLFreq, CodeLengthCodes, MaxCodeLengthBits, FBLLen);
  ZpBuildCodes(FBLLen, CodeLengthCodes, FBLCode);
  int nbl = CodeLengthCodes;
  while (nbl > 4 && FBLLen[CodeLengthOrder[nbl - 1]] == 0) --nbl;
  uint64_t treeBits = 5 + 5 + 4 + 3 * static_cast<uint64_t>(nbl);
  for (int s = 0; s < CodeLengthCodes; ++s) treeBits += static_cast<uint64_t>(FBLFreq[s]) * FBLLen[s];
  treeBits += 2 * static_cast<uint64_t>(FBLFreq[16]) + 3 * static_cast<uint64_t>(FBLFreq[17]) +
              7 * static_cast<uint64_t>(FBLFreq[18]);
  const uint64_t dynBits = treeBits + DataBits(litLen, distLen);
  const TZpFixedCodes& fx = ZpFixedCodes();
  const uint64_t staticBits = DataBits(fx.LitLen, fx.DistLen);
  const uint64_t optSize = (dynBits + 3 + 7) / 8;
  const uint64_t staticSize = (staticBits + 3 + 7) / 8;
  const uint64_t best = std::min(optSize, staticSize);
  if (stored && storedLen <= 65535 && static_cast<uint64_t>(storedLen) + 4 <= best) {
    out.SendBits(last ? 1u : 0u, 3);
    out.FlushBits();
    const uint16_t len = static_cast<uint16_t>(storedLen);
    const uint16_t nlenC = static_cast<uint16_t>(~len);
    const uint8_t head[4] = {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(nlenC),
                             static_cast<uint8_t>(nlenC >> 8)};
    out.Append(head, 4);
    out.Append(stored, static_cast<std::size_t>(storedLen));
  } else if (staticSize <= optSize) {
    out.SendBits((last ? 1u : 0u) | (1u << 1), 3);
    SendSymbols(out, fx.LitLen, fx.LitCode, fx.DistLen, fx.DistCode);
  } else {
    uint16_t litCode[LengthCodes], distCode[DistanceCodes];
    ZpBuildCodes(litLen, LengthCodes, litCode);
    ZpBuildCodes(distLen, DistanceCodes, distCode);
    out.SendBits((last ? 1u : 0u) | (2u << 1), 3);
    out.SendBits(static_cast<uint32_t>(nlen - 257), 5);
    out.SendBits(static_cast<uint32_t>(ndist - 1), 5);
    out.SendBits(static_cast<uint32_t>(nbl - 4), 4);
    for (int i = 0; i < nbl; ++i) out.SendBits(FBLLen[CodeLengthOrder[i]], 3);
    ScanLengths(out, all, nlen + ndist, true);
    SendSymbols(out, litLen, litCode, distLen, distCode);
  }
  FLastLit = 0;
  FCheckAt = FirstCheck();
  FMatches = 0;
  std::fill(FLitFreq, FLitFreq + LengthCodes, 0u);
  std::fill(FDistFreq, FDistFreq + DistanceCodes, 0u);
}
