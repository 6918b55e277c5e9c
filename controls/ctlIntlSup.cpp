#include "controls/ctlIntlSup.h"

#include <memory>

#include "controls/ctlStrRes.h"
#include "platform/rtl/Regional.h"

namespace {

constexpr int idYesChar = 30368;
constexpr int idNoChar = 30369;
constexpr int idTrueChar = 30370;
constexpr int idFalseChar = 30371;
constexpr const char* literalMarkers = "fgh";

AnsiString capped(AnsiString s, int capacity) {
  if (static_cast<int>(s.size()) > capacity) s.resize(static_cast<std::size_t>(capacity));
  return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The first run of a field's letter, in either case.
struct TRun {
  std::size_t Start = AnsiString::npos;
  std::size_t Length = 0;
  bool Found() const { return Start != AnsiString::npos; }
};

TRun findRun(const AnsiString& picture, char letter) {
  TRun run;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    if (lower(picture[i]) != letter) continue;
    run.Start = i;
    while (i < picture.size() && lower(picture[i]) == letter) ++i;
    run.Length = i - run.Start;
    break;
  }
  return run;
}

// Writes a number into its run from the right end: a lower-case field pads with zeros, an upper-case
// one with spaces; the rightmost digits stay when the number is longer.
void mergeNumber(AnsiString& text, const AnsiString& picture, char letter, int value) {
  TRun run = findRun(picture, letter);
  if (!run.Found()) return;
  AnsiString digits = IntToStr(value < 0 ? 0 : value);
  char pad = isUpper(picture[run.Start]) ? ' ' : '0';
  for (std::size_t k = 0; k < run.Length; ++k) {
    std::size_t pos = run.Start + run.Length - 1 - k;
    text[pos] = k < digits.size() ? digits[digits.size() - 1 - k] : pad;
  }
}

void mergeName(AnsiString& text, const AnsiString& picture, char letter, AnsiString name) {
  TRun run = findRun(picture, letter);
  if (!run.Found()) return;
  if (isUpper(picture[run.Start])) name = AnsiUpperCase(name);
  for (std::size_t k = 0; k < run.Length; ++k) text[run.Start + k] = k < name.size() ? name[k] : ' ';
}

void blankField(AnsiString& text, const AnsiString& picture, char letter) {
  TRun run = findRun(picture, letter);
  if (run.Found()) text.replace(run.Start, run.Length, run.Length, ' ');
}

enum class TField { Missing, Blank, Bad, Value };

// The text under a field's run with its spaces removed, as a number.
TField extractNumber(const AnsiString& picture, const AnsiString& text, char letter, int& value) {
  TRun run = findRun(picture, letter);
  if (!run.Found()) return TField::Missing;
  AnsiString s;
  for (std::size_t k = 0; k < run.Length; ++k)
    if (text[run.Start + k] != ' ') s += text[run.Start + k];
  if (s.empty()) return TField::Blank;
  if (s.size() > 9 || s.find_first_not_of("0123456789") != AnsiString::npos) return TField::Bad;
  value = static_cast<int>(StrToIntDef(s, 0));
  return TField::Value;
}

TField extractMonthName(const AnsiString& picture, const AnsiString& text, int& month) {
  TRun run = findRun(picture, 'n');
  if (!run.Found()) return TField::Missing;
  AnsiString s;
  for (std::size_t k = 0; k < run.Length; ++k)
    if (text[run.Start + k] != ' ') s += text[run.Start + k];
  if (s.empty()) return TField::Blank;
  s = AnsiUpperCase(s);
  const auto& names = FormatSettings().LongMonthNames;
  for (std::size_t m = 0; m < names.size(); ++m) {
    AnsiString name = AnsiUpperCase(names[m]).substr(0, run.Length);
    if (name.compare(0, s.size(), s) == 0 && s.size() <= name.size()) {
      month = static_cast<int>(m) + 1;
      return TField::Value;
    }
  }
  return TField::Bad;
}

// A missing field takes its default, a blank one -1, a bad one -1.
int fieldValue(TField f, int value, int def) {
  switch (f) {
    case TField::Missing: return def;
    case TField::Value: return value;
    default: return -1;
  }
}

void replaceChar(AnsiString& text, const AnsiString& picture, char from, char to) {
  for (std::size_t i = 0; i < picture.size(); ++i)
    if (picture[i] == from) text[i] = to;
}

// Drops the blanks of space-padded fields (and of the AM/PM field with the space before it).
AnsiString packText(const AnsiString& picture, const AnsiString& text) {
  static const AnsiString dropped = "DHMNSWnw";
  AnsiString out;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    char p = picture[i];
    if (text[i] == ' ' && dropped.find(p) != AnsiString::npos) continue;
    if (p == 't' && text[i] == ' ') {
      if (i > 0 && picture[i - 1] == ' ' && !out.empty()) out.pop_back();
      continue;
    }
    out += text[i];
  }
  return out;
}

