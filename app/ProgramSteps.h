// The order in which the program's modules start and close down.
#pragma once

#include "platform/rtl/ModuleSteps.h"

// Lists every module's step, in the order of the targets: the platform first, the main window's
// own modules last. Each module adds its step here as it comes.
void AddProgramSteps(TModuleSteps& steps);

// The program: start-up, the message loop, close-down. Returns the exit status.
int RunProgram(int argc, char** argv);
