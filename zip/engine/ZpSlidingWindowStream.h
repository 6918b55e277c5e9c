// An output stream that keeps its last 32 KB readable for the back-references of the older
// compression methods; older bytes go through to the real stream a chunk at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Streams.h"

class TZpSlidingWindowStream final : public TStream {
public:
  static constexpr int ChunkSize = 8192;
  static constexpr int ChunkCount = 5;
  static constexpr int WindowSize = (ChunkCount - 1) * ChunkSize;

  // Bytes go to target from its position at the time of creation on.
  explicit TZpSlidingWindowStream(TStream& target);
  // Writes out what is still held; a failure there is lost, so callers Flush first.
  ~TZpSlidingWindowStream() override;
  TZpSlidingWindowStream(const TZpSlidingWindowStream&) = delete;
  TZpSlidingWindowStream& operator=(const TZpSlidingWindowStream&) = delete;

  // Writes only at the end; reads and seeks only inside the bytes still held.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }
  void SetSize(int64_t newSize) override;
  // Writes every byte still held to the target; they stay readable.
  void Flush();

private:
  // Sends the held bytes before end that the target does not have yet.
  void WriteChunk(int64_t end);

  TStream& FTarget;
  int64_t FTargetStart = 0;
  std::vector<uint8_t> FBuffer;
  int64_t FBufferStart = 0;  // stream position of FBuffer[0]
  int64_t FSize = 0;
  int64_t FPosition = 0;
  int64_t FWrittenOut = 0;   // bytes the target already holds
};