AnsiString firstChar(const AnsiString& key, char def) {
  AnsiString v = GetProfileString("intl", key, AnsiString(1, def));
  return v.empty() ? AnsiString(1, def) : v.substr(0, 1);
}

// The run of a field's letter that starts with three of them, from its first such place.
void replaceNameRun(AnsiString& picture, char from, char to) {
  std::size_t at = picture.find(AnsiString(3, from));
  if (at == AnsiString::npos) return;
  while (at < picture.size() && picture[at] == from) picture[at++] = to;
}

// A one-character text of the string table, else the default.
char tableChar(int id, char def) {
  AnsiString s = CtlStringById(id);
  return s.size() == 1 ? s[0] : def;
}

std::unique_ptr<TCtlIntlSup>& instance() {
  static std::unique_ptr<TCtlIntlSup> p;
  return p;
}

}  // namespace

AnsiString CtlLongDatePicture(const AnsiString& Setting, TCtlLiteralSlots& Slots) {
  AnsiString pic = capped(Setting, ctlLongDateCapacity);
  // Quoted literals move to the slots, a run of markers as long as the kept text in their place.
  for (std::size_t slot = 0; slot < Slots.size(); ++slot) {
    AnsiString& kept = Slots[slot];
    kept.clear();
    std::size_t open = pic.find('\'');
    if (open == AnsiString::npos) continue;
    std::size_t close = pic.find('\'', open + 1);
    std::size_t end = close == AnsiString::npos ? pic.size() : close;
    kept = capped(pic.substr(open + 1, end - open - 1), ctlLiteralSlotCapacity);
    std::size_t removed = end - open + (close == AnsiString::npos ? 0 : 1);
    pic.replace(open, removed, AnsiString(kept.size(), literalMarkers[slot]));
  }
  replaceNameRun(pic, 'd', 'w');
  replaceNameRun(pic, 'M', 'n');
  for (std::size_t i = 0; i < pic.size(); ++i) {
    char c = pic[i];
    if ((c == ',' || c == '.') && (i + 1 >= pic.size() || pic[i + 1] != ' ')) pic.insert(i + 1, 1, ' ');
  }
  return capped(pic, ctlLongDateCapacity);
}

TCtlIntlSup::TCtlIntlSup() { LoadRegionalSettings(); }

