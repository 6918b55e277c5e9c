// Start-up and close-down steps of the tool library's modules and of the file-utility module's
// shell check, in the order the program runs them.
#pragma once

#include "platform/rtl/ModuleSteps.h"

// "Tool library strings", "Shell file operation" (the shell library), "File utilities" (reads the
// shell library's version block and keeps nothing of it; never stops start-up).
void AddToolLibrarySteps(TModuleSteps& steps);

// Whether the shell file-operation module has loaded the shell library.
bool ShellLibraryLoaded();
