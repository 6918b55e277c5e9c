#include "app/ProgramSteps.h"

#include "controls/ctlMsgBox.h"
#include "controls/ctlStartup.h"
#include "framework/base/TkStartup.h"
#include "framework/base/uMessageDialog.h"
#include "toolbars/tbStartup.h"
#include "platform/com/ComStartup.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Regional.h"
#include "platform/classlib/Forms.h"

void AddProgramSteps(TModuleSteps& steps) {
  steps.Add("Regional settings", [] { LoadRegionalSettings(); });
  AddAutomationSteps(steps);
  // Forms owned by the application go here, while every module is still up, not at process exit.
  steps.Add("Application", [] { Application(); }, [] { Application().DestroyComponents(); });
  AddControlLibrarySteps(steps);
  // The control library cannot reach the framework's dialog itself: its error box is routed here.
  steps.Add(
      "Control library message box",
      [] {
        SetCtlMessageBox([](const AnsiString& text, uint32_t flags, int help) {
          TMsgDlgType kind = (flags & 0xF0) == MB_ICONERROR ? TMsgDlgType::mtError
                             : (flags & 0xF0) == MB_ICONWARNING ? TMsgDlgType::mtWarning
                                                                 : TMsgDlgType::mtInformation;
          return ShowMessageDialog(text, kind, mbOKOnly, help) == mrOk ? IDOK : IDCANCEL;
        });
      },
      [] { SetCtlMessageBox(nullptr); });
  AddToolbarLibrarySteps(steps);
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