void TCtlIntlSup::LoadRegionalSettings() {
  // 1. Decimal and thousands characters, which must differ.
  FDecimalChar = firstChar("sDecimal", '.')[0];
  FThousandsChar = firstChar("sThousand", ',')[0];
  if (FDecimalChar == FThousandsChar) {
    FDecimalChar = '.';
    FThousandsChar = ',';
  }
  // 2. Currency digits, negative currency format and list character.
  FCurrencyDigits = GetProfileInt("intl", "iCurrDigits", 2);
  FNegCurrencyFormat = GetProfileInt("intl", "iNegCurr", 0);
  FListChar = firstChar("sList", ',')[0];
  // 3. Country.
  FCountry = capped(GetProfileString("intl", "sCountry", ""), ctlCountryCapacity);
  // 4. Currency texts and position.
  AnsiString currency = GetProfileString("intl", "sCurrency", "$");
  FCurrencyLeft = FCurrencyRight = currency;
  FCurrencyPosition = GetProfileInt("intl", "iCurrency", 0);
  if (FCurrencyPosition == 2) FCurrencyLeft += ' ';
  if (FCurrencyPosition == 3) FCurrencyRight.insert(0, 1, ' ');
  FCurrencyLeft = capped(FCurrencyLeft, ctlCurrencyTextCapacity);
  FCurrencyRight = capped(FCurrencyRight, ctlCurrencyTextCapacity);
  // 5. Leading zero and twelve-hour clock.
  FLeadingZero = GetProfileInt("intl", "iTLZero", 0) != 0;
  const AnsiString& longTime = FormatSettings().LongTimeFormat;
  FTwelveHour = !longTime.empty() && longTime.back() == 'M';
  // 6. Separators.
  FTimeSeparator = firstChar("sTTime", ':')[0];
  FDateSeparator = firstChar("sDate", '/')[0];
  // 7. AM and PM texts.
  FAMText = capped(GetProfileString("intl", "s1159", "AM"), ctlAmPmTextCapacity);
  FPMText = capped(GetProfileString("intl", "s2359", "PM"), ctlAmPmTextCapacity);
  // 8. Short date picture, registry first.
  AnsiString shortDate;
  if (!GetUserRegistryString("Control Panel\\International", "sShortDate", shortDate))
    shortDate = GetProfileString("intl", "sShortDate", "MM/dd/yy");
  for (char& c : shortDate)
    if (c == FDateSeparator) c = '/';
  FShortDatePicture = capped(shortDate, ctlShortDateCapacity);
  // 9. to 12. Long date picture.
  FLongDatePicture = CtlLongDatePicture(GetProfileString("intl", "sLongDate", "dddd, MMMM dd, yyyy"), FLiteralSlots);
  replaceNameRun(FShortDatePicture, 'M', 'n');
  // 13. Yes, No, True and False characters.
  FYesChar = tableChar(idYesChar, 'Y');
  FNoChar = tableChar(idNoChar, 'N');
  FTrueChar = tableChar(idTrueChar, 'T');
  FFalseChar = tableChar(idFalseChar, 'F');
}

AnsiString TCtlIntlSup::IntlTimeMask(bool ShowSeconds) const {
  AnsiString mask = "hh:mm:ss";
  if (!FLeadingZero) mask[0] = 'H';
  if (!ShowSeconds) mask.resize(5);
  if (FTwelveHour) {
    std::size_t n = FAMText.size() > FPMText.size() ? FAMText.size() : FPMText.size();
    mask += ' ';
    mask += AnsiString(n, 't');
  }
  return mask;
}

AnsiString TCtlIntlSup::IntlDateMask(bool ForceCentury) const {
  AnsiString mask = FShortDatePicture;
  for (char letter : {'d', 'm'}) {
    TRun run = findRun(mask, letter);
    if (!run.Found()) continue;
    char c = mask[run.Start];
    bool oneLower = run.Length == 1 && !isUpper(c);
    bool twoUpper = run.Length == 2 && isUpper(c);
    std::size_t width = run.Length < 2 ? 2 : run.Length;
    char now = oneLower ? static_cast<char>(c - 32) : twoUpper ? lower(c) : c;
    mask.replace(run.Start, run.Length, AnsiString(width, now));
  }
  TRun year = findRun(mask, 'y');
  if (year.Found()) {
    std::size_t width = ForceCentury ? 4 : 2;
    if (year.Length < width) mask.replace(year.Start, year.Length, AnsiString(width, 'y'));
  }
  return mask;
}

bool TCtlIntlSup::DMYFromDateText(const AnsiString& Picture, const AnsiString& Text, int Epoch, int& Day,
                                  int& Month, int& Year) const {
  Day = Month = Year = -1;
  if (Picture.size() != Text.size() || Picture.size() > ctlPictureCapacity) return false;
  int v = 0;
  TField name = extractMonthName(Picture, Text, v);
  if (name != TField::Missing) {
    Month = fieldValue(name, v, DefaultMonth());
  } else {
    TField f = extractNumber(Picture, Text, 'm', v);
    Month = fieldValue(f, v, DefaultMonth());
  }
  TField f = extractNumber(Picture, Text, 'd', v);
  Day = fieldValue(f, v, 1);
  f = extractNumber(Picture, Text, 'y', v);
  Year = fieldValue(f, v, DefaultYear());
  if (Year >= 0) Year = ResolveEpoch(Year, Epoch);
  return IsValidDate(Day, Month, Year, Epoch);
}

TCtlDate TCtlIntlSup::DateFromDateText(const AnsiString& Picture, const AnsiString& Text, int Epoch) const {
  int d, m, y;
  if (!DMYFromDateText(Picture, Text, Epoch, d, m, y)) return NoDate;
  return DateFromDMY(d, m, y, Epoch);
}

