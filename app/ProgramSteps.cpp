#include "app/ProgramSteps.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Regional.h"
#include "platform/vcl/Forms.h"

void AddProgramSteps(TModuleSteps& steps) {
  steps.Add("Regional settings", [] { LoadRegionalSettings(); });
  steps.Add("Application", [] { Application(); }, [] { Application().ProcessMessages(); });
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
