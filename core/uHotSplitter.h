// The splitter: one HOT file in, its "Split_" twin out, keeping the headers, the chosen
// agents' offices and within them the chosen airlines' transactions, totals zeroed.
#pragma once

#include "controls/ctlViewer.h"
#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

// A file that is no whole HOT file: not one at all, cut short, or records past a line that is none.
QUORVEX_EXCEPTION(EHotFileError, Exception);

class THotSplitter {
public:
  explicit THotSplitter(TCtlCustomTextFileViewer& Viewer) : FViewer(Viewer) {}

  // Code lists: entries joined with "|"; empty means no filter on that code.
  const AnsiString& AirlineList() const { return FAirlineList; }
  void SetAirlineList(const AnsiString& Value) { FAirlineList = Value; }
  const AnsiString& AgentList() const { return FAgentList; }
  void SetAgentList(const AnsiString& Value) { FAgentList = Value; }

  // Splits into "Split_" + the input's name beside it and returns that name.
  AnsiString SplitOneFile(const AnsiString& Input);

  bool AgentMatches(const AnsiString& Code) const;
  bool AirlineMatches(const AnsiString& Code) const;

  // The viewer must be open on the input.
  void SplitHotFile(const AnsiString& Input, AnsiString& Output);

private:
  void CheckNothingFollows(const AnsiString& Input);
  AnsiString EdgeRecordId(bool Forward);
  void CheckFileHeaderFirst(const AnsiString& Input);
  void CheckFileTrailerLast(const AnsiString& Input);

  TCtlCustomTextFileViewer& FViewer;
  AnsiString FAirlineList;
  AnsiString FAgentList;
  int FLineIndex = 0;
};

// The output name for an input: "Split_" before its file name, in the same folder.
AnsiString SplitOutputName(const AnsiString& Input);
