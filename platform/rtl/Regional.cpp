#include "platform/rtl/Regional.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <map>

namespace {

using TProfile = std::map<AnsiString, AnsiString>;  // upper-case key -> value

TProfile usDefaults() {
  return {{"SDECIMAL", "."},       {"STHOUSAND", ","},       {"SCURRENCY", "$"},      {"ICURRENCY", "0"},
          {"ICURRDIGITS", "2"},    {"INEGCURR", "0"},        {"SDATE", "/"},          {"STIME", ":"},
          {"SSHORTDATE", "M/d/yyyy"}, {"SLONGDATE", "dddd, MMMM dd, yyyy"},       {"S1159", "AM"},
          {"S2359", "PM"},         {"IDATE", "0"},           {"ITIME", "0"},          {"ITLZERO", "0"},
          {"ICOUNTRY", "1"},       {"SCOUNTRY", "United States"},                   {"IMEASURE", "1"},
          {"SLIST", ","},          {"ILZERO", "1"},          {"IDIGITS", "2"},        {"INEGNUMBER", "1"},
          {"SPOSITIVESIGN", ""},   {"SNEGATIVESIGN", "-"},   {"STIMEFORMAT", "h:mm:ss tt"}};
}

TProfile& profile() {
  static TProfile p = usDefaults();
  return p;
}

// A separator from the locale as one code-page character; the various spaces become a hard space.
AnsiString separator(const char* utf8) {
  AnsiString s = Utf8ToAnsi(utf8 ? utf8 : "");
  if (s == "?") s = "\xA0";
  return s;
}

// Expands the composite conversions of a strftime picture.
AnsiString expand(const AnsiString& f) {
  AnsiString out;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      out += f[i];
      continue;
    }
    char c = f[++i];
    while ((c == '-' || c == '_' || c == '0' || c == 'E' || c == 'O') && i + 1 < f.size()) c = f[++i];
    switch (c) {
      case 'T': out += "%H:%M:%S"; break;
      case 'R': out += "%H:%M"; break;
      case 'D': out += "%m/%d/%y"; break;
      case 'F': out += "%Y-%m-%d"; break;
      case 'r': out += "%I:%M:%S %p"; break;
      default: out += '%'; out += c;
    }
  }
  return out;
}

// A strftime picture as the platform's picture ("%d.%m.%Y" -> "dd.MM.yyyy").
AnsiString picture(const AnsiString& f) {
  AnsiString out;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      out += f[i];
      continue;
    }
    switch (f[++i]) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "MM"; break;
      case 'y': out += "yy"; break;
      case 'Y': out += "yyyy"; break;
      case 'b': case 'h': out += "MMM"; break;
      case 'B': out += "MMMM"; break;
      case 'a': out += "ddd"; break;
      case 'A': out += "dddd"; break;
      case 'H': out += "HH"; break;
      case 'k': out += "H"; break;
      case 'I': out += "hh"; break;
      case 'l': out += "h"; break;
      case 'M': out += "mm"; break;
      case 'S': out += "ss"; break;
      case 'p': case 'P': out += "tt"; break;
      case '%': out += '%'; break;
      default: break;
    }
  }
  return out;
}

// The first character between two fields of a picture.
AnsiString firstSeparator(const AnsiString& pic, const char* fallback) {
  std::size_t i = pic.find_first_not_of("dMyHhmst");
  if (i == AnsiString::npos || i == 0) return fallback;
  return AnsiString(1, pic[i]);
}

// iDate: 0 month-day-year, 1 day-month-year, 2 year-month-day.
int dateOrder(const AnsiString& pic) {
  auto d = pic.find('d'), m = pic.find('M'), y = pic.find('y');
  if (y < m && y < d) return 2;
  if (d < m) return 1;
  return 0;
}

