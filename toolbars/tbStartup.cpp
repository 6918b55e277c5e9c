#include "toolbars/tbStartup.h"

#include "toolbars/tbHooks.h"

void AddToolbarLibrarySteps(TModuleSteps& steps) {
  steps.Add("Toolbar library", nullptr, [] { CloseDownHooks(); });
}
