// The table engine's error channel as the data set hears it: the engine's last text, and whether
// it reported anything while an operation ran; messages that carry the engine's reason.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"

namespace XbEngineReport {

inline constexpr const char* kLockFailure = "Record Lock Failure. May be locked by another user or task.";

// The engine's error function: records every text the engine reports.
void RecordEngineError(int32_t code, const char* message);
uint64_t EngineMark();
// The engine's text when it reported anything since mark, else empty.
AnsiString EngineErrorSince(uint64_t mark);
AnsiString WithReason(const AnsiString& message, const AnsiString& reason);

}  // namespace XbEngineReport
