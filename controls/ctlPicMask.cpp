#include "controls/ctlPicMask.h"

#include <algorithm>
#include <string_view>

#include "controls/ctlIntlSup.h"
#include "controls/ctlStrRes.h"

namespace {

constexpr std::string_view EditChars = "!#123456789ABDEHKLMNOSXYabdhilmnstxy";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlankOrHyphen(char c) { return c == ' ' || c == '-'; }
bool isSubst(char c) {
  const auto u = static_cast<uint8_t>(c);
  return u >= ctlFirstSubstChar && u <= ctlLastSubstChar;
}

}  // namespace

bool IsMaskEditChar(char M) { return M != 0 && EditChars.find(M) != std::string_view::npos; }

char ConvertMaskCase(char M, char Ch, char Prev, const TCtlUserData& User) {
  switch (M) {
    case '!': case 'A': case 'B': case 'E': case 'K': case 'N': case 'Y': return AnsiUpperChar(Ch);
    case 'L': case 'l': return AnsiLowerChar(Ch);
    case 'x': return isBlankOrHyphen(Prev) ? AnsiUpperChar(Ch) : Ch;
    default: break;
  }
  if (M >= '1' && M <= '8') {
    switch (User.ForceCase(M)) {
      case 1: return AnsiUpperChar(Ch);
      case 2: return AnsiLowerChar(Ch);
      case 3: return isBlankOrHyphen(Prev) ? AnsiUpperChar(Ch) : Ch;
      default: break;
    }
  }
  return Ch;
}

std::optional<char> AcceptMaskChar(char M, char Ch, char Prev, const TCtlMaskIntl& Intl, const TCtlUserData& User) {
  const char c = ConvertMaskCase(M, Ch, Prev, User);
  if (c == 0) return std::nullopt;
  const auto in = [c](std::string_view set) { return set.find(c) != std::string_view::npos; };
  bool ok = true;
  switch (M) {
    case 'A': case 'N': case 'a': case 'l': case 'n': ok = CtlLetterSet().test(uint8_t(c)); break;
    case '#': ok = isDigit(c) || in(" -."); break;
    case 'E': ok = isDigit(c) || in("+E -."); break;
    case 'i': ok = isDigit(c) || in("- "); break;
    case '9': case 'D': case 'H': case 'M': case 'S': case 'd': case 'h': case 'm': case 's': case 'y':
      ok = isDigit(c) || c == ' ';
      break;
    case 'K': ok = isDigit(c) || (c >= 'A' && c <= 'F') || c == ' '; break;
    case 'O': ok = (c >= '0' && c <= '7') || c == ' '; break;
    case 'b': ok = c == '0' || c == '1' || c == ' '; break;
    case 'B': ok = c == Intl.TrueChar || c == Intl.FalseChar; break;
    case 'Y': ok = c == Intl.YesChar || c == Intl.NoChar; break;
    default:
      if (M >= '1' && M <= '8') ok = User.UserCharSet(M).test(uint8_t(c));
      break;
  }
  if (!ok) return std::nullopt;
  return c;
}

TCtlPictureMask::TCtlPictureMask(const AnsiString& Mask, int MaxLength) {
  const std::string_view given = Mask.empty() ? std::string_view("X") : std::string_view(Mask);
  const auto length = std::size_t(std::clamp(MaxLength, 1, ctlMaxMaskLength));
  FMask.assign(length, given.back());
  std::copy_n(given.begin(), std::min(length, given.size()), FMask.begin());

  FNoLiterals = std::all_of(FMask.begin(), FMask.end(), IsMaskEditChar);
  FKinds.assign(FMask.size(), pkEdit);
  if (!FNoLiterals) {
    for (std::size_t i = 0; i < FMask.size(); ++i) {
      const char m = FMask[i];
      FKinds[i] = IsMaskEditChar(m) ? pkEdit : (m == '$' || m == ',') ? pkSemiLiteral : pkLiteral;
    }
  }
  FSemiLiterals = int(std::count(FKinds.begin(), FKinds.end(), pkSemiLiteral));
  for (int i = int(FKinds.size()) - 1; i >= 0; --i)
    if (FKinds[std::size_t(i)] != pkLiteral) {
      FLastEdit = i;
      break;
    }
  const auto dot = FMask.find('.');
  if (dot != AnsiString::npos && int(dot) <= FLastEdit) FDecimalPos = int(dot);
}

