#include "framework/base/uMessageDialog.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Regional.h"
#include "platform/classlib/MessageBox.h"
#include "platform/classlib/MessageLayout.h"

namespace {

constexpr const char* kLogLineFormat = "%s at %s : %s";
constexpr const char* kCommaLogLineFormat = "%s,%s,%s";
constexpr const char* kReportFormatFault = "Please email EXACT details of this message to Keldara at";
constexpr const char* kSupportAddress = "support@keldara.example";

struct TMessageModule {
  bool Collect = false;
  bool Log = false;
  AnsiString LogFile;
  AnsiString LogPrefix;
  AnsiString Suffix;
  AnsiString LastMessage;
  TStringList Collected;
  std::vector<std::unique_ptr<TQslError>> Errors;  // the objects of Collected
  bool FatalSeen = false;
  TMessageBoxHook MessageBox;
};

TMessageModule& Module() {
  static TMessageModule module;
  return module;
}

AnsiString TwoDigits(int v) { return v < 10 ? "0" + std::to_string(v) : std::to_string(v); }

// Date in a short date pattern of the regional settings: d, dd, M, MM, yy, yyyy and '/'.
AnsiString FormatShortDate(TDateTime dt) {
  const TFormatSettings& fs = FormatSettings();
  int y, m, d;
  DecodeDate(dt, y, m, d);
  const AnsiString& p = fs.ShortDateFormat;
  AnsiString out;
  for (std::size_t i = 0; i < p.size();) {
    char c = p[i];
    std::size_t run = 1;
    while (i + run < p.size() && (p[i + run] | 0x20) == (c | 0x20)) ++run;
    switch (c | 0x20) {
      case 'd': out += run >= 2 ? TwoDigits(d) : std::to_string(d); break;
      case 'm': out += run >= 2 ? TwoDigits(m) : std::to_string(m); break;
      case 'y': out += run >= 3 ? std::to_string(y) : TwoDigits(y % 100); break;
      case '/': out.append(run, fs.DateSeparator); break;
      default: out.append(p, i, run); break;
    }
    i += run;
  }
  return out;
}

// Time in a short time pattern: h, hh, H, HH, m, mm, s, ss, ':' and AMPM (12-hour clock when present).
AnsiString FormatShortTime(TDateTime dt) {
  const TFormatSettings& fs = FormatSettings();
  int h, m, s, ms;
  DecodeTime(dt, h, m, s, ms);
  const AnsiString& p = fs.ShortTimeFormat;
  const bool twelve = UpperCase(p).find("AMPM") != AnsiString::npos;
  AnsiString out;
  for (std::size_t i = 0; i < p.size();) {
    if (twelve && SameText(std::string_view(p).substr(i, 4), "AMPM")) {
      out += h < 12 ? fs.TimeAMString : fs.TimePMString;
      i += 4;
      continue;
    }
    char c = p[i];
    std::size_t run = 1;
    while (i + run < p.size() && (p[i + run] | 0x20) == (c | 0x20)) ++run;
    int hour = twelve ? (h % 12 == 0 ? 12 : h % 12) : h;
    switch (c | 0x20) {
      case 'h': out += run >= 2 ? TwoDigits(hour) : std::to_string(hour); break;
      case 'n':
      case 'm': out += run >= 2 ? TwoDigits(m) : std::to_string(m); break;
      case 's': out += run >= 2 ? TwoDigits(s) : std::to_string(s); break;
      case ':': out.append(run, fs.TimeSeparator); break;
      default: out.append(p, i, run); break;
    }
    i += run;
  }
  return out;
}

int UnattendedAnswer(TMsgDlgButtons buttons, int defaultButton) {
  if (defaultButton >= 0 && defaultButton <= 15 && (buttons & (TMsgDlgButtons(1) << defaultButton)) != 0)
    return ButtonModalResult(defaultButton);
  return DefaultDialogResult(buttons);
}

}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Module().MessageBox = std::move(hook); }
const TMessageBoxHook& MessageBoxHook() { return Module().MessageBox; }

bool CollectMessages() { return Module().Collect; }
void SetCollectMessages(bool on) { Module().Collect = on; }
bool LogMessages() { return Module().Log; }
void SetLogMessages(bool on) { Module().Log = on; }
const AnsiString& MessageLogFile() { return Module().LogFile; }
void SetMessageLogFile(const AnsiString& name) { Module().LogFile = name; }
const AnsiString& MessageLogPrefix() { return Module().LogPrefix; }
void SetMessageLogPrefix(const AnsiString& prefix) { Module().LogPrefix = prefix; }
const AnsiString& MessageSuffix() { return Module().Suffix; }
void SetMessageSuffix(const AnsiString& suffix) { Module().Suffix = suffix; }
const AnsiString& LastDialogMessage() { return Module().LastMessage; }
const TStringList& CollectedMessages() { return Module().Collected; }
bool FatalMessageSeen() { return Module().FatalSeen; }
void SetFatalMessageSeen(bool seen) { Module().FatalSeen = seen; }