bool TCtlIntlSup::DateTextIsBlank(const AnsiString& Picture, const AnsiString& Text) const {
  if (Picture.size() != Text.size()) return false;
  int v = 0;
  TField month = extractMonthName(Picture, Text, v);
  if (month == TField::Missing) month = extractNumber(Picture, Text, 'm', v);
  return month == TField::Blank && extractNumber(Picture, Text, 'd', v) == TField::Blank &&
         extractNumber(Picture, Text, 'y', v) == TField::Blank;
}

void TCtlIntlSup::fillLiterals(AnsiString& text, const AnsiString& picture) const {
  for (int slot = 0; slot < 3; ++slot) {
    TRun run = findRun(picture, literalMarkers[slot]);
    if (!run.Found()) continue;
    const AnsiString& kept = FLiteralSlots[static_cast<std::size_t>(slot)];
    for (std::size_t k = 0; k < run.Length; ++k) text[run.Start + k] = k < kept.size() ? kept[k] : ' ';
  }
  replaceChar(text, picture, '/', FDateSeparator);
}

AnsiString TCtlIntlSup::DateTextFromDate(const AnsiString& Picture, TCtlDate Date, bool Pack) const {
  static const TCtlDate lastBlankDay = DateFromDMY(30, 12, 1899, 0);
  if (Date == NoDate || Date <= lastBlankDay) {
    AnsiString pic = capped(Picture, ctlPictureCapacity);
    AnsiString text = pic;
    for (std::size_t i = 0; i < pic.size(); ++i)
      if (AnsiString("mndyw").find(lower(pic[i])) != AnsiString::npos) text[i] = ' ';
    fillLiterals(text, pic);
    return text;
  }
  int d, m, y;
  DMYFromDate(Date, d, m, y);
  return DateTextFromDMY(Picture, d, m, y, 0, Pack);
}

AnsiString TCtlIntlSup::DateTextFromDMY(const AnsiString& Picture, int Day, int Month, int Year, int Epoch,
                                        bool Pack) const {
  AnsiString pic = capped(Picture, ctlPictureCapacity);
  AnsiString text = pic;
  if (Year < 100) Year = ResolveEpoch(Year, Epoch);
  const TFormatSettings& fs = FormatSettings();
  mergeNumber(text, pic, 'm', Month);
  mergeNumber(text, pic, 'd', Day);
  mergeNumber(text, pic, 'y', Year);
  mergeName(text, pic, 'n', Month >= 1 && Month <= 12 ? fs.LongMonthNames[static_cast<std::size_t>(Month - 1)] : "");
  int weekday = WeekdayOfDMY(Day, Month, Year, Epoch);
  mergeName(text, pic, 'w', weekday <= 6 ? fs.LongDayNames[static_cast<std::size_t>(weekday)] : "");
  fillLiterals(text, pic);
  return Pack ? packText(pic, text) : text;
}

bool TCtlIntlSup::HMSFromTimeText(const AnsiString& Picture, const AnsiString& Text, int& Hours, int& Minutes,
                                  int& Seconds) const {
  Hours = Minutes = Seconds = 0;
  if (Picture.size() != Text.size() || Picture.size() > ctlPictureCapacity) return false;
  int v = 0;
  for (auto [letter, out] : {std::pair<char, int*>{'h', &Hours}, {'m', &Minutes}, {'s', &Seconds}}) {
    TField f = extractNumber(Picture, Text, letter, v);
    if (f == TField::Blank || f == TField::Bad) return false;
    *out = f == TField::Value ? v : 0;
  }
  TRun t = findRun(Picture, 't');
  if (t.Found() && !FAMText.empty() && !FPMText.empty()) {
    AnsiString s = Text.substr(t.Start, t.Length);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.empty()) return false;
    if (SameText(s, FPMText.substr(0, t.Length))) {
      if (Hours > 12) return false;
      if (Hours < 12) Hours += 12;
    } else if (SameText(s, FAMText.substr(0, t.Length))) {
      if (Hours == 0 || Hours > 12) return false;
      if (Hours == 12) Hours = 0;
    } else {
      return false;
    }
  }
  return IsValidTime(Hours, Minutes, Seconds);
}

TCtlTime TCtlIntlSup::TimeFromTimeText(const AnsiString& Picture, const AnsiString& Text) const {
  int h, m, s;
  if (!HMSFromTimeText(Picture, Text, h, m, s)) return NoTime;
  return TimeFromHMS(h, m, s);
}

