#include "zip/engine/ZpSlidingWindowStream.h"

#include <algorithm>
#include <cstring>

#include "zip/engine/ZpExceptions.h"

TZpSlidingWindowStream::TZpSlidingWindowStream(TStream& target)
    : FTarget(target), FTargetStart(target.Position()), FBuffer(std::size_t(ChunkCount) * ChunkSize) {}

TZpSlidingWindowStream::~TZpSlidingWindowStream() {
  try {
    Flush();
  } catch (...) {
    // A destructor cannot report; Flush has told the caller already where it was called.
  }
}

void TZpSlidingWindowStream::WriteChunk(int64_t end) {
  if (end <= FWrittenOut) return;
  const int64_t want = FTargetStart + FWrittenOut;
  if (FTarget.Position() != want && FTarget.Seek(want, soFromBeginning) != want)
    throw EZpException("TZpSlidingWindowStream.bsWriteChunk: seek failed");
  const int64_t count = end - FWrittenOut;
  if (FTarget.Write(FBuffer.data() + (FWrittenOut - FBufferStart), count) != count)
    throw EZpException("TZpSlidingWindowStream.bsWriteChunk: write failed");
  FWrittenOut = end;
}

int64_t TZpSlidingWindowStream::Write(const void* buffer, int64_t count) {
  if (FPosition != FSize) throw EZpException("TZpSlidingWindowStream.Write: Not at end of stream");
  const auto* in = static_cast<const uint8_t*>(buffer);
  const int64_t capacity = int64_t(FBuffer.size());
  int64_t done = 0;
  while (done < count) {
    if (FSize - FBufferStart == capacity) {
      // The oldest chunk goes out and its room is used again.
      WriteChunk(FBufferStart + ChunkSize);
      std::memmove(FBuffer.data(), FBuffer.data() + ChunkSize, std::size_t(capacity - ChunkSize));
      FBufferStart += ChunkSize;
    }
    const int64_t n = std::min(count - done, capacity - (FSize - FBufferStart));
    std::memcpy(FBuffer.data() + (FSize - FBufferStart), in + done, std::size_t(n));
    FSize += n;
    done += n;
  }
  FPosition = FSize;
  return count;
}

int64_t TZpSlidingWindowStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::clamp<int64_t>(FSize - FPosition, 0, std::max<int64_t>(count, 0));
  if (n > 0) std::memcpy(buffer, FBuffer.data() + (FPosition - FBufferStart), std::size_t(n));
  FPosition += n;
  return n;
}

int64_t TZpSlidingWindowStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target;
  switch (int(origin)) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = FPosition + offset; break;
    case soFromEnd: target = FSize + offset; break;
    default: throw EZpException("TZpSlidingWindowStream.Seek: invalid origin");
  }
  if (target < FBufferStart || target > FSize) throw EZpException("TZpSlidingWindowStream.Seek: invalid new position");
  FPosition = target;
  return FPosition;
}

void TZpSlidingWindowStream::SetSize(int64_t) { throw EZpBadStream(); }

void TZpSlidingWindowStream::Flush() { WriteChunk(FSize); }
