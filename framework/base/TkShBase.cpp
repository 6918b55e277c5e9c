#include "framework/base/TkShBase.h"

#include "framework/base/TkVInfo.h"
#include "platform/rtl/ShellOps.h"

AnsiString ShellLibraryPath() { return "/usr/lib/shell32.dll"; }

double ShellLibraryVersion() {
  try {
    TTkVersionInfo info;
    info.SetFileName(ShellLibraryPath());
    const uint32_t ms = info.FileVersionMS();
    return (ms >> 16) + (ms & 0xFFFF) / 100.0;
  } catch (const ETkException&) {
    // No such file, or no version block: the version is unknown.
    return 0;
  }
}

TTkShellComponent::TTkShellComponent(TComponent* AOwner)
    : TTkComponent(AOwner), FShellVersion(ShellLibraryVersion()) {}

void TTkShellComponent::SetLastError(int Code) {
  FLastErrorCode = Code;
  FLastErrorText = ShellErrorMessage(Code);
  if (Code != 0 && OnError) OnError(*this);
}