// iNegCurr from the C library's precedes, space and sign position.
int negCurrFormat(bool precedes, bool space, int signPos) {
  static const int codes[5][4] = {
      // {precedes no space, follows no space, precedes space, follows space}
      {0, 4, 14, 15},  // in parentheses
      {1, 5, 9, 8},    // sign before all
      {3, 7, 11, 10},  // sign after all
      {1, 6, 9, 13},   // sign just before the symbol
      {2, 7, 12, 10},  // sign just after the symbol
  };
  if (signPos < 0 || signPos > 4) signPos = 1;
  return codes[signPos][(precedes ? 0 : 1) + (space ? 2 : 0)];
}

int flag(char v, int def) { return v == CHAR_MAX ? def : v; }

TProfile readLocale(locale_t loc, TFormatSettings& fs) {
  TProfile p = usDefaults();
  auto info = [&](nl_item item) { return AnsiString(nl_langinfo_l(item, loc)); };
  auto ansi = [&](nl_item item) { return Utf8ToAnsi(info(item)); };

  locale_t old = uselocale(loc);
  lconv lc = *localeconv();
  AnsiString currency = Utf8ToAnsi(lc.currency_symbol ? lc.currency_symbol : "");
  AnsiString posSign = lc.positive_sign ? lc.positive_sign : "";
  AnsiString negSign = lc.negative_sign && *lc.negative_sign ? lc.negative_sign : "-";
  int fracDigits = flag(lc.frac_digits, 2);
  bool pPrec = flag(lc.p_cs_precedes, 1) != 0, pSpace = flag(lc.p_sep_by_space, 0) != 0;
  bool nPrec = flag(lc.n_cs_precedes, 1) != 0, nSpace = flag(lc.n_sep_by_space, 0) != 0;
  int nSign = flag(lc.n_sign_posn, 1);
  uselocale(old);

  AnsiString decimal = separator(nl_langinfo_l(RADIXCHAR, loc));
  AnsiString thousand = separator(nl_langinfo_l(THOUSEP, loc));
  if (decimal.empty()) decimal = ".";
  p["SDECIMAL"] = decimal;
  p["STHOUSAND"] = thousand;
  p["SCURRENCY"] = currency;
  p["ICURRDIGITS"] = IntToStr(fracDigits);
  p["ICURRENCY"] = IntToStr((pPrec ? 0 : 1) + (pSpace ? 2 : 0));
  p["INEGCURR"] = IntToStr(negCurrFormat(nPrec, nSpace, nSign));
  p["SPOSITIVESIGN"] = posSign;
  p["SNEGATIVESIGN"] = negSign;
  p["SLIST"] = decimal == "," ? ";" : ",";

  AnsiString dateFmt = expand(info(D_FMT));
  AnsiString shortDate = picture(dateFmt);
  if (shortDate.find('d') == AnsiString::npos || shortDate.find('M') == AnsiString::npos) shortDate = "M/d/yyyy";
  AnsiString dateSep = firstSeparator(shortDate, "/");
  int order = dateOrder(shortDate);
  p["SSHORTDATE"] = shortDate;
  p["SDATE"] = dateSep;
  p["IDATE"] = IntToStr(order);
  p["SLONGDATE"] = order == 0   ? "dddd, MMMM dd, yyyy"
                   : order == 1 ? (dateSep == "." ? "dddd, d. MMMM yyyy" : "dddd, d MMMM yyyy")
                                : "yyyy MMMM d, dddd";

  AnsiString timeFmt = expand(info(T_FMT));
  bool twelve = timeFmt.find("%I") != AnsiString::npos || timeFmt.find("%l") != AnsiString::npos;
  bool lead = timeFmt.find("%H") != AnsiString::npos || timeFmt.find("%I") != AnsiString::npos;
  AnsiString timePic = picture(timeFmt);
  p["STIME"] = firstSeparator(timePic, ":");
  p["ITIME"] = twelve ? "0" : "1";
  p["ITLZERO"] = lead ? "1" : "0";
  p["S1159"] = ansi(AM_STR);
  p["S2359"] = ansi(PM_STR);
  p["STIMEFORMAT"] = timePic.empty() ? "HH:mm:ss" : timePic;

  p["SCOUNTRY"] = ansi(_NL_IDENTIFICATION_TERRITORY);
  AnsiString phone = info(_NL_TELEPHONE_INT_PREFIX);
  if (!phone.empty()) p["ICOUNTRY"] = phone;
  const char* measure = nl_langinfo_l(_NL_MEASUREMENT_MEASUREMENT, loc);
  p["IMEASURE"] = measure && measure[0] == 2 ? "1" : "0";

  fs = TFormatSettings{};
  for (int m = 0; m < 12; ++m) {
    fs.ShortMonthNames[static_cast<std::size_t>(m)] = ansi(ABMON_1 + m);
    fs.LongMonthNames[static_cast<std::size_t>(m)] = ansi(MON_1 + m);
  }
  for (int d = 0; d < 7; ++d) {
    fs.ShortDayNames[static_cast<std::size_t>(d)] = ansi(ABDAY_1 + d);
    fs.LongDayNames[static_cast<std::size_t>(d)] = ansi(DAY_1 + d);
  }
  return p;
}

