#include "controls/ctlHelpers.h"

#include <algorithm>
#include <cctype>

#include "platform/classlib/Forms.h"
#include "platform/gdi/BmpFile.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Cursors.h"
#include "platform/win/Input.h"
#include "platform/win/VirtualKeys.h"
#include "controls/ctlCommand.h"

namespace {

AnsiString TrimSpaces(const AnsiString& s) {
  std::size_t a = s.find_first_not_of(' ');
  if (a == AnsiString::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

bool IsIdent(const AnsiString& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_')) return false;
  return true;
}

}  // namespace

uint8_t CurrentShiftBits() {
  return CtlShiftState(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0);
}

uint16_t PrimaryMouseButton() { return GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON; }

int CenturyOfToday() {
  int year = 0, month = 0, day = 0;
  DecodeDate(Now(), year, month, day);
  return year / 100 * 100;
}

AnsiString UniqueComponentName(const TComponent* Owner, const AnsiString& Base) {
  if (!IsIdent(Base)) throw EComponentError("''%s'' is not a valid component name", {Base});
  for (int n = 1;; ++n) {
    AnsiString name = Base + IntToStr(n);
    if (!Owner || !Owner->FindComponent(name)) return name;
  }
}

AnsiString NormaliseNumberText(const AnsiString& S, char D) {
  AnsiString s = TrimSpaces(S);
  if (s.empty()) s = "0";
  if (s.back() == D) s = TrimSpaces(s.substr(0, s.size() - 1));
  if (s.empty()) s = "0";
  // A decimal character in the first place is left as it stands.
  std::size_t point = s.find(D);
  if (point != AnsiString::npos && point > 0) s[point] = '.';
  else point = s.find('.');
  const bool hadPoint = point != AnsiString::npos;
  if (hadPoint) {
    if (point == s.size() - 1) {
      s += '0';
    } else if (point == 0) {
      s.insert(0, "0");
      point = 1;
    } else if (s[0] == '-' && point == 1) {
      s.insert(1, "0");
      point = 2;
    }
  }
  std::size_t e = s.find('E');
  if (e != AnsiString::npos && e > 0) {
    std::size_t p = point;
    if (!hadPoint) {
      s.insert(e, ".");
      p = e;
      ++e;
    }
    if (e - p < 12) s.insert(e, "00000");
  }
  if (hadPoint) {
    std::size_t after = point + 1;
    while (after < s.size() && s[after] == ' ') s.erase(after, 1);
    while (point > 0 && s[point - 1] == ' ') {
      s.erase(point - 1, 1);
      --point;
    }
  }
  return s;
}

TGdiBitmap LoadBitmapFromLibrary(const AnsiString& Name) {
  const TResource* r = FindResource("BITMAP", Name);
  if (!r) throw EResNotFound("Resource %s not found", {Name});
  TMemoryStream stream;
  stream.Write(r->Data, static_cast<int64_t>(r->Size));
  stream.SetPosition(0);
  return ReadBmp(stream);
}

int LoadCursorFromLibrary(const AnsiString& Name) {
  const int cursor = LoadCursor(0, Name);
  if (!cursor) throw EResNotFound("Resource %s not found", {Name});
  return cursor;
}

int EntryTextTopMargin(const TFont& Font, bool Bordered, int Height, bool Ctl3D) {
  const TFont screenDefault;
  const int h = std::min(GetFontFace(screenDefault.Handle()).Metrics().Height,
                         GetFontFace(Font.Handle()).Metrics().Height);
  const int odd = (Height - h) & 1;
  if (!Bordered) return Height - 2 <= h ? (Height - h - 2) / 2 - odd : 0;
  if (Height - 4 > h) return 1;
  return (Height - h - 4) / 2 - (Ctl3D ? 1 : odd);
}

TCtlBusyCursor::TCtlBusyCursor(bool Shown) : FOn(Shown && Screen().Cursor() != crHourGlass) {
  if (!FOn) return;
  FBefore = Screen().Cursor();
  Screen().SetCursor(crHourGlass);
}

TCtlBusyCursor::~TCtlBusyCursor() {
  if (FOn) Screen().SetCursor(FBefore);
}
