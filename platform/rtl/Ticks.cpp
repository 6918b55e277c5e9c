#include "platform/rtl/Ticks.h"

#include <chrono>
#include <thread>

namespace {
TTickSource& source() {
  static TTickSource s;
  return s;
}
}  // namespace

uint64_t GetTickCount64() {
  auto& s = source();
  if (s.Now) return s.Now();
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Sleep(uint32_t ms) {
  auto& s = source();
  if (s.Sleep) s.Sleep(ms);
  else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetTickSource(TTickSource s) { source() = std::move(s); }

TFakeClock::TFakeClock(uint64_t start) : FNow(start) {
  SetTickSource({[this] { return FNow; }, [this](uint32_t ms) { FNow += ms; }});
}

TFakeClock::~TFakeClock() { SetTickSource({}); }
