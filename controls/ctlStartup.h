// Start-up and close-down of the control library's global objects.
#pragma once

#include "platform/rtl/ModuleSteps.h"

// "Control library": the string tables, the letter set, the user mask data, the fixed-pitch font
// list and the glyph bitmaps.
void AddControlLibrarySteps(TModuleSteps& steps);
