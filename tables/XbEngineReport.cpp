#include "tables/XbEngineReport.h"

namespace XbEngineReport {
namespace {

// How many texts have come, so that an operation can tell whether the engine complained while
// it ran.
struct TEngineReport {
  AnsiString Last;
  uint64_t Count = 0;
};
TEngineReport& EngineReport() {
  static TEngineReport report;
  return report;
}

}  // namespace

void RecordEngineError(int32_t, const char* message) {
  EngineReport().Last = message ? message : "";
  ++EngineReport().Count;
}
uint64_t EngineMark() { return EngineReport().Count; }
AnsiString EngineErrorSince(uint64_t mark) { return EngineReport().Count != mark ? EngineReport().Last : AnsiString(); }
AnsiString WithReason(const AnsiString& message, const AnsiString& reason) {
  return reason.empty() ? message : message + "\r" + reason;
}

}  // namespace XbEngineReport
