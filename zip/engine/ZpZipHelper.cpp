#include "zip/engine/ZpZipHelper.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpDeflater.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"
#include "zip/engine/ZpZDecoder.h"

TZpZipHelper::TZpZipHelper(TStream* source, TZpZDecoder* encryptor, TStream* output)
    : FSource(source), FEncryptor(encryptor), FOutput(output) {}

TZpZipHelper::~TZpZipHelper() = default;

int TZpZipHelper::LevelFromOption() const {
  if (FLevel != 0) return (FLevel >= 1 && FLevel <= 9) ? FLevel : 5;
  switch (FDeflateOption) {
    case doMaximum: return 9;
    case doFast: return 3;
    case doSuperFast: return 1;
    default: return 5;
  }
}

void TZpZipHelper::WriteOut(const uint8_t* data, int64_t count) {
  if (count <= 0) return;
  if (FEncryptor) {
    FCryptBuffer.assign(data, data + count);
    FEncryptor->EncodeBuffer(FCryptBuffer.data(), FCryptBuffer.size());
    data = FCryptBuffer.data();
  }
  if (FOutput->Write(data, count) != count) throw EZpZipStreamFull();
  FCompressedSize += count;
}

void TZpZipHelper::Progress(int64_t done) {
  if (!OnProgress) return;
  bool abort = false;
  OnProgress(ZpPercentage(done, FTotal), abort);
  if (abort) throw EZpUserAbort();
}

void TZpZipHelper::Deflate(int level) {
  if (FDeflater) {
    FDeflater->Run(*this, level);
    return;
  }
  TZpDeflater deflater;
  deflater.Run(*this, level);
}

void TZpZipHelper::Store() {
  std::vector<uint8_t> buf(32768);
  for (;;) {
    const int64_t n = FSource->Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    FCRC = ZpUpdateCrc32(FCRC, buf.data(), static_cast<std::size_t>(n));
    FSourceSize += n;
    WriteOut(buf.data(), n);
    Progress(FSourceSize);
  }
}

void TZpZipHelper::Execute() {
  if (!FSource || !FOutput) throw EZpBadStream();
  if (FMethod != ZpMethodStored && FMethod != ZpMethodDeflated && FMethod != ZpMethodBest) throw EZpZipUnsupported();
  const int64_t sourceStart = FSource->Position();
  const int64_t outputStart = FOutput->Position();
  FTotal = std::max<int64_t>(FSource->Size() - sourceStart, 0);
  FCRC = ZpCrcStart;
  FSourceSize = 0;
  FCompressedSize = 0;
  FDataType = dtUnknown;
  int method = FMethod;
  if (method != ZpMethodStored) {
    Deflate(LevelFromOption());
    if (method == ZpMethodBest && FCompressedSize >= FSourceSize) {
      // Storing wins: start the output, the source and the CRC again from where they began.
      FOutput->SetPosition(outputStart);
      if (FEncryptor) FEncryptor->WriteHeader();
      FSource->SetPosition(sourceStart);
      FCRC = ZpCrcStart;
      FSourceSize = 0;
      FCompressedSize = 0;
      method = ZpMethodStored;
    } else {
      method = ZpMethodDeflated;
    }
  }
  if (method == ZpMethodStored) {
    Store();
    const int64_t end = FOutput->Position();
    if (FOutput->Size() > end) FOutput->SetSize(end);
  }
  FMethod = method;
  FCRC ^= 0xFFFFFFFFu;
}
