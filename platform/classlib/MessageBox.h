// The message box: a form of our own with the kind's icon, the text in lines and a row of
// buttons; Enter presses the default button, Escape the cancel one.
#pragma once

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/DialogConsts.h"

// Shows the box modally and returns the modal result of the button pressed. An empty caption
// takes the kind's name (or the application's title for a custom box); defaultButton is a
// TMsgDlgBtn, and one not offered leaves the first button the default.
TModalResult ShowMessageBox(const AnsiString& text, const AnsiString& caption, TMsgDlgType kind,
                            TMsgDlgButtons buttons, int defaultButton = mbOK, int helpContext = 0);

// Whether a box shown unasked can reach a user: a display that brings input does, and tests that
// answer the boxes themselves say so here. Without one, callers give their unattended answer.
bool MessageBoxesReachUser();
void SetMessageBoxesReachUser(bool on);

// The application's error display as a box: the error icon, the message and OK. False, showing
// nothing, when no user can be reached, when an error box is open already, or when it failed.
bool ShowErrorBox(const AnsiString& message, const AnsiString& title);
