// The inflate loop: raw deflate data from a helper's input back into its bytes, through a
// 32 KB window and an output buffer that goes to the helper in large pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TZpUnzipHelper;

// Its buffers and the fixed code's tables serve one run after another, so an archive of many
// small items sets them up once. Nothing is read from them that the run has not written.
class TZpInflater {
public:
  TZpInflater();
  void Run(TZpUnzipHelper& owner);

private:
  static constexpr int InputChunk = 32768;
  static constexpr int OutChunk = 262144;
  static constexpr std::size_t OutSize = 32768 + OutChunk + 320;
  static constexpr int LitBits = 11;
  static constexpr int DistBits = 9;
  void Truncated() const;
  void RefillSlow();
  void Refill();
  uint32_t Bits(int n);
  void StoredBlock();
  void FixedTables();
  void ReleaseFixed();
  void DynamicTables();
  void Drop(uint32_t n);

  // Makes room for n more output bytes (n <= 258), flushing and sliding the window.
  void Room(std::size_t n);
  void Flush();

  // Copies a match of len bytes from d back; writes up to 8 bytes past the end (the buffer has room).
  static void CopyMatch(uint8_t* op, unsigned d, unsigned len);
  void CodesBlock();

  // Decodes while a whole symbol's input and output fit without checks, in locals; true at the
  // block's end, false when the input or the output room runs low.
  bool FastCodes();

  // One symbol with every check, near the ends of the input and of the output room.
  bool SlowCode();
  TZpUnzipHelper* FOwner = nullptr;
  std::unique_ptr<uint8_t[]> FIn;
  std::size_t FInPos = 0;
  std::size_t FInEnd = 0;
  bool FInputDone = false;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
  int FPadBits = 0;
  std::unique_ptr<uint8_t[]> FOut;
  std::size_t FOp = 0;
  std::size_t FFlushed = 0;
  std::vector<uint32_t> FLit, FDist, FFixedLit, FFixedDist;
  bool FFixedBuilt = false;
  bool FUsingFixed = false;
};

