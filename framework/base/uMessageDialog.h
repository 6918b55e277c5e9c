// The one way the system puts a warning, error or question before the user, with two unattended
// modes (collecting, logging), the appending of text and log files, and a forgiving Format.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringList.h"
#include "platform/classlib/DialogConsts.h"

// Attached to every collected message line; owned by the module.
class TQslError {
public:
  TQslError(int32_t helpContext, bool fatal) : FHelpContext(helpContext), FFatal(fatal) {}
  int32_t HelpContext() const { return FHelpContext; }
  bool Fatal() const { return FFatal; }

private:
  int32_t FHelpContext = 0;
  bool FFatal = false;
};

// A replacement for the interactive message box: shows text, kind, buttons and help context and
// returns the result. Without one the class library's box is shown (with the default button),
// or, where no user can be reached, the unattended answer is given.
using TMessageBoxHook = std::function<int(const AnsiString& text, TMsgDlgType kind,
                                          TMsgDlgButtons buttons, int32_t helpContext)>;
void SetMessageBoxHook(TMessageBoxHook hook);
const TMessageBoxHook& MessageBoxHook();

// Module state.
bool CollectMessages();
void SetCollectMessages(bool on);
bool LogMessages();
void SetLogMessages(bool on);
const AnsiString& MessageLogFile();
void SetMessageLogFile(const AnsiString& name);
const AnsiString& MessageLogPrefix();
void SetMessageLogPrefix(const AnsiString& prefix);
const AnsiString& MessageSuffix();
void SetMessageSuffix(const AnsiString& suffix);
const AnsiString& LastDialogMessage();
// Each line carries its TQslError as object; the module frees them.
const TStringList& CollectedMessages();
bool FatalMessageSeen();
void SetFatalMessageSeen(bool seen);

// A defaultButton above 15 is never among the offered buttons.
int ShowMessageDialog(const AnsiString& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                      int32_t helpContext = 0, int defaultButton = mbOK, bool fatal = false);
void CollectDialogMessage(const AnsiString& text, int32_t helpContext, bool fatal);
void LogDialogMessage(const AnsiString& logFile, const AnsiString& text);
void ClearCollectedMessages();
void ResetMessageLogging();
int DefaultDialogResult(TMsgDlgButtons buttons);
int ButtonModalResult(int button);
AnsiString ModalResultName(int result);

// Appends one line, creating the file (header first, when given) when it is missing.
void AppendLineToFile(const AnsiString& fileName, const AnsiString& line, bool lineEnd,
                      const AnsiString& header = AnsiString());
// "date at time : text", or "date,time,text" when comma-separated.
void AppendLogLine(const AnsiString& fileName, const AnsiString& text, bool commaSeparated = false);

// Formats into target; a format that does not fit its arguments is shown as a warning and
// leaves target as it was (then False).
bool SafeFormat(AnsiString& target, const AnsiString& fmt, std::initializer_list<TVarRec> args);
