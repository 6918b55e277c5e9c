#include "core/uHotSplitter.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "core/uHotFileLines.h"
#include "framework/base/uFileUtils.h"
#include "platform/classlib/Forms.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/WholeFiles.h"

namespace {

[[noreturn]] void RaiseIO(int err) { throw EInOutError(SysErrorMessage(err), err); }

// Text output written CR LF, buffered; the file is closed on every path out.
class TTextOutput {
public:
  explicit TTextOutput(const AnsiString& name)
      : FFd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)),
        FBuffer(std::make_unique_for_overwrite<char[]>(BufferSize)) {
    if (FFd < 0) RaiseIO(errno);
  }
  ~TTextOutput() {
    if (FFd >= 0) ::close(FFd);
  }
  TTextOutput(const TTextOutput&) = delete;
  TTextOutput& operator=(const TTextOutput&) = delete;

  void WriteLine(std::string_view line) {
    char* room = LineRoom(line.size());
    std::memcpy(room, line.data(), line.size());
    EndLine(line.size());
  }

  // Room for a line of at most Longest characters and its line end; EndLine takes it.
  char* LineRoom(std::size_t longest) {
    if (FFill + longest + 2 > BufferSize) Flush();
    return FBuffer.get() + FFill;
  }
  void EndLine(std::size_t length) {
    std::memcpy(FBuffer.get() + FFill + length, "\r\n", 2);
    FFill += length + 2;
  }

  void Close() {
    Flush();
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) RaiseIO(errno);
  }

private:
  static constexpr std::size_t BufferSize = 1 << 16;

  void Flush() {
    std::size_t done = 0;
    while (done < FFill) {
      const ssize_t n = ::write(FFd, FBuffer.get() + done, FFill - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        FFill = 0;
        RaiseIO(n < 0 ? errno : EIO);
      }
      done += std::size_t(n);
    }
    FFill = 0;
  }

  int FFd;
  std::unique_ptr<char[]> FBuffer;
  std::size_t FFill = 0;
};

// The code padded with zeros on the left to the entry width occurs in the list.
bool ListHolds(const AnsiString& list, const AnsiString& code, std::size_t width) {
  if (list.empty()) return true;
  return Pos(LeftPadZeros(Str255(code), int(width)).View(), list) > 0;
}

bool Is(const AnsiString& id, const char (&name)[6]) { return id.size() == 5 && std::memcmp(id.data(), name, 5) == 0; }

// What a record does to the split.
enum class TRecordKind { Other, FileHeader, CycleHeader, Office, Transaction, OfficeTotals, CycleTotals, FileTotals };

constexpr uint32_t MessageKey(const char* message) {
  return uint32_t(uint8_t(message[0])) | uint32_t(uint8_t(message[1])) << 8 | uint32_t(uint8_t(message[2])) << 16;
}

// By numeric qualifier: the kind and the message ids that make that record (0: none).
struct TKindEntry {
  uint32_t B = 0, T = 0;
  TRecordKind Kind = TRecordKind::Other;
};

constexpr auto KindTable = [] {
  std::array<TKindEntry, 100> t{};
  t[1] = {MessageKey("BFH"), MessageKey("TTH"), TRecordKind::FileHeader};
  t[2] = {MessageKey("BCH"), MessageKey("TCH"), TRecordKind::CycleHeader};
  t[3] = {MessageKey("BOH"), MessageKey("TOH"), TRecordKind::Office};
  t[6] = {MessageKey("BKT"), MessageKey("TKT"), TRecordKind::Transaction};
  t[93] = {MessageKey("BOT"), 0, TRecordKind::OfficeTotals};
  t[94] = {MessageKey("BOT"), MessageKey("TOT"), TRecordKind::OfficeTotals};
  t[95] = {MessageKey("BCT"), MessageKey("TCT"), TRecordKind::CycleTotals};
  t[99] = {MessageKey("BFT"), MessageKey("TTT"), TRecordKind::FileTotals};
  return t;
}();

// Called for every line of the input: one look-up, one compare.
inline TRecordKind KindOf(std::string_view id) {
  if (id.size() != 5) return TRecordKind::Other;
  const unsigned tens = unsigned(uint8_t(id[3])) - '0', units = unsigned(uint8_t(id[4])) - '0';
  if (tens > 9 || units > 9) return TRecordKind::Other;
  const TKindEntry& e = KindTable[tens * 10 + units];
  const uint32_t message = MessageKey(id.data());
  return message == e.B || message == e.T ? e.Kind : TRecordKind::Other;
}

bool IsBlankText(const char* text, int length) {
  for (int i = 0; i < length; ++i)
    if (uint8_t(text[i]) > 32) return false;
  return true;
}

}  // namespace

AnsiString SplitOutputName(const AnsiString& Input) {
  return EnsureTrailingBackslash(ExtractFolderPart(Input)) + "Split_" + ExtractFilePart(Input);
}

bool THotSplitter::AgentMatches(const AnsiString& Code) const { return ListHolds(FAgentList, Code, 7); }

bool THotSplitter::AirlineMatches(const AnsiString& Code) const { return ListHolds(FAirlineList, Code, 3); }

AnsiString THotSplitter::SplitOneFile(const AnsiString& Input) {
  AnsiString output;
  try {
    FViewer.SetIsOpen(false);
    FViewer.SetFileName(Input);
    FViewer.SetIsOpen(true);
    SplitHotFile(Input, output);
  } catch (...) {
    FViewer.SetIsOpen(false);
    throw;
  }
  FViewer.SetIsOpen(false);
  return output;
}

