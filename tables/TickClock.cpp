#include "tables/TickClock.h"

#include <cmath>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Ticks.h"

TTickClock::TTickClock() : FStartTime(CurrentTime()), FStartTick(GetTickCount64()) {}

uint32_t TTickClock::CurrentTime() {
  TDateTime now = Now();
  return static_cast<uint32_t>((now - std::floor(now)) * MSecsPerDay);
}

bool TTickClock::Elapsed(uint32_t ms) const { return GetTickCount64() >= FStartTick + ms; }
uint32_t TTickClock::ElapsedMs() const { return static_cast<uint32_t>(GetTickCount64() - FStartTick); }

void WriteTraceText(TFileStream& stream, const AnsiString& text) {
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void WriteTraceLine(TFileStream& stream, const AnsiString& text) {
  WriteTraceText(stream, text);
  WriteTraceText(stream, "\r\n");
}
