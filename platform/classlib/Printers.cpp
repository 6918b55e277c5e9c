#include "platform/classlib/Printers.h"

#if QUORVEX_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace {

constexpr const char* kNoSuchPrinter = "Printer selected is not valid";
constexpr const char* kBadCopies = "Number of copies must be at least 1, not %d";

std::unique_ptr<TPrinter>& PrinterSlot() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

}  // namespace

TPrinterQueues SystemPrinterQueues() {
  TPrinterQueues queues;
#if QUORVEX_HAVE_CUPS
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests(&dests);
  for (int i = 0; i < count; ++i) {
    // An instance is a set of options on a queue, not a printer of its own.
    if (dests[i].instance != nullptr) continue;
    if (dests[i].is_default) queues.DefaultIndex = static_cast<int>(queues.Names.size());
    queues.Names.emplace_back(dests[i].name);
  }
  cupsFreeDests(count, dests);
#endif
  return queues;
}

void TPrinter::load() {
  if (FLoaded) return;
  TPrinterQueues q = FSource ? FSource() : SystemPrinterQueues();
  FNames.Clear();
  for (const AnsiString& n : q.Names) FNames.Add(n);
  const int count = FNames.Count();
  FDefaultIndex = q.DefaultIndex >= 0 && q.DefaultIndex < count ? q.DefaultIndex : (count > 0 ? 0 : -1);
  FLoaded = true;
}

const TStrings& TPrinter::Printers() {
  load();
  return FNames;
}

int TPrinter::PrinterIndex() {
  load();
  return FIndex >= 0 ? FIndex : FDefaultIndex;
}

void TPrinter::SetPrinterIndex(int index) {
  load();
  if (index < -1 || index >= FNames.Count()) throw EPrinter(kNoSuchPrinter);
  FIndex = index;
}

AnsiString TPrinter::PrinterName() {
  const int i = PrinterIndex();
  return i >= 0 ? FNames.Get(i) : AnsiString();
}

void TPrinter::Refresh() {
  const AnsiString chosen = FIndex >= 0 ? FNames.Get(FIndex) : AnsiString();
  FLoaded = false;
  load();
  FIndex = -1;
  if (chosen.empty()) return;
  // Queue names are exact; a renamed queue is a different printer.
  for (int i = 0; i < FNames.Count(); ++i)
    if (FNames.Get(i) == chosen) FIndex = i;
}

void TPrinter::SetCopies(int copies) {
  if (copies < 1) throw EPrinter(kBadCopies, {copies});
  FCopies = copies;
}

TPrinter& Printer() {
  auto& slot = PrinterSlot();
  if (!slot) slot = std::make_unique<TPrinter>();
  return *slot;
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer) {
  std::unique_ptr<TPrinter> old = std::move(PrinterSlot());
  PrinterSlot() = std::move(printer);
  return old;
}
