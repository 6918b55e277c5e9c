#include "platform/com/XlObject.h"

#include <algorithm>

void XlServerError(const AnsiString& text) { throw EAutoServerError(DISP_E_EXCEPTION, text); }

const TDispNames& XlNames() { return ExcelDispNames(); }

namespace {

// One cell of an address: "A1" or "$B$2".
bool parseCell(std::string_view s, int& r, int& c) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  long col = 0;
  size_t letters = i;
  while (i < s.size() && IsAnsiAlpha(s[i]) && (s[i] & 0x80) == 0) col = col * 26 + (AnsiUpperChar(s[i++]) - 'A' + 1);
  if (i == letters || i - letters > 3) return false;
  if (i < s.size() && s[i] == '$') ++i;
  size_t digits = i;
  long row = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && row <= XlMaxRows) row = row * 10 + (s[i++] - '0');
  if (i == digits || i != s.size()) return false;
  if (row < 1 || row > XlMaxRows || col < 1 || col > XlMaxColumns) return false;
  r = static_cast<int>(row);
  c = static_cast<int>(col);
  return true;
}

}  // namespace

AnsiString XlColumnName(int c) {
  AnsiString s;
  for (; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
  return s;
}

AnsiString XlCellAddress(int r, int c, bool rowAbs, bool colAbs) {
  return AnsiString(colAbs ? "$" : "") + XlColumnName(c) + (rowAbs ? "$" : "") + IntToStr(r);
}

bool XlParseArea(const AnsiString& text, TXlArea& a) {
  AnsiString s = Trim(text);
  size_t colon = s.find(':');
  int r1, c1, r2, c2;
  if (!parseCell(std::string_view(s).substr(0, colon), r1, c1)) return false;
  r2 = r1;
  c2 = c1;
  if (colon != AnsiString::npos && !parseCell(std::string_view(s).substr(colon + 1), r2, c2)) return false;
  a = TXlArea{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
  return true;
}

TXlArea XlUnite(const TXlArea& a, const TXlArea& b) {
  return TXlArea{std::min(a.R1, b.R1), std::min(a.C1, b.C1), std::max(a.R2, b.R2), std::max(a.C2, b.C2)};
}
