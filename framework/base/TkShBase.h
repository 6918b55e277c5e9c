// Base of the tool library's shell components: the shell library's version and the last error of an operation.
#pragma once

#include <functional>

#include "framework/base/TkBase.h"
#include "platform/rtl/AnsiString.h"

// Where the shell library would sit; the shell's services are built into the platform here.
AnsiString ShellLibraryPath();
// The shell library's file version as major.minor, read from its version block; 0 when it has none.
double ShellLibraryVersion();

class TTkShellComponent : public TTkComponent {
public:
  explicit TTkShellComponent(TComponent* AOwner);

  double ShellVersion() const { return FShellVersion; }
  int LastErrorCode() const { return FLastErrorCode; }
  const AnsiString& LastErrorText() const { return FLastErrorText; }

  std::function<void(TTkShellComponent& Sender)> OnError;

protected:
  // Stores the code with its message; a non-zero code fires OnError.
  void SetLastError(int Code);

private:
  double FShellVersion = 0;
  int FLastErrorCode = 0;
  AnsiString FLastErrorText;
};
