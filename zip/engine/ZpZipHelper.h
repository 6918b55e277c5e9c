// Compresses one source stream into the archive as raw deflate data, or stores it, computing the
// CRC-32 of the source on the way; every output byte goes through the encryptor when one is given.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class TStream;
class TZpDeflater;
class TZpZDecoder;

constexpr int ZpMethodStored = 0;
constexpr int ZpMethodDeflated = 8;
constexpr int ZpMethodBest = 11;  // deflate, and store when that does not make it smaller

enum TZpDeflateOption { doNormal = 1, doMaximum = 2, doFast = 3, doSuperFast = 4 };

enum TZpDataType { dtBinary = 0, dtText = 1, dtUnknown = 2 };

class TZpZipHelper {
public:
  // The source is read from its position to its end. With an encryptor the caller has already
  // written the encryption header, so the data starts 12 bytes after it.
  TZpZipHelper(TStream* source, TZpZDecoder* encryptor, TStream* output);
  ~TZpZipHelper();
  TZpZipHelper(const TZpZipHelper&) = delete;
  TZpZipHelper& operator=(const TZpZipHelper&) = delete;

  int Method() const { return FMethod; }
  void SetMethod(int value) { FMethod = value; }
  int DeflateOption() const { return FDeflateOption; }
  void SetDeflateOption(int value) { FDeflateOption = value; }
  // A deflate level 1..9 set directly (others give 5); overrides the option.
  void SetLevel(int level) { FLevel = level; }

  // A compressor whose buffers outlive the helper, as an archive keeps one for all its items;
  // without one the helper makes its own.
  void SetDeflater(TZpDeflater* deflater) { FDeflater = deflater; }

  void Execute();

  uint32_t CRC() const { return FCRC; }
  int64_t SourceSize() const { return FSourceSize; }
  int64_t CompressedSize() const { return FCompressedSize; }
  int DataType() const { return FDataType; }
  bool IsText() const { return FDataType == dtText; }

  // Percent done; setting abort raises EZpUserAbort.
  std::function<void(int percent, bool& abort)> OnProgress;

private:
  friend class TZpDeflater;
  void Store();
  void Deflate(int level);
  void WriteOut(const uint8_t* data, int64_t count);
  void Progress(int64_t done);
  int LevelFromOption() const;

  TStream* FSource = nullptr;
  TZpZDecoder* FEncryptor = nullptr;
  TStream* FOutput = nullptr;
  TZpDeflater* FDeflater = nullptr;
  int FMethod = ZpMethodDeflated;
  int FDeflateOption = doNormal;
  int FLevel = 0;
  int FDataType = dtUnknown;
  uint32_t FCRC = 0;
  int64_t FSourceSize = 0;
  int64_t FCompressedSize = 0;
  int64_t FTotal = 0;
  std::vector<uint8_t> FCryptBuffer;
};
