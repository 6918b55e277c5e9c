// Start-up and close-down of the toolbar library's global objects.
#pragma once

#include "platform/rtl/ModuleSteps.h"

// "Toolbar library": at close-down the shared window hooks go, whatever their counts.
void AddToolbarLibrarySteps(TModuleSteps& steps);
