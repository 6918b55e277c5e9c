// What the older methods of the format share: their input read bit by bit, and their output,
// kept in a sliding window where the method copies from what it wrote before.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Streams.h"

class TZpSlidingWindowStream;
class TZpUnzipHelper;

// Hands what the window stream lets go of to the helper, which checks, counts and writes it.
class TZpOutputSink final : public TStream {
public:
  explicit TZpOutputSink(std::function<void(const uint8_t*, int64_t)> write) : FWrite(std::move(write)) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    FWrite(static_cast<const uint8_t*>(buffer), count);
    FPosition += count;
    return count;
  }
  // Output goes one way: a seek can only stay where it is.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t target = origin == soFromBeginning ? offset : FPosition + offset;
    return target == FPosition ? FPosition : -1;
  }

private:
  std::function<void(const uint8_t*, int64_t)> FWrite;
  int64_t FPosition = 0;
};

class TZpOldMethodDecoder {
public:
  TZpOldMethodDecoder(TZpUnzipHelper& owner, bool windowed);
  ~TZpOldMethodDecoder();
  TZpOldMethodDecoder(const TZpOldMethodDecoder&) = delete;
  TZpOldMethodDecoder& operator=(const TZpOldMethodDecoder&) = delete;

protected:
  [[noreturn]] static void BadData();
  // Bytes still to come before the declared size.
  int64_t Left() const;
  uint32_t Bits(int n);
  void Put(uint8_t b);
  // Repeats length bytes from distance back, cut at the declared size. Bytes before the start of
  // the data read as zeros, as in the writer's window; a copy may overlap what it writes.
  void CopyBack(uint32_t distance, uint32_t length);
  void Flush();

  int64_t FTotal = 0;

private:
  static constexpr std::size_t PendingSize = 4096;

  TStream& Output();
  void WritePending();

  TZpUnzipHelper& FOwner;
  std::vector<uint8_t> FIn;
  std::size_t FInPos = 0;
  std::size_t FInEnd = 0;
  uint64_t FBitBuf = 0;
  int FBitCount = 0;
  TZpOutputSink FSink;
  std::unique_ptr<TZpSlidingWindowStream> FWindow;
  std::vector<uint8_t> FPending;
  std::vector<uint8_t> FCopy;
};