int ShowMessageDialog(const AnsiString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int32_t helpContext,
                      int defaultButton, bool fatal) {
  TMessageModule& m = Module();
  m.LastMessage = text;
  if (m.Collect) {
    int answer = UnattendedAnswer(buttons, defaultButton);
    CollectDialogMessage(text + " : " + ModalResultName(answer), helpContext, fatal);
    return answer;
  }
  if (m.Log && !m.LogFile.empty()) {
    int answer = UnattendedAnswer(buttons, defaultButton);
    LogDialogMessage(m.LogFile, text + " : " + ModalResultName(answer));
    return answer;
  }
  const AnsiString shown = text + "\r\r" + m.Suffix;
  if (m.MessageBox) return m.MessageBox(shown, kind, buttons, helpContext);
  // The class library's box by default; where it reaches nobody (no display), the unattended rule answers.
  if (!MessageBoxesReachUser()) return UnattendedAnswer(buttons, defaultButton);
  return ShowMessageBox(shown, AnsiString(), kind, buttons, defaultButton, helpContext);
}

void CollectDialogMessage(const AnsiString& text, int32_t helpContext, bool fatal) {
  TMessageModule& m = Module();
  m.Errors.push_back(std::make_unique<TQslError>(helpContext, fatal));
  m.Collected.AddObject(text, m.Errors.back().get());
  if (fatal) m.FatalSeen = true;
}

void LogDialogMessage(const AnsiString& logFile, const AnsiString& text) {
  if (logFile.empty()) return;
  AppendLogLine(logFile, Module().LogPrefix + " : " + text);
}

void ClearCollectedMessages() {
  TMessageModule& m = Module();
  m.Collected.Clear();
  m.Errors.clear();
}

void ResetMessageLogging() {
  TMessageModule& m = Module();
  m.Log = false;
  m.LogFile.clear();
  m.LogPrefix.clear();
  m.LastMessage.clear();
}

int DefaultDialogResult(TMsgDlgButtons buttons) {
  static constexpr TMsgDlgBtn order[] = {mbOK, mbYesToAll, mbYes, mbIgnore, mbRetry,
                                         mbAll, mbNoToAll, mbNo, mbCancel, mbAbort};
  for (TMsgDlgBtn b : order)
    if (buttons & MsgButton(b)) return ButtonModalResult(b);
  return mrNone;
}

int ButtonModalResult(int button) {
  return button >= 0 && button < kMsgDlgButtonCount ? MessageButtonResult(TMsgDlgBtn(button)) : mrNone;
}

AnsiString ModalResultName(int result) {
  switch (result) {
    case mrOk: return "Ok";
    case mrCancel: return "Cancel";
    case mrAbort: return "Abort";
    case mrRetry: return "Retry";
    case mrIgnore: return "Ignore";
    case mrYes: return "Yes";
    case mrNo: return "No";
    case mrAll: return "All";
    case mrNoToAll: return "No to All";
    case mrYesToAll: return "Yes to All";
    default: return "None";
  }
}

void AppendLineToFile(const AnsiString& fileName, const AnsiString& line, bool lineEnd, const AnsiString& header) {
  if (Trim(fileName).empty()) return;
  const bool isNew = !FileExists(fileName);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(fileName.c_str(), "ab"), &std::fclose);
  if (!f) {
    int code = errno;
    throw EInOutError(SysErrorMessage(code), code);
  }
  AnsiString out;
  if (isNew && !header.empty()) out += header + "\r\n";
  out += line;
  if (lineEnd) out += "\r\n";
  if (std::fwrite(out.data(), 1, out.size(), f.get()) != out.size() || std::fflush(f.get()) != 0) {
    int code = errno;
    throw EInOutError(SysErrorMessage(code), code);
  }
}

void AppendLogLine(const AnsiString& fileName, const AnsiString& text, bool commaSeparated) {
  TDateTime now = Now();
  AppendLineToFile(fileName, Format(commaSeparated ? kCommaLogLineFormat : kLogLineFormat,
                                    {FormatShortDate(now), FormatShortTime(now), text}), true);
}

bool SafeFormat(AnsiString& target, const AnsiString& fmt, std::initializer_list<TVarRec> args) {
  try {
    target = Format(fmt, args);
    return true;
  } catch (const EConvertError& e) {
    ShowMessageDialog(e.Message() + "\r" + fmt + "\r" + kReportFormatFault + "\r " + kSupportAddress,
                      TMsgDlgType::mtWarning, mbOKOnly, 0, mbOK);
    return false;
  }
}
