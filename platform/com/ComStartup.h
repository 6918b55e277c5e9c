// The automation layer's part of the program's start-up and close-down.
#pragma once

#include "platform/rtl/ModuleSteps.h"

// Initialises automation for the process and registers the in-process servers; uninitialises
// at close-down.
void AddAutomationSteps(TModuleSteps& steps);
