#include "framework/base/TkStartup.h"

#include "framework/base/TkShBase.h"
#include "framework/base/TkSrMgr.h"

namespace {

bool GShellLoaded = false;

}  // namespace

bool ShellLibraryLoaded() { return GShellLoaded; }

void AddToolLibrarySteps(TModuleSteps& steps) {
  steps.Add("Tool library strings", [] { TkSrMgrStartup(); }, [] { TkSrMgrShutdown(); });
  // The shell's file operation and its other services are part of the platform: loading the library
  // is taking hold of them.
  steps.Add("Shell file operation", [] { GShellLoaded = true; }, [] { GShellLoaded = false; });
  steps.Add("File utilities", [] { (void)ShellLibraryVersion(); });
}
