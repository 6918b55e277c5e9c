// Small helpers of the control library: keyboard and mouse state, numbers in text form, component
// names, the century, the wait cursor, and bitmaps and cursors of the library's resources.
#pragma once

#include <cstdint>

#include "platform/gdi/Bitmap.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"
#include "platform/classlib/ControlCursors.h"
#include "platform/classlib/Graphics.h"

// Ctrl 4, Shift 2, Alt 8, from the keyboard state of the last message taken.
uint8_t CurrentShiftBits();
// The virtual key of the primary mouse button: the right one when the buttons are swapped.
uint16_t PrimaryMouseButton();
// Sets a flag for the length of a scope and puts back what it was.
class TCtlFlagScope {
public:
  explicit TCtlFlagScope(bool& Flag) : FFlag(Flag), FOld(Flag) { Flag = true; }
  ~TCtlFlagScope() { FFlag = FOld; }
  TCtlFlagScope(const TCtlFlagScope&) = delete;
  TCtlFlagScope& operator=(const TCtlFlagScope&) = delete;

private:
  bool& FFlag;
  bool FOld;
};
// The wait cursor over a long step of a control on screen; the cursor before comes back on every way out.
class TCtlBusyCursor {
public:
  explicit TCtlBusyCursor(bool Shown);
  ~TCtlBusyCursor();
  TCtlBusyCursor(const TCtlBusyCursor&) = delete;
  TCtlBusyCursor& operator=(const TCtlBusyCursor&) = delete;

private:
  bool FOn;
  TCursor FBefore = crDefault;
};
inline int SmallerOf(int A, int B) { return A < B ? A : B; }
inline int LargerOf(int A, int B) { return A > B ? A : B; }
// This year rounded down to a multiple of 100.
int CenturyOfToday();
// Base followed by the first of 1, 2, 3 ... that no component of Owner is named; a Base that is not
// an identifier raises EComponentError.
AnsiString UniqueComponentName(const TComponent* Owner, const AnsiString& Base);
// A number in text form with decimal character D made into the form the number readers take.
AnsiString NormaliseNumberText(const AnsiString& S, char D);
// The offset from the top at which an entry field of the given height draws its text, for the
// system's 3-D window look.
int EntryTextTopMargin(const TFont& Font, bool Bordered, int Height, bool Ctl3D);
// A bitmap resource of the control library ("CTLMARKERS", "CTLTCCHECKGLYPHS"); EResNotFound when absent.
TGdiBitmap LoadBitmapFromLibrary(const AnsiString& Name);
// The handle of a cursor resource of the control library ("CTLLINECURSOR"); EResNotFound when absent.
int LoadCursorFromLibrary(const AnsiString& Name);

QUORVEX_EXCEPTION(EResNotFound, Exception);
