// The printers of the system as the class library offers them: their names (from CUPS when the
// program was built with it), the current printer, page orientation and copies.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

QUORVEX_EXCEPTION(EPrinter, Exception);

enum TPrinterOrientation { poPortrait, poLandscape };

// What the print system reports: the queue names and which of them is the default (-1: none).
struct TPrinterQueues {
  std::vector<AnsiString> Names;
  int DefaultIndex = -1;
};
using TPrinterQueueSource = std::function<TPrinterQueues()>;

class TPrinter {
public:
  // Names are read from source on first use; without a source, from the print system.
  explicit TPrinter(TPrinterQueueSource source = nullptr) : FSource(std::move(source)) {}

  // The printer names in the print system's order.
  const TStrings& Printers();
  // The current printer: the default one until another is chosen; -1 when there are no printers.
  int PrinterIndex();
  // -1 selects the default printer; any other index outside the list raises EPrinter.
  void SetPrinterIndex(int index);
  // The current printer's name, empty when there is none.
  AnsiString PrinterName();
  // Reads the names again; the current printer stays chosen when it still exists.
  void Refresh();

  TPrinterOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation o) { FOrientation = o; }
  int Copies() const { return FCopies; }
  // Fewer than one copy raises EPrinter.
  void SetCopies(int copies);

private:
  void load();

  TPrinterQueueSource FSource;
  bool FLoaded = false;
  TStringList FNames;
  int FDefaultIndex = -1;
  int FIndex = -1;
  TPrinterOrientation FOrientation = poPortrait;
  int FCopies = 1;
};

// The printer object of the process, made on first use.
TPrinter& Printer();
// Replaces it (tests give one with a source of their own); returns the previous one.
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer);
// The queues of the print system: CUPS destinations when built with CUPS, else none.
TPrinterQueues SystemPrinterQueues();