TCtlPosKind TCtlPictureMask::Kind(int Pos) const {
  return Pos >= 0 && Pos < MaxLength() ? FKinds[std::size_t(Pos)] : pkLiteral;
}

bool TCtlPictureMask::IsNumericMask() const {
  return FSemiLiterals > 0 || IsRadixMask() || HasChar('.') || HasChar('c') || HasChar('C');
}

bool TCtlPictureMask::IsRadixMask() const { return HasChar('K') || HasChar('O') || HasChar('b'); }

int TCtlPictureMask::DollarRun() const {
  const auto start = FMask.find('$');
  if (start == AnsiString::npos) return 0;
  const auto end = FMask.find_first_not_of('$', start);
  return int((end == AnsiString::npos ? FMask.size() : end) - start);
}

char TCtlPictureMask::AcceptChar(int Pos) const {
  if (IsSemiLiteral(Pos)) return FMask.back();
  return Pos >= 0 && Pos < MaxLength() ? FMask[std::size_t(Pos)] : char(0);
}

int TCtlPictureMask::FirstEditPos() const {
  for (int i = 0; i < MaxLength(); ++i)
    if (!IsLiteral(i)) return std::min(i + FSemiLiterals, std::max(FLastEdit, 0));
  return 0;
}

int TCtlPictureMask::EndOfText(const AnsiString& Text) const {
  for (int i = std::min(FLastEdit, int(Text.size()) - 1); i >= 0; --i)
    if (!IsLiteral(i) && Text[std::size_t(i)] != ' ') return i + 1;
  return FirstEditPos();
}

int TCtlPictureMask::EndPos(const AnsiString& Text) const {
  int p = EndOfText(Text);
  while (p < FLastEdit && IsLiteral(p)) ++p;
  return p;
}

int TCtlPictureMask::ClipCaret(int Pos) const {
  const int first = FirstEditPos();
  if (Pos < first) return first;
  if (Pos > FLastEdit) return FLastEdit + 1;
  while (Pos > first && IsLiteral(Pos)) --Pos;
  return IsLiteral(Pos) ? first : Pos;
}

int TCtlPictureMask::NextEditPos(int Pos) const {
  for (int i = Pos + 1; i <= FLastEdit; ++i)
    if (!IsLiteral(i)) return i;
  return FLastEdit + 1;
}

int TCtlPictureMask::PrevEditPos(int Pos) const {
  for (int i = std::min(Pos, MaxLength()) - 1; i >= 0; --i)
    if (!IsLiteral(i)) return i;
  return -1;
}

int TCtlPictureMask::RunStart(int Pos) const {
  while (Pos > 0 && !IsLiteral(Pos - 1)) --Pos;
  return Pos;
}

int TCtlPictureMask::RunEnd(int Pos) const {
  while (Pos < FLastEdit && !IsLiteral(Pos + 1)) ++Pos;
  return Pos;
}

bool TCtlPictureMask::IsEmpty(const AnsiString& Text) const {
  for (int i = 0; i < int(Text.size()) && i < MaxLength(); ++i)
    if (!IsLiteral(i) && Text[std::size_t(i)] != ' ') return false;
  return true;
}

AnsiString TCtlPictureMask::StripLiterals(const AnsiString& Text) const {
  AnsiString out;
  for (int i = 0; i < int(Text.size()); ++i)
    if (!IsLiteral(i) || i >= MaxLength()) out += Text[std::size_t(i)];
  return out;
}

AnsiString TCtlPictureMask::currencyFloat(const TCtlMaskIntl& intl) const {
  const std::size_t take = std::min(intl.CurrencyLeft.size(), std::size_t(DollarRun()));
  return intl.CurrencyLeft.substr(intl.CurrencyLeft.size() - take);
}

