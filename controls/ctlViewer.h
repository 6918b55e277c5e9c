// The text-file viewer: its line source and its display.
#pragma once

#include "controls/ctlViewerDisplay.h"
#include "controls/ctlViewerLines.h"
