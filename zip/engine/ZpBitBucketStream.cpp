#include "zip/engine/ZpBitBucketStream.h"

#include <algorithm>
#include <cstring>

#include "zip/engine/ZpExceptions.h"

TZpBitBucketStream::TZpBitBucketStream(int size) {
  if (size != 4096 && size != 8192 && size != 32768) size = 32768;
  FCapacity = int64_t(size) + 1024;
  FBuffer.reserve(std::size_t(FCapacity));
}

int64_t TZpBitBucketStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (FPosition != FSize) {
    // Over bytes still held, after a seek back into the buffer.
    int64_t start = FSize - int64_t(FBuffer.size());
    if (FPosition + count > FSize) throw EZpBBSWriteTooManyBytes(int(std::min<int64_t>(count, INT32_MAX)));
    std::memcpy(FBuffer.data() + (FPosition - start), in, std::size_t(count));
    FPosition += count;
    return count;
  }
  // At the end any amount goes in; only the last FCapacity bytes are kept.
  if (count >= FCapacity) {
    FBuffer.assign(in + (count - FCapacity), in + count);
  } else {
    int64_t keep = std::min<int64_t>(int64_t(FBuffer.size()), FCapacity - count);
    FBuffer.erase(FBuffer.begin(), FBuffer.end() - keep);
    FBuffer.insert(FBuffer.end(), in, in + count);
  }
  FSize += count;
  FPosition = FSize;
  return count;
}

int64_t TZpBitBucketStream::Read(void* buffer, int64_t count) {
  int64_t start = FSize - int64_t(FBuffer.size());
  if (count < 0 || FPosition < start || FPosition + count > FSize)
    throw EZpBBSReadTooManyBytes(int(std::clamp<int64_t>(count, 0, INT32_MAX)));
  std::memcpy(buffer, FBuffer.data() + (FPosition - start), std::size_t(count));
  FPosition += count;
  return count;
}

int64_t TZpBitBucketStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target;
  switch (int(origin)) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = FPosition + offset; break;
    case soFromEnd: target = FSize + offset; break;
    default: throw EZpBBSInvalidOrigin();
  }
  if (target < FSize - int64_t(FBuffer.size()) || target > FSize) throw EZpBBSSeekOutsideBuffer();
  FPosition = target;
  return FPosition;
}
