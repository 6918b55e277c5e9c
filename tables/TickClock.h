// Time-outs for the server client's waits, and the writers of its trace file.
#pragma once

#include <cstdint>

#include "platform/classlib/Classes.h"
#include "platform/rtl/Streams.h"

class TTickClock : public TObject {
public:
  TTickClock();
  // True once ms milliseconds have passed since the clock was made. Measured on the monotonic
  // tick source, so a wait across midnight or a clock change still ends on time.
  bool Elapsed(uint32_t ms) const;
  uint32_t ElapsedMs() const;
  // Milliseconds since local midnight when the clock was made, for showing.
  uint32_t StartTime() const { return FStartTime; }
  // Milliseconds since local midnight now.
  static uint32_t CurrentTime();

private:
  uint32_t FStartTime = 0;
  uint64_t FStartTick = 0;
};

void WriteTraceText(TFileStream& stream, const AnsiString& text);
void WriteTraceLine(TFileStream& stream, const AnsiString& text);