// The run-time's format variables from the profile, as the run-time fills them at start.
void fillFormatSettings(const TProfile& p, TFormatSettings& fs) {
  auto str = [&](const char* k) { return p.at(k); };
  auto num = [&](const char* k) { return static_cast<int>(StrToIntDef(p.at(k), 0)); };
  auto ch = [&](const char* k, char def) { return p.at(k).empty() ? def : p.at(k)[0]; };
  fs.DecimalSeparator = ch("SDECIMAL", '.');
  fs.ThousandSeparator = p.at("STHOUSAND").empty() ? '\0' : p.at("STHOUSAND")[0];
  fs.CurrencyString = str("SCURRENCY");
  fs.CurrencyFormat = num("ICURRENCY");
  fs.NegCurrFormat = num("INEGCURR");
  fs.CurrencyDecimals = num("ICURRDIGITS");
  fs.DateSeparator = ch("SDATE", '/');
  fs.TimeSeparator = ch("STIME", ':');
  fs.ListSeparator = ch("SLIST", ',');
  fs.ShortDateFormat = str("SSHORTDATE");
  fs.LongDateFormat = str("SLONGDATE");
  fs.TimeAMString = str("S1159");
  fs.TimePMString = str("S2359");
  AnsiString hour = num("ITLZERO") ? "hh" : "h";
  AnsiString suffix = num("ITIME") == 0 ? " AMPM" : "";
  fs.ShortTimeFormat = hour + ":mm" + suffix;
  fs.LongTimeFormat = hour + ":mm:ss" + suffix;
}

}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings s;
  return s;
}

bool LoadRegionalSettings(const char* localeName) {
  locale_t loc = newlocale(LC_ALL_MASK, localeName ? localeName : "", nullptr);
  if (!loc) return false;
  TFormatSettings fs;
  AnsiString name = nl_langinfo_l(_NL_IDENTIFICATION_TERRITORY, loc);
  const char* codeset = nl_langinfo_l(CODESET, loc);
  // The C and POSIX locales carry no territory: they answer the United States defaults.
  bool plain = name.empty() || AnsiString(codeset) == "ANSI_X3.4-1968";
  TProfile p = plain ? usDefaults() : readLocale(loc, fs);
  freelocale(loc);
  fillFormatSettings(p, fs);
  profile() = std::move(p);
  FormatSettings() = fs;
  return true;
}

AnsiString GetProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& def) {
  if (!SameText(section, "intl")) return def;
  AnsiString k = UpperCase(key);
  // Some readers spell the time separator's key "sTTime".
  if (k == "STTIME") k = "STIME";
  auto it = profile().find(k);
  return it == profile().end() ? def : it->second;
}

int GetProfileInt(const AnsiString& section, const AnsiString& key, int def) {
  AnsiString v = GetProfileString(section, key, AnsiString());
  int64_t n;
  return TryStrToInt(Trim(v), n) ? static_cast<int>(n) : def;
}

bool GetUserRegistryString(const AnsiString& key, const AnsiString& name, AnsiString& value) {
  if (!SameText(key, "Control Panel\\International")) return false;
  auto it = profile().find(UpperCase(name));
  if (it == profile().end()) return false;
  value = it->second;
  return true;
}
