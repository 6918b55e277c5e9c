// The control library's private window messages.
#pragma once

#include "platform/win/WinTypes.h"

constexpr UINT ctlm_First = 0x7F00;
constexpr UINT ctlm_EntryError = 0x7F00;       // wParam: the entry error code
constexpr UINT ctlm_SetFocus = 0x7F01;          // lParam: the control to show and focus
constexpr UINT ctlm_ViewerNotify = 0x7F02;      // the viewer's own
constexpr UINT ctlm_ValueSize = 0x7F03;         // answers an entry field's value size
constexpr UINT ctlm_Recreate = 0x7F05;          // the spin button's recreate
constexpr UINT ctlm_PreEdit = 0x7F06;           // wParam: window that lost the focus; lParam: the field
constexpr UINT ctlm_PostEdit = 0x7F07;          // wParam: window that gains the focus; lParam: the field
constexpr UINT ctlm_AfterEnter = 0x7F08;
constexpr UINT ctlm_AfterExit = 0x7F09;
constexpr UINT ctlm_DelayNotify = 0x7F0A;       // wParam: notify code; lParam: the sender
constexpr UINT ctlm_PositionLabel = 0x7F0B;
constexpr UINT ctlm_RecordLabelPosition = 0x7F0C;
constexpr UINT ctlm_AssignLabel = 0x7F0D;       // lParam: the label
constexpr UINT ctlm_Last = 0x7F0D;
