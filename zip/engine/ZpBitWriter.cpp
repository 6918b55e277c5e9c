#include "zip/engine/ZpBitWriter.h"

#include <algorithm>

void TZpBitWriter::Append(const uint8_t* data, std::size_t n) {
  if (FUsed + n > FRoom.size()) FRoom.resize(std::max(FRoom.size() * 2, FUsed + n));
  std::memcpy(FRoom.data() + FUsed, data, n);
  FUsed += n;
}

void TZpBitWriter::FlushBits() {
  while (FBitCount > 0) {
    const uint8_t b = static_cast<uint8_t>(FBitBuf);
    Append(&b, 1);
    FBitBuf >>= 8;
    FBitCount = FBitCount > 8 ? FBitCount - 8 : 0;
  }
  FBitBuf = 0;
  FBitCount = 0;
}

void TZpBitWriter::SettleBytes() {
  while (FBitCount >= 8) {
    const uint8_t b = static_cast<uint8_t>(FBitBuf);
    Append(&b, 1);
    FBitBuf >>= 8;
    FBitCount -= 8;
  }
}

uint8_t* TZpBitWriter::Reserve(std::size_t more) {
  const std::size_t need = FUsed + more;
  if (need > FRoom.size()) FRoom.resize(std::max(FRoom.size() * 2, need));
  return FRoom.data() + FUsed;
}

void TZpBitWriter::SetState(uint8_t* end, uint64_t bitBuf, int bitCount) {
  FUsed = static_cast<std::size_t>(end - FRoom.data());
  FBitBuf = bitBuf & ((uint64_t{1} << bitCount) - 1);
  FBitCount = bitCount;
}
