// The one millisecond tick source that timers and waits read; tests replace it.
#pragma once

#include <cstdint>
#include <functional>

uint64_t GetTickCount64();
inline uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }
// Sleeps in real time, or advances a replaced source by the same amount.
void Sleep(uint32_t ms);

struct TTickSource {
  std::function<uint64_t()> Now;
  std::function<void(uint32_t)> Sleep;
};
// Replaces the source; an empty source restores the monotonic clock.
void SetTickSource(TTickSource source);

// A clock for tests: starts at a given tick and moves only when told.
class TFakeClock {
public:
  explicit TFakeClock(uint64_t start = 1000);
  ~TFakeClock();
  void Advance(uint64_t ms) { FNow += ms; }
  uint64_t Now() const { return FNow; }

private:
  uint64_t FNow;
};