AnsiString TCtlPictureMask::StripForValue(const AnsiString& Text, const TCtlMaskIntl& Intl) const {
  if (int(Text.size()) != MaxLength()) return Text;
  AnsiString out;
  for (int i = 0; i < MaxLength(); ++i)
    if (!IsLiteral(i) || i == FDecimalPos) out += Text[std::size_t(i)];
  const AnsiString currency = currencyFloat(Intl);
  if (!currency.empty()) {
    const auto at = out.find(currency);
    if (at != AnsiString::npos) out.erase(at, currency.size());
  }
  if (HasChar(',') && Intl.ThousandsChar != 0) std::erase(out, Intl.ThousandsChar);
  if (Intl.DecimalChar != '.') std::replace(out.begin(), out.end(), Intl.DecimalChar, '.');
  return out;
}

char TCtlPictureMask::LiteralShown(int Pos, const TCtlMaskIntl& Intl, const TCtlUserData& User) const {
  const char m = FMask[std::size_t(Pos)];
  if (m == '.') return Intl.DecimalChar;
  if (isSubst(m)) return User.SubstChar(m);
  return m;
}

bool TCtlPictureMask::inReservation(int pos, int reserved) const {
  const auto start = FMask.find('$');
  return start != AnsiString::npos && pos < int(start) + reserved;
}

AnsiString TCtlPictureMask::overflow(AnsiString out) const {
  for (int i = 0; i < MaxLength(); ++i)
    if (!IsLiteral(i)) out[std::size_t(i)] = ctlOverflowChar;
  return out;
}

AnsiString TCtlPictureMask::Merge(const AnsiString& Value, const TCtlMaskIntl& Intl, TMergeOptions Options,
                                  const TCtlUserData& User) const {
  AnsiString out = FMask;
  // Currency fields: 'c' right-aligned with the left text, 'C' left-aligned with the right one.
  if (const auto c = FMask.find('c'); c != AnsiString::npos) {
    const auto end = std::min(FMask.find_first_not_of('c', c), FMask.size());
    const AnsiString& cur = Intl.CurrencyLeft;
    for (std::size_t i = end, k = cur.size(); i > c; --i) out[i - 1] = k > 0 ? cur[--k] : ' ';
  }
  if (const auto c = FMask.find('C'); c != AnsiString::npos) {
    const auto end = std::min(FMask.find_first_not_of('C', c), FMask.size());
    const AnsiString& cur = Intl.CurrencyRight;
    for (std::size_t i = c, k = 0; i < end; ++i, ++k) out[i] = k < cur.size() ? cur[k] : ' ';
  }
  return IsNumericMask() ? mergeNumeric(std::move(out), Value, Intl, User)
                         : mergePlain(std::move(out), Value, Intl, Options, User);
}

AnsiString TCtlPictureMask::mergeNumeric(AnsiString out, const AnsiString& value, const TCtlMaskIntl& intl,
                                         const TCtlUserData& user) const {
  AnsiString v = Trim(value);
  const bool negative = !v.empty() && v[0] == '-';
  if (negative) v.erase(0, 1);
  const auto point = v.find('.');
  const AnsiString whole = v.substr(0, point);
  const AnsiString fraction = point == AnsiString::npos ? AnsiString() : v.substr(point + 1);

  const int n = MaxLength();
  const auto showLiteral = [&](int i) {
    const char m = FMask[std::size_t(i)];
    if (m != 'c' && m != 'C') out[std::size_t(i)] = LiteralShown(i, intl, user);
  };
  if (FDecimalPos >= 0) {
    std::size_t k = 0;
    for (int i = FDecimalPos + 1; i < n; ++i) {
      if (IsLiteral(i)) showLiteral(i);
      else out[std::size_t(i)] = k < fraction.size() ? fraction[k++] : '0';
    }
  }

  const AnsiString currency = currencyFloat(intl);
  int digits = int(whole.size());
  int curLeft = int(currency.size());
  bool signDone = !negative;
  const bool radix = IsRadixMask();
  const auto noDigit = [&](int i) {
    if (curLeft > 0) out[std::size_t(i)] = currency[std::size_t(--curLeft)];
    else if (!signDone) out[std::size_t(i)] = '-', signDone = true;
    else out[std::size_t(i)] = radix ? '0' : ' ';
  };
  const int start = FDecimalPos >= 0 ? FDecimalPos : n;
  for (int i = start; i-- > 0;) {
    const char m = FMask[std::size_t(i)];
    if (IsLiteral(i)) {
      showLiteral(i);
    } else if (m == ',' && IsSemiLiteral(i)) {
      if (digits > 0) out[std::size_t(i)] = intl.ThousandsChar != 0 ? intl.ThousandsChar : ' ';
      else noDigit(i);
    } else if (digits > 0 && !inReservation(i, int(currency.size()))) {
      out[std::size_t(i)] = whole[std::size_t(--digits)];
    } else {
      noDigit(i);
    }
  }
  if (FDecimalPos >= 0) {
    out[std::size_t(FDecimalPos)] = intl.DecimalChar;
    const int units = FDecimalPos - 1;
    if (units >= 0 && !IsLiteral(units) && out[std::size_t(units)] == ' ') out[std::size_t(units)] = '0';
  }
  // A number must never show as another: what does not fit shows as overflow.
  if (digits > 0 || !signDone) return overflow(std::move(out));
  return out;
}

