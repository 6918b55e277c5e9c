// The inflate loop: raw deflate data from a helper's input back into its bytes. Into a memory
// stream it decodes in place, the stream's own bytes being the window; into anything else through
// a 32 KB window and an output buffer that goes to the helper in large pieces. Either way the CRC
// follows the decoding a few KB behind, while the bytes are still in cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TMemoryStream;
class TZpUnzipHelper;

// Its buffers and the fixed code's tables serve one run after another, so an archive of many
// small items sets them up once. Nothing is read from them that the run has not written.
class TZpInflater {
public:
  TZpInflater();
  void Run(TZpUnzipHelper& owner);
  // Off, every processor takes the plain loop: tests check both on one machine.
  static inline bool AllowWideShifts = true;

private:
  static constexpr int InputChunk = 32768;
  static constexpr int OutChunk = 262144;
  static constexpr std::size_t OutSize = 32768 + OutChunk + 320;
  static constexpr std::size_t CrcChunk = 16384;
  static constexpr std::size_t DirectStep = std::size_t{1} << 20;
  static constexpr int LitBits = 11;
  static constexpr int DistBits = 9;
  static constexpr int64_t PairInputMin = 2048;
  void Truncated() const;
  void RefillSlow();
  void Refill();
  uint32_t Bits(int n);
  void StoredBlock();
  void FixedTables();
  void ReleaseFixed();
  void DynamicTables();
  void Drop(uint32_t n);

  // Makes room for n more output bytes (n <= 258): flushes and slides the window, grows the
  // memory stream, or near the declared end goes on in the window.
  void Room(std::size_t n);
  void MakeRoom();
  void StartInput();
  void StartOutput();
  void LeaveDirect();
  void FinishOutput();
  void AbandonOutput();
  // CRC and count what was decoded since the last time.
  void Count();
  void Flush();

  // Copies a match of len bytes from d back; writes up to 16 bytes past the end (the buffer has room).
  static void CopyMatch(uint8_t* op, unsigned d, unsigned len);
  void CodesBlock();

  // Decodes while a whole symbol's input and output fit without checks, in locals; true at the
  // block's end, false when the input or the output room runs low. The loop is built twice: once
  // for any x86-64, once with the variable shifts and bit masks of newer processors.
  bool FastCodes();
  bool FastCodesWide();
  bool FastLoop();

  // One symbol with every check, near the ends of the input and of the output room.
  bool SlowCode();
  TZpUnzipHelper* FOwner = nullptr;
  std::unique_ptr<uint8_t[]> FIn;
  const uint8_t* FInData = nullptr;  // FIn, or the input stream's own bytes
  std::size_t FInPos = 0;
  std::size_t FInEnd = 0;
  bool FInputDone = false;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
  int FPadBits = 0;
  std::unique_ptr<uint8_t[]> FOut;
  // The output: FBuf[0, FOp) decoded, [0, FCounted) CRC'd, [0, FFlushed) in the stream; a symbol
  // may start where it ends by FRoom, with 16 bytes to spare after that for wide copies.
  uint8_t* FBuf = nullptr;
  std::size_t FOp = 0;
  std::size_t FFlushed = 0;
  std::size_t FCounted = 0;
  std::size_t FRoom = 0;
  int64_t FProgressAt = 0;
  // Decoding in place: the stream's bytes from FDirectAt on. Bytes it had past the declared size
  // are never written, so it grows only when it had none.
  TMemoryStream* FDirect = nullptr;
  int64_t FDirectAt = 0;
  int64_t FDirectOldSize = 0;
  std::size_t FDirectRegion = 0;
  std::size_t FDirectCap = 0;
  std::size_t FDirectDeclared = 0;
  std::vector<uint32_t> FLit, FDist, FFixedLit, FFixedDist, FCodeLen;
  bool FWideShifts = false;
  bool FFixedBuilt = false;
  bool FUsingFixed = false;
};

