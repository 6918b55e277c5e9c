// Kinds, buttons and modal results of the message box, shared by the dialogs and the forms.
#pragma once

#include <cstdint>

#include "platform/classlib/ModalResults.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button bits in the message box's order, from bit 0.
enum TMsgDlgBtn : int {
  mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp
};
constexpr int kMsgDlgButtonCount = mbHelp + 1;
using TMsgDlgButtons = uint32_t;
constexpr TMsgDlgButtons MsgButton(TMsgDlgBtn b) { return TMsgDlgButtons(1) << b; }
constexpr TMsgDlgButtons mbYesNo = MsgButton(mbYes) | MsgButton(mbNo);
constexpr TMsgDlgButtons mbYesNoCancel = mbYesNo | MsgButton(mbCancel);
constexpr TMsgDlgButtons mbOKCancel = MsgButton(mbOK) | MsgButton(mbCancel);
constexpr TMsgDlgButtons mbOKOnly = MsgButton(mbOK);
constexpr TMsgDlgButtons mbAbortRetryIgnore = MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore);
