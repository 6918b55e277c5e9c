// HOT records: the two field layouts, record names, agent and airline codes, and the
// zeroing of totals records, read line by line from a text-file viewer.
#pragma once

#include <functional>
#include <memory>

#include "controls/ctlViewer.h"
#include "platform/rtl/AnsiString.h"

constexpr int HotRecordWidth = 136;
constexpr int HotMaxFetch = 511;

// Layout knowledge: positions count characters from 1.
class THotFileData {
public:
  virtual ~THotFileData() = default;

  bool LayoutA() const { return FLayoutA; }
  void SetLayoutA(bool Value) { FLayoutA = Value; }

  static bool IsTLine(const AnsiString& Line);
  static ShortString<3> MessageId(const AnsiString& Line);
  static ShortString<2> NumericQualifier(const AnsiString& Line);
  static ShortString<5> RecordId(const AnsiString& Line);
  void DetectLayout(const AnsiString& Header, ShortString<3>& Code);
  static ShortString<7> Agtn(const AnsiString& Line);
  ShortString<5> Tacn(const AnsiString& Line) const;

private:
  bool FLayoutA = false;
};

using THotProgress = std::function<void(void* UserValue)>;

class THotFileLine : public THotFileData {
public:
  THotFileLine();

  // False at the end of the input. An empty line, or one of blanks only, gives True with
  // an empty line and record id.
  bool ReadLine(TCtlBaseViewer& Viewer, int N, AnsiString& Id, AnsiString& Line,
                const THotProgress& Progress = nullptr, void* UserValue = nullptr);
  static bool ParseLine(AnsiString& Line, AnsiString& Id);
  // The record id ReadLine would give for a line of this raw text, read straight from it when its
  // first thirteen characters show as they are (a record's first character, no tab, no NUL, none
  // the viewer replaces); False when the line must go through ReadLine. Sixteen bytes must be
  // loadable from Text, as the viewer's line texts allow.
  static bool QuickId(const TCtlBaseViewer& Viewer, const char* Text, char (&Id)[5]);
  static void ZeroField(AnsiString& Line, int Start, int Width);
  // The line ReadLine would give for a line QuickId read, into Dest (HotMaxFetch + 1 bytes);
  // returns its length.
  static int FetchRecord(TCtlBaseViewer& Viewer, int N, char* Dest);

  AnsiString ZeroTotals93(const AnsiString& Line) const;
  AnsiString ZeroTotals94(const AnsiString& Line) const;
  AnsiString ZeroTotals95(const AnsiString& Line) const;
  AnsiString ZeroTotals99(const AnsiString& Line) const;
  // The same in place, by the totals record's numeric qualifier (93, 94, 95 or 99), on a line at
  // least a record wide.
  void ZeroTotalsIn(char* Record, int Qualifier) const;

private:
  std::unique_ptr<char[]> FBuffer;
};

// The one reader shared by every split of the process, made by the main window's start-up step;
// asking for it outside that span raises EInvalidOperation.
THotFileLine& GlobalHotFileLine();
void CreateGlobalHotFileLine();
void FreeGlobalHotFileLine();
