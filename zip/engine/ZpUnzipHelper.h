// Turns one item's stored data back into its bytes: stored, shrunk, reduced, imploded, deflated.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class TStream;
class TZpInflater;
class TZpZDecoder;

constexpr int ZpMethodInflate = 8;

class TZpUnzipHelper {
public:
  // input is positioned at the item's data (its encryption header when a decryptor is given).
  TZpUnzipHelper(TStream* input, TStream* output, TZpZDecoder* decryptor);
  ~TZpUnzipHelper();
  TZpUnzipHelper(const TZpUnzipHelper&) = delete;
  TZpUnzipHelper& operator=(const TZpUnzipHelper&) = delete;

  // Bytes of the item's data in the archive, encryption header included.
  int64_t CompressedSize() const { return FCompressedSize; }
  void SetCompressedSize(int64_t value) { FCompressedSize = value; }
  // The declared size: output stops there, and data that decodes to more or less fails.
  int64_t UncompressedSize() const { return FUncompressedSize; }
  void SetUncompressedSize(int64_t value) { FUncompressedSize = value; }
  int Method() const { return FMethod; }
  void SetMethod(int value) { FMethod = value; }
  // Imploded items: 8192 or 4096 (flag bit 1), and 2 or 3 Shannon-Fano trees (flag bit 2).
  int DictionarySize() const { return FDictionarySize; }
  void SetDictionarySize(int value) { FDictionarySize = value; }
  int TreeCount() const { return FTreeCount; }
  void SetTreeCount(int value) { FTreeCount = value; }

  // An inflater whose buffers outlive the helper, as an archive keeps one for all its items;
  // without one the helper makes its own.
  void SetInflater(TZpInflater* inflater) { FInflater = inflater; }

  // Decodes everything; returns the finished CRC-32 of the output.
  uint32_t Execute();

  // Percent done; setting abort raises EZpUserAbort.
  std::function<void(int percent, bool& abort)> OnProgress;
  // Called when the input ends before the item does (a spanned set's volume ends); returns the
  // stream to go on reading from, or nullptr to fail with EZpReadError.
  std::function<TStream*()> OnNextVolume;

private:
  friend class TZpInflater;
  friend class TZpOldMethodDecoder;
  // Fills buf with up to count bytes of the item's data (decrypted); 0 at the item's end.
  int64_t ReadInput(uint8_t* buf, int64_t count);
  // Sends decoded bytes to the output, bounded by the declared size.
  void WriteOutput(const uint8_t* data, int64_t count);
  // The two halves of WriteOutput: the bound and the CRC of bytes while they are still in cache,
  // and later the write itself (the inflater puts them in large pieces, or not at all when it
  // decodes straight into a memory stream).
  void CountOutput(const uint8_t* data, int64_t count);
  void PutOutput(const uint8_t* data, int64_t count);
  void Progress();
  void Copy();
  void Inflate();
  void Unshrink();
  void Unreduce(int factor);
  void Explode();

  TStream* FInput = nullptr;
  TStream* FOutput = nullptr;
  TZpZDecoder* FDecryptor = nullptr;
  TZpInflater* FInflater = nullptr;
  int64_t FCompressedSize = 0;
  int64_t FUncompressedSize = 0;
  int FMethod = 0;
  int FDictionarySize = 8192;
  int FTreeCount = 2;
  uint32_t FCRC = 0;
  int64_t FInputLeft = 0;
  int64_t FWritten = 0;
};
