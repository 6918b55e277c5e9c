#include "zip/engine/ZpOldMethodDecoder.h"

#include <algorithm>

#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpSlidingWindowStream.h"
#include "zip/engine/ZpUnzipHelper.h"

TZpOldMethodDecoder::TZpOldMethodDecoder(TZpUnzipHelper& owner, bool windowed)
    : FOwner(owner),
      FIn(4096),
      FSink([&owner](const uint8_t* data, int64_t count) { owner.WriteOutput(data, count); }) {
  if (windowed) FWindow = std::make_unique<TZpSlidingWindowStream>(FSink);
  FPending.reserve(PendingSize);
}

TZpOldMethodDecoder::~TZpOldMethodDecoder() = default;

void TZpOldMethodDecoder::BadData() { throw EZpZipInflateBlock(); }

int64_t TZpOldMethodDecoder::Left() const { return FOwner.FUncompressedSize - FTotal; }

uint32_t TZpOldMethodDecoder::Bits(int n) {
  while (FBitCount < n) {
    if (FInPos == FInEnd) {
      FInEnd = static_cast<std::size_t>(FOwner.ReadInput(FIn.data(), static_cast<int64_t>(FIn.size())));
      FInPos = 0;
      if (FInEnd == 0) throw EZpReadError();
    }
    FBitBuf |= static_cast<uint64_t>(FIn[FInPos++]) << FBitCount;
    FBitCount += 8;
  }
  const uint32_t v = static_cast<uint32_t>(FBitBuf & ((uint64_t{1} << n) - 1));
  FBitBuf >>= n;
  FBitCount -= n;
  return v;
}

TStream& TZpOldMethodDecoder::Output() { return FWindow ? static_cast<TStream&>(*FWindow) : FSink; }

void TZpOldMethodDecoder::Put(uint8_t b) {
  if (Left() <= 0) BadData();
  ++FTotal;
  FPending.push_back(b);
  if (FPending.size() >= PendingSize) WritePending();
}

void TZpOldMethodDecoder::WritePending() {
  Output().WriteBuffer(FPending.data(), static_cast<int64_t>(FPending.size()));
  FPending.clear();
}

void TZpOldMethodDecoder::CopyBack(uint32_t distance, uint32_t length) {
  const int64_t n = std::min<int64_t>(length, Left());
  if (n <= 0) return;
  WritePending();
  FCopy.assign(static_cast<std::size_t>(n), 0);
  const int64_t start = FTotal - distance;
  const int64_t known = std::max<int64_t>(start, 0);
  const int64_t knownEnd = std::min<int64_t>(start + n, FTotal);
  if (knownEnd > known) {
    FWindow->Seek(known, soFromBeginning);
    FWindow->ReadBuffer(FCopy.data() + (known - start), knownEnd - known);
    FWindow->Seek(0, soFromEnd);
  }
  for (int64_t i = distance; i < n; ++i)
    FCopy[static_cast<std::size_t>(i)] = FCopy[static_cast<std::size_t>(i - distance)];
  FWindow->WriteBuffer(FCopy.data(), n);
  FTotal += n;
}

void TZpOldMethodDecoder::Flush() {
  WritePending();
  if (FWindow) FWindow->Flush();
}
