#include "app/ProgramSteps.h"

#include "framework/base/TkStartup.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Regional.h"
#include "platform/vcl/Forms.h"

void AddProgramSteps(TModuleSteps& steps) {
  steps.Add("Regional settings", [] { LoadRegionalSettings(); });
  // Forms owned by the application go here, while every module is still up, not at process exit.
  steps.Add("Application", [] { Application(); }, [] { Application().DestroyComponents(); });
  AddToolLibrarySteps(steps);
}

int RunProgram(int argc, char** argv) {
  SetProgramArgs(argc, argv);
  int status = 0;
  TModuleSteps steps;
  try {
    AddProgramSteps(steps);
    steps.Startup();
    // Until the main window exists nothing can post to the loop: it ends at once.
    Application().Run();
  } catch (...) {
    Application().HandleCurrentException();
    status = 1;
  }
  try {
    steps.Shutdown();
  } catch (...) {
    Application().HandleCurrentException();
    status = 1;
  }
  return status;
}
