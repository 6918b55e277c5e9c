// Builds "STR0" string tables in a test, from entries or from a readable .strtab source.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace strtab {

inline void Put32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

// Texts are UTF-8; they are stored as UTF-16LE (all test texts lie in the basic plane).
inline std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if (c < 0xE0) { cp = c & 0x1F; extra = 1; }
    else if (c < 0xF0) { cp = c & 0x0F; extra = 2; }
    else { cp = c & 0x07; extra = 3; }
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (s[i] & 0x3F);
    out += char16_t(cp);
  }
  return out;
}

inline std::vector<uint8_t> Build(const std::map<int32_t, std::string>& entries) {
  std::vector<uint8_t> out = {'S', 'T', 'R', '0'};
  Put32(out, int32_t(entries.size()));
  int32_t offset = int32_t(8 + 12 * entries.size());
  std::vector<std::u16string> texts;
  for (const auto& [id, text] : entries) {
    texts.push_back(ToUtf16(text));
    Put32(out, id);
    Put32(out, offset);
    Put32(out, int32_t(texts.back().size()));
    offset += int32_t(2 * texts.back().size());
  }
  for (const auto& t : texts)
    for (char16_t u : t) {
      out.push_back(uint8_t(u));
      out.push_back(uint8_t(u >> 8));
    }
  return out;
}

inline std::map<int32_t, std::string> ParseSource(const std::string& path) {
  std::map<int32_t, std::string> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    std::string raw = space == std::string::npos ? "" : line.substr(space + 1), text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        const char e = raw[++i];
        text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
      } else {
        text += raw[i];
      }
    }
    entries[std::stoi(line.substr(0, space))] = text;
  }
  return entries;
}

}  // namespace strtab
