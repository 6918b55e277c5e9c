#include "zip/engine/ZpBitWriter.h"

#include <algorithm>

void TZpBitWriter::Grow(std::size_t need) {
  const std::size_t size = std::max(FSize * 2, need);
  std::unique_ptr<uint8_t[]> room(new uint8_t[size]);
  std::memcpy(room.get(), FRoom.get(), FUsed);
  FRoom = std::move(room);
  FSize = size;
}

void TZpBitWriter::Append(const uint8_t* data, std::size_t n) {
  if (FUsed + n > FSize) Grow(FUsed + n);
  std::memcpy(FRoom.get() + FUsed, data, n);
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
  if (FUsed + more > FSize) Grow(FUsed + more);
  return FRoom.get() + FUsed;
}

void TZpBitWriter::SetState(uint8_t* end, uint64_t bitBuf, int bitCount) {
  FUsed = static_cast<std::size_t>(end - FRoom.get());
  FBitBuf = bitBuf & ((uint64_t{1} << bitCount) - 1);
  FBitCount = bitCount;
}