AnsiString TCtlPictureMask::mergePlain(AnsiString out, const AnsiString& value, const TCtlMaskIntl& intl,
                                       TMergeOptions options, const TCtlUserData& user) const {
  AnsiString v = value;
  if (options.FloatingPoint && int(v.size()) > MaxLength() && v.find('.') != AnsiString::npos) {
    const auto e = v.find_first_of("eE");
    const AnsiString exponent = e == AnsiString::npos ? AnsiString() : v.substr(e);
    v.erase(v.size() - exponent.size());
    while (v.size() > 1 && v.back() == '0') v.pop_back();
    v += exponent;
  }
  std::vector<int> slots;
  for (int i = 0; i < MaxLength(); ++i) {
    if (IsLiteral(i)) {
      if (FMask[std::size_t(i)] != 'c' && FMask[std::size_t(i)] != 'C') out[std::size_t(i)] = LiteralShown(i, intl, user);
    } else {
      slots.push_back(i);
      out[std::size_t(i)] = ' ';
    }
  }
  if (options.NumericValue && Trim(v).size() > slots.size()) return overflow(std::move(out));
  if (options.NumericValue && v.size() > slots.size()) v = Trim(v);
  const auto place = [&](int slot, char c) {
    if (options.FloatingPoint && c == '.') c = intl.DecimalChar;
    const int pos = slots[std::size_t(slot)];
    out[std::size_t(pos)] = ConvertMaskCase(FMask[std::size_t(pos)], c, 'a', user);
  };
  const std::size_t count = std::min(v.size(), slots.size());
  if (options.RightJustify) {
    for (std::size_t k = 0; k < count; ++k) place(int(slots.size() - 1 - k), v[v.size() - 1 - k]);
  } else {
    for (std::size_t k = 0; k < count; ++k) place(int(k), v[k]);
  }
  return out;
}

AnsiString TCtlPictureMask::FixIntegerPart(const AnsiString& Text) const {
  if (FDecimalPos < 0 || int(Text.size()) < MaxLength()) return Text;
  AnsiString out = Text;
  std::vector<int> slots;
  AnsiString chars;
  for (int i = 0; i < FDecimalPos; ++i)
    if (!IsLiteral(i)) {
      slots.push_back(i);
      if (out[std::size_t(i)] != ' ') chars += out[std::size_t(i)];
    }
  const std::size_t blanks = slots.size() - chars.size();
  for (std::size_t k = 0; k < slots.size(); ++k)
    out[std::size_t(slots[k])] = k < blanks ? ' ' : chars[k - blanks];
  if (!slots.empty() && slots.back() == FDecimalPos - 1 && out[std::size_t(slots.back())] == ' ')
    out[std::size_t(slots.back())] = '0';
  return out;
}

