#include "platform/com/ComTypes.h"

#include <cstdio>

AnsiString GUIDToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2, g.D3, g.D4[0],
                g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
  return buf;
}

WideString AnsiToWide(std::string_view s) {
  WideString w;
  w.reserve(s.size());
  for (char c : s) w.push_back(static_cast<wchar_t>(AnsiCharToUnicode(c)));
  return w;
}

AnsiString WideToAnsi(const WideString& w) {
  std::string utf8 = WideToUtf8(w);
  return Utf8ToAnsi(utf8);
}

std::string WideToUtf8(const WideString& w) {
  std::string out;
  out.reserve(w.size());
  for (wchar_t wc : w) {
    auto c = static_cast<uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

WideString Utf8ToWide(std::string_view s) {
  WideString out;
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= s.size()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto n = static_cast<unsigned char>(s[i + size_t(k)]);
      if ((n & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (n & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    out.push_back(static_cast<wchar_t>(c));
    i += size_t(extra) + 1;
  }
  return out;
}
