#include "platform/com/ComStartup.h"

#include "platform/com/ComObj.h"
#include "platform/com/XlServer.h"

void AddAutomationSteps(TModuleSteps& steps) {
  steps.Add(
      "Automation",
      [] {
        OleCheck(OleInitialize());
        RegisterExcelServer();
      },
      [] { OleUninitialize(); });
}
