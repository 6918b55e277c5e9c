// A stream that keeps only the last bytes written and forgets the rest: testing an item writes
// its output here.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Streams.h"

class TZpBitBucketStream final : public TStream {
public:
  // 4096, 8192 or 32768 bytes (anything else gives 32768), plus 1024.
  explicit TZpBitBucketStream(int size);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }
  void SetSize(int64_t) override {}

private:
  std::vector<uint8_t> FBuffer;  // the last bytes, ending at FSize
  int64_t FCapacity = 0;
  int64_t FSize = 0;
  int64_t FPosition = 0;
};