void THotSplitter::SplitHotFile(const AnsiString& Input, AnsiString& Output) {
  TDateTime date = 0;
  if (!GetFileDate(Input, date)) date = 0;
  Output = SplitOutputName(Input);
  // Written under a temporary name, renamed only when whole and checked.
  TTempBeside temp(Output);
  bool truncatedInput = false;
  {
    TTextOutput out(temp.Name());
    Application().ProcessMessages();

    THotFileLine& reader = GlobalHotFileLine();
    const int lastLine = FViewer.ClampLine(INT_MAX);
    bool keep = true;
    bool officeSelected = false;
    FLineIndex = 0;
    AnsiString id;
    AnsiString line;
    // A record line whose id reads in place: most are dropped on the id alone, and a kept one goes
    // straight into the output. False for those whose fields set the split's course.
    const auto passRecord = [&](const char (&quick)[5]) {
      const TRecordKind kind = KindOf(std::string_view(quick, 5));
      switch (kind) {
        case TRecordKind::FileHeader:
        case TRecordKind::Office: return false;
        case TRecordKind::Transaction:
          if (officeSelected) return false;
          keep = false;
          return true;
        case TRecordKind::OfficeTotals: keep = officeSelected; break;
        case TRecordKind::CycleHeader:
        case TRecordKind::CycleTotals:
        case TRecordKind::FileTotals: keep = true; break;
        case TRecordKind::Other: break;
      }
      if (keep) {
        char* record = out.LineRoom(HotMaxFetch);
        const int length = reader.FetchRecord(FViewer, FLineIndex, record);
        if (kind != TRecordKind::Other && kind != TRecordKind::CycleHeader)
          reader.ZeroTotalsIn(record, (quick[3] - '0') * 10 + (quick[4] - '0'));
        out.EndLine(std::size_t(length));
      }
      return true;
    };
    for (;; ++FLineIndex) {
      char quick[5];
      if (FLineIndex <= lastLine && reader.QuickId(FViewer, FViewer.LineTextAt(FLineIndex), quick) &&
          passRecord(quick))
        continue;
      if (!reader.ReadLine(FViewer, FLineIndex, id, line)) break;
      switch (KindOf(id)) {
        case TRecordKind::FileHeader: {
          keep = true;
          ShortString<3> revision;
          reader.DetectLayout(line, revision);
          break;
        }
        case TRecordKind::CycleHeader: keep = true; break;
        case TRecordKind::Office:
          officeSelected = AgentMatches(THotFileData::Agtn(line).Str());
          keep = officeSelected;
          break;
        case TRecordKind::Transaction:
          keep = officeSelected && AirlineMatches(TrimBlanks(reader.Tacn(line).View()));
          break;
        case TRecordKind::OfficeTotals:
          keep = officeSelected;
          line = Is(id, "BOT93") ? reader.ZeroTotals93(line) : reader.ZeroTotals94(line);
          break;
        case TRecordKind::CycleTotals:
          keep = true;
          line = reader.ZeroTotals95(line);
          break;
        case TRecordKind::FileTotals:
          keep = true;
          line = reader.ZeroTotals99(line);
          break;
        case TRecordKind::Other: break;
      }
      if (keep && !line.empty()) out.WriteLine(line);
    }
    out.Close();
    truncatedInput = FViewer.ClampLine(FLineIndex) == FLineIndex;
  }
  CheckFileHeaderFirst(Input);
  if (truncatedInput) CheckNothingFollows(Input);
  CheckFileTrailerLast(Input);
  if (date != 0) SetFileDate(temp.Name(), date);
  temp.Commit();
}

// The record id of the first (Forward) or the last record line the split read; empty when none.
AnsiString THotSplitter::EdgeRecordId(bool Forward) {
  THotFileLine& reader = GlobalHotFileLine();
  AnsiString id, line;
  for (int i = Forward ? 0 : FLineIndex - 1; i >= 0 && i < FLineIndex; i += Forward ? 1 : -1) {
    reader.ReadLine(FViewer, i, id, line);
    if (!id.empty()) return id;
  }
  return {};
}

// A file that does not open with a file header is no HOT file: a text, a picture, an empty file.
void THotSplitter::CheckFileHeaderFirst(const AnsiString& Input) {
  if (!Is(EdgeRecordId(true), "BFH01"))
    throw EHotFileError("%s is not a HOT file: it does not begin with a file header record; the file was not split",
                        {Input});
}

// Without its file trailer the file was cut short, in transfer or while it was read.
void THotSplitter::CheckFileTrailerLast(const AnsiString& Input) {
  if (!Is(EdgeRecordId(false), "BFT99"))
    throw EHotFileError("%s is cut short: it does not end with a file trailer record; the file was not split",
                        {Input});
}

// The records end at the first line that is not a record line; anything but blanks after
// it means the file would be cut short.
void THotSplitter::CheckNothingFollows(const AnsiString& Input) {
  const int last = FViewer.ClampLine(INT_MAX);
  for (int i = FLineIndex + 1; i <= last; ++i) {
    int length = 0;
    const char* text = FViewer.GetLineText(i, length);
    if (!IsBlankText(text, length))
      throw EHotFileError("%s: line %d is not a HOT record and more lines follow it; the file was not split",
                          {Input, FLineIndex + 1});
  }
}