AnsiString TCtlPictureMask::FixFraction(const AnsiString& Text) const {
  if (FDecimalPos < 0 || int(Text.size()) < MaxLength()) return Text;
  AnsiString out = Text;
  std::vector<int> slots;
  AnsiString chars;
  for (int i = FDecimalPos + 1; i < MaxLength(); ++i)
    if (!IsLiteral(i)) {
      slots.push_back(i);
      if (out[std::size_t(i)] != ' ') chars += out[std::size_t(i)];
    }
  for (std::size_t k = 0; k < slots.size(); ++k) out[std::size_t(slots[k])] = k < chars.size() ? chars[k] : '0';
  return out;
}

AnsiString TCtlPictureMask::DecimalFixup(const AnsiString& Text) const { return FixFraction(FixIntegerPart(Text)); }

AnsiString TCtlPictureMask::ToEditForm(const AnsiString& Text, const TCtlMaskIntl& Intl) const {
  if (FSemiLiterals == 0 || int(Text.size()) != MaxLength()) return Text;
  const int end = FDecimalPos >= 0 ? FDecimalPos : MaxLength();
  std::vector<int> slots;
  AnsiString chars;
  for (int i = 0; i < end; ++i)
    if (!IsLiteral(i)) {
      slots.push_back(i);
      chars += Text[std::size_t(i)];
    }
  const AnsiString currency = currencyFloat(Intl);
  if (!currency.empty())
    if (const auto at = chars.find(currency); at != AnsiString::npos) chars.erase(at, currency.size());
  if (Intl.ThousandsChar != 0 && HasChar(',')) std::erase(chars, Intl.ThousandsChar);
  std::erase(chars, ' ');
  AnsiString out = Text;
  const std::size_t blanks = slots.size() - chars.size();
  for (std::size_t k = 0; k < slots.size(); ++k)
    out[std::size_t(slots[k])] = k < blanks ? ' ' : chars[k - blanks];
  return out;
}

AnsiString TCtlPictureMask::FromEditForm(const AnsiString& Text, const TCtlMaskIntl& Intl,
                                         TMergeOptions Options) const {
  return Merge(StripForValue(Text, Intl), Intl, Options);
}

bool TCtlPictureMask::Overflowed(const AnsiString& Text) const {
  for (int i = 0; i < int(Text.size()) && i < MaxLength(); ++i)
    if (!IsLiteral(i) && Text[std::size_t(i)] == ctlOverflowChar &&
        !AcceptMaskChar(AcceptChar(i), ctlOverflowChar, ' ', TCtlMaskIntl{}))
      return true;
  return false;
}

AnsiString TCtlPictureMask::Display(const AnsiString& Text, bool Password, char PadChar, char PasswordChar,
                                    int TypedEnd) const {
  AnsiString out = Text;
  Password = Password && PasswordChar != 0;
  if (!Password && PadChar == ' ') return out;
  // A blank typed into a password hides as well as a letter does: only the length shows.
  const int typed = Password ? std::max(IsEmpty(Text) ? 0 : EndOfText(Text), TypedEnd) : 0;
  for (int i = std::min(int(out.size()), MaxLength()); i-- > 0;) {
    if (IsLiteral(i)) continue;
    char& c = out[std::size_t(i)];
    if (i < typed || (Password && c != ' ')) c = PasswordChar;
    else if (c == ' ') c = PadChar;
  }
  return out;
}

TCtlMaskIntl MaskIntlOf(const TCtlIntlSup& Intl) {
  TCtlMaskIntl m;
  m.DecimalChar = Intl.DecimalChar();
  m.ThousandsChar = Intl.ThousandsChar();
  m.CurrencyLeft = Intl.CurrencyTextLeft();
  m.CurrencyRight = Intl.CurrencyTextRight();
  m.TrueChar = Intl.TrueChar();
  m.FalseChar = Intl.FalseChar();
  m.YesChar = Intl.YesChar();
  m.NoChar = Intl.NoChar();
  m.DateSeparator = Intl.DateSeparator();
  m.TimeSeparator = Intl.TimeSeparator();
  return m;
}