AnsiString TCtlIntlSup::TimeTextFromTime(const AnsiString& Picture, TCtlTime Time, bool Pack) const {
  AnsiString pic = capped(Picture, ctlPictureCapacity);
  AnsiString text = pic;
  int h, m, s;
  HMSFromTime(Time, h, m, s);
  TRun t = findRun(pic, 't');
  const AnsiString& ampm = h < 12 ? FAMText : FPMText;
  if (t.Found() && !FAMText.empty() && !FPMText.empty()) {
    if (h == 0) h = 12;
    else if (h > 12) h -= 12;
  }
  if (Time == NoTime) {
    for (char letter : {'h', 'm', 's'}) blankField(text, pic, letter);
  } else {
    mergeNumber(text, pic, 'h', h);
    mergeNumber(text, pic, 'm', m);
    mergeNumber(text, pic, 's', s);
  }
  replaceChar(text, pic, ':', FTimeSeparator);
  if (t.Found()) {
    bool blank = (FAMText.empty() && FPMText.empty()) || (Time == NoTime && FAMText.empty());
    for (std::size_t k = 0; k < t.Length; ++k)
      text[t.Start + k] = !blank && k < ampm.size() ? ampm[k] : ' ';
  }
  return Pack && Time != NoTime ? packText(pic, text) : text;
}

namespace {

AnsiString fromBuffer(const char* s) {
  AnsiString text = s ? s : "";
  return capped(text, ctlPictureCapacity);
}

char* toBuffer(char* dest, const AnsiString& s) {
  std::size_t n = s.size() < std::size_t(ctlPictureCapacity) ? s.size() : std::size_t(ctlPictureCapacity);
  s.copy(dest, n);
  dest[n] = '\0';
  return dest;
}

}  // namespace

char* TCtlIntlSup::IntlTimeMask(char* Dest, bool ShowSeconds) const { return toBuffer(Dest, IntlTimeMask(ShowSeconds)); }
char* TCtlIntlSup::IntlDateMask(char* Dest, bool ForceCentury) const { return toBuffer(Dest, IntlDateMask(ForceCentury)); }

TCtlDate TCtlIntlSup::DateFromDateText(const char* Picture, const char* Text, int Epoch) const {
  return DateFromDateText(fromBuffer(Picture), fromBuffer(Text), Epoch);
}

bool TCtlIntlSup::DMYFromDateText(const char* Picture, const char* Text, int Epoch, int& Day, int& Month,
                                  int& Year) const {
  return DMYFromDateText(fromBuffer(Picture), fromBuffer(Text), Epoch, Day, Month, Year);
}

bool TCtlIntlSup::DateTextIsBlank(const char* Picture, const char* Text) const {
  return DateTextIsBlank(fromBuffer(Picture), fromBuffer(Text));
}

char* TCtlIntlSup::DateTextFromDate(char* Dest, const char* Picture, TCtlDate Date, bool Pack) const {
  return toBuffer(Dest, DateTextFromDate(fromBuffer(Picture), Date, Pack));
}

char* TCtlIntlSup::DateTextFromDMY(char* Dest, const char* Picture, int Day, int Month, int Year, int Epoch,
                                   bool Pack) const {
  return toBuffer(Dest, DateTextFromDMY(fromBuffer(Picture), Day, Month, Year, Epoch, Pack));
}

TCtlTime TCtlIntlSup::TimeFromTimeText(const char* Picture, const char* Text) const {
  return TimeFromTimeText(fromBuffer(Picture), fromBuffer(Text));
}

bool TCtlIntlSup::HMSFromTimeText(const char* Picture, const char* Text, int& Hours, int& Minutes,
                                  int& Seconds) const {
  return HMSFromTimeText(fromBuffer(Picture), fromBuffer(Text), Hours, Minutes, Seconds);
}

char* TCtlIntlSup::TimeTextFromTime(char* Dest, const char* Picture, TCtlTime Time, bool Pack) const {
  return toBuffer(Dest, TimeTextFromTime(fromBuffer(Picture), Time, Pack));
}

TCtlIntlSup& CtlIntlSup() {
  if (!instance()) instance() = std::make_unique<TCtlIntlSup>();
  return *instance();
}

void CtlIntlSupStartup() { instance() = std::make_unique<TCtlIntlSup>(); }
void CtlIntlSupShutdown() { instance().reset(); }
