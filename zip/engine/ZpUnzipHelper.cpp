#include "zip/engine/ZpUnzipHelper.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZipArchiveFormat.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpExplode.h"
#include "zip/engine/ZpInflater.h"
#include "zip/engine/ZpUnreduce.h"
#include "zip/engine/ZpUnshrink.h"
#include "zip/engine/ZpUtils.h"
#include "zip/engine/ZpZDecoder.h"

TZpUnzipHelper::TZpUnzipHelper(TStream* input, TStream* output, TZpZDecoder* decryptor)
    : FInput(input), FOutput(output), FDecryptor(decryptor) {}

TZpUnzipHelper::~TZpUnzipHelper() = default;

int64_t TZpUnzipHelper::ReadInput(uint8_t* buf, int64_t count) {
  int64_t done = 0;
  count = std::min(count, FInputLeft);
  while (done < count) {
    const int64_t got = FInput->Read(buf + done, count - done);
    if (got <= 0) {
      TStream* next = OnNextVolume ? OnNextVolume() : nullptr;
      if (!next) throw EZpReadError();
      FInput = next;
      continue;
    }
    done += got;
  }
  FInputLeft -= done;
  if (FDecryptor) FDecryptor->DecodeBuffer(buf, static_cast<std::size_t>(done));
  return done;
}

void TZpUnzipHelper::CountOutput(const uint8_t* data, int64_t count) {
  if (count <= 0) return;
  // Output past the declared size means the data is not what the header says.
  if (count > FUncompressedSize - FWritten) {
    if (FMethod == ZpMethodInflate) throw EZpZipInflateBlock();
    throw EZpZipBadCRC();
  }
  FCRC = ZpUpdateCrc32(FCRC, data, static_cast<std::size_t>(count));
  FWritten += count;
}

void TZpUnzipHelper::PutOutput(const uint8_t* data, int64_t count) {
  if (count > 0 && FOutput->Write(data, count) != count) throw EZpZipStreamFull();
}

void TZpUnzipHelper::WriteOutput(const uint8_t* data, int64_t count) {
  if (count <= 0) return;
  CountOutput(data, count);
  PutOutput(data, count);
  Progress();
}

void TZpUnzipHelper::Progress() {
  if (!OnProgress) return;
  bool abort = false;
  OnProgress(ZpPercentage(FWritten, FUncompressedSize), abort);
  if (abort) throw EZpUserAbort();
}

void TZpUnzipHelper::Copy() {
  std::vector<uint8_t> buf(4096);
  for (;;) {
    const int64_t n = ReadInput(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    WriteOutput(buf.data(), n);
  }
}

void TZpUnzipHelper::Inflate() {
  if (FInflater) {
    FInflater->Run(*this);
  } else {
    TZpInflater inflater;
    inflater.Run(*this);
  }
  if (FWritten != FUncompressedSize) throw EZpZipInflateBlock();
}

void TZpUnzipHelper::Unshrink() {
  TZpUnshrinker(*this).Run();
}

void TZpUnzipHelper::Unreduce(int factor) {
  TZpUnreducer(*this).Run(factor);
}

void TZpUnzipHelper::Explode() {
  TZpExploder(*this).Run(FDictionarySize, FTreeCount);
}

uint32_t TZpUnzipHelper::Execute() {
  if (!FInput || !FOutput) throw EZpBadStream();
  FCRC = ZpCrcStart;
  FWritten = 0;
  FInputLeft = FCompressedSize;
  if (FUncompressedSize < 0 || FCompressedSize < 0) throw EZpZipInvalid();
  if (FDecryptor) {
    if (FInputLeft < TZpZDecoder::HeaderSize) throw EZpReadError();
    FDecryptor->SetStream(FInput);
    FDecryptor->VerifyHeader();
    FInputLeft -= TZpZDecoder::HeaderSize;
  }
  switch (FMethod) {
    case 0: Copy(); break;
    case 1: Unshrink(); break;
    case 2:
    case 3:
    case 4:
    case 5: Unreduce(FMethod - 1); break;
    case 6: Explode(); break;
    case ZpMethodInflate: Inflate(); break;
    default: throw EZpZipInvalidMethod(ZpCompressionMethodName(uint16_t(FMethod)));
  }
  return FCRC ^ 0xFFFFFFFFu;
}
