// Where the parts of a message box go: the text split into lines at carriage returns and wrapped,
// the icon, and the row of buttons with the default and the cancel button.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/gdi/GdiTypes.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/DialogConsts.h"

// Measures one line of text in the box's font.
struct TTextMeasure {
  std::function<int(std::string_view)> Width;
  int LineHeight = 13;
};

struct TMessageButton {
  TMsgDlgBtn Button = mbOK;
  AnsiString Caption;
  TModalResult Result = mrNone;
  TRect Bounds;
};

struct TMessageLayout {
  std::vector<AnsiString> Lines;
  bool HasIcon = false;
  TRect IconBounds;
  TRect TextBounds;
  std::vector<TMessageButton> Buttons;  // in the box's order, left to right
  int DefaultIndex = -1;                // the button Enter presses
  int CancelIndex = -1;                 // the button Escape presses; -1 when Escape does nothing
  TSize ClientSize;
};

// Lines at CR LF, CR or LF; trailing empty lines are dropped.
std::vector<AnsiString> SplitMessageLines(std::string_view text);
// Breaks a line at blanks (inside a word too long for the width) so that no piece is wider.
std::vector<AnsiString> WrapMessageLine(const AnsiString& line, int maxWidth, const TTextMeasure& measure);
AnsiString MessageButtonCaption(TMsgDlgBtn b);
// The modal result a button gives; none for Help.
TModalResult MessageButtonResult(TMsgDlgBtn b);
AnsiString MessageKindCaption(TMsgDlgType kind);
// The default is defaultButton when offered, else the first offered. No buttons at all offer OK.
TMessageLayout LayoutMessageBox(const AnsiString& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                int defaultButton, const TTextMeasure& measure, int maxTextWidth);
