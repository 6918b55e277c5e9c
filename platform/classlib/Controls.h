// The class library's controls in one include: the shared types, the control, the graphic control,
// the windowed control, the custom control, the hint window, canvases and hidden windows.
#pragma once

#include "platform/classlib/Control.h"
#include "platform/classlib/ControlCanvas.h"
#include "platform/classlib/ControlCursors.h"
#include "platform/classlib/ControlTypes.h"
#include "platform/classlib/CustomControl.h"
#include "platform/classlib/GraphicControl.h"
#include "platform/classlib/HiddenWindows.h"
#include "platform/classlib/HintWindow.h"
#include "platform/classlib/ModalResults.h"
#include "platform/classlib/SizeConstraints.h"
#include "platform/classlib/WinControl.h"
