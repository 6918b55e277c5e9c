#include "framework/base/TkShBase.h"

#include "platform/rtl/ShellOps.h"

TTkShellComponent::TTkShellComponent(TComponent* AOwner)
    : TTkComponent(AOwner), FShellVersion(ShellLibraryVersion()) {}

void TTkShellComponent::SetLastError(int Code) {
  FLastErrorCode = Code;
  FLastErrorText = ShellErrorMessage(Code);
  if (Code != 0 && OnError) OnError(*this);
}
