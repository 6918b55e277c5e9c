// Kinds, buttons and modal results of the message box, shared by the dialogs and the forms.
#pragma once

#include <cstdint>

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

// Modal results keep the platform's numbers.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;
