#include "tables/XbExprText.h"

#include <cstdio>

namespace XbExprText {

bool Contains(const AnsiString& s, const char* what) { return s.find(what) != AnsiString::npos; }

AnsiString XbQuote(const AnsiString& text) {
  if (text.find('"') == AnsiString::npos) return "\"" + text + "\"";
  if (text.find('\'') == AnsiString::npos) return "'" + text + "'";
  AnsiString out;
  std::size_t start = 0;
  for (;;) {
    std::size_t q = text.find('"', start);
    AnsiString piece = text.substr(start, q == AnsiString::npos ? AnsiString::npos : q - start);
    if (!piece.empty()) out += (out.empty() ? "" : "+") + AnsiString("\"") + piece + "\"";
    if (q == AnsiString::npos) break;
    out += (out.empty() ? "" : "+") + AnsiString("'\"'");
    start = q + 1;
  }
  return out;
}

AnsiString XbNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

AnsiString Dtos(TDateTime d) {
  int y = 0, m = 0, day = 0;
  DecodeDate(d, y, m, day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
  return buf;
}

}  // namespace XbExprText
