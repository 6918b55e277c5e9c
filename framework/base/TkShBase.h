// Base of the tool library's shell components: the shell's version and the last error of an operation.
#pragma once

#include <functional>

#include "platform/rtl/AnsiString.h"
#include "platform/vcl/Classes.h"

class TTkShellComponent : public TComponent {
public:
  explicit TTkShellComponent(TComponent* AOwner);

  // The shell library carries no version block on this platform; 0 means unknown.
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
