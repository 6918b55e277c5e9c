// The compressor's bit writer: bits go out least significant first into a growing byte buffer
// that the compressor hands on in large pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

class TZpBitWriter {
public:
  explicit TZpBitWriter(std::size_t room) : FRoom(new uint8_t[room]), FSize(room) {}
  void Reset() {
    FUsed = 0;
    FBitBuf = 0;
    FBitCount = 0;
  }

  inline void SendBits(uint32_t value, int length) {
    FBitBuf |= static_cast<uint64_t>(value) << FBitCount;
    FBitCount += length;
    if (FBitCount >= 32) {
      const uint32_t w = static_cast<uint32_t>(FBitBuf);
      if (FUsed + 4 > FSize) Grow(FUsed + 4);
      std::memcpy(FRoom.get() + FUsed, &w, 4);
      FUsed += 4;
      FBitBuf >>= 32;
      FBitCount -= 32;
    }
  }

  // Bytes after the bits sent so far; only right after FlushBits do they start on a byte.
  void Append(const uint8_t* data, std::size_t n);
  // Pads the last byte with zeros.
  void FlushBits();
  // Moves the whole bytes of the bit buffer to the byte buffer.
  void SettleBytes();

  // The raw state, for loops that keep it in locals: at least `more` bytes of room after Used().
  uint8_t* Reserve(std::size_t more);
  uint64_t BitBuf() const { return FBitBuf; }
  int BitCount() const { return FBitCount; }
  void SetState(uint8_t* end, uint64_t bitBuf, int bitCount);

  const uint8_t* Data() const { return FRoom.get(); }
  std::size_t Used() const { return FUsed; }
  void Clear() { FUsed = 0; }

private:
  // At least twice the size, keeping what is used.
  void Grow(std::size_t need);

  std::unique_ptr<uint8_t[]> FRoom;
  std::size_t FSize;
  std::size_t FUsed = 0;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
};
