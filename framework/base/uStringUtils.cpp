#include "framework/base/uStringUtils.h"

#include <algorithm>
#include <limits>

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool InSet(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Start (0-based) and length of word n (1-based); npos start when there is none.
std::pair<std::size_t, std::size_t> FindWord(int n, std::string_view text, std::string_view delims) {
  int count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && InSet(text[i], delims)) ++i;
    if (i >= text.size()) break;
    std::size_t start = i;
    while (i < text.size() && !InSet(text[i], delims)) ++i;
    if (++count == n) return {start, i - start};
  }
  return {std::string_view::npos, 0};
}

// The run-time's integer conversion: leading blanks, a sign, decimal digits or '$' and hex digits.
template <typename T>
bool ParseInteger(std::string_view text, T& value, int& errorPos) {
  errorPos = 0;
  if (text.size() >= 256) {
    errorPos = 256;
    return false;
  }
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<T>::min())
                                 : static_cast<int64_t>(std::numeric_limits<T>::max());
  int64_t acc = 0;
  std::size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    char c = text[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    acc = acc * (hex ? 16 : 10) + d;
    if (acc > limit) break;
  }
  if (i < text.size()) {
    errorPos = static_cast<int>(i) + 1;
    return false;
  }
  if (digits == 0) {
    errorPos = static_cast<int>(text.size()) + 1;
    return false;
  }
  value = static_cast<T>(negative ? -acc : acc);
  return true;
}

AnsiString gCaptionPrefix;

}  // namespace

AnsiString TrimBlanks(std::string_view text) { return AnsiString(TrimView(text)); }

AnsiString PadRightChar(std::string_view text, char c, int width) {
  AnsiString s(text);
  if (width > static_cast<int>(s.size())) s.append(static_cast<std::size_t>(width) - s.size(), c);
  return s;
}

AnsiString PadRightBlanks(std::string_view text, int width) { return PadRightChar(text, ' ', width); }

AnsiString PadLeftChar(std::string_view text, char c, int width) {
  AnsiString s(text);
  if (width > static_cast<int>(s.size())) s.insert(0, static_cast<std::size_t>(width) - s.size(), c);
  return s;
}

Str255 LeftPadZeros(const Str255& text, int width) { return PadLeftShortChar(text, '0', width); }

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

bool IsAllDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), IsDigitChar); }

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

AnsiString TranslateChars(std::string_view text, std::string_view fromSet, std::string_view toSet) {
  AnsiString s(text);
  if (fromSet.size() != toSet.size()) return s;
  for (char& c : s) {
    std::size_t k = fromSet.find(c);
    if (k != std::string_view::npos) c = toSet[k];
  }
  return s;
}

bool CharPresent(std::string_view text, char c) { return FindChar(text, c) != 0; }

int FindChar(std::string_view text, char c) {
  std::size_t k = text.find(c);
  return k == std::string_view::npos ? 0 : static_cast<int>(k) + 1;
}

int CountWords(std::string_view text, std::string_view delimiters) {
  int count = 0;
  bool inWord = false;
  for (char c : text) {
    bool delim = InSet(c, delimiters);
    if (!delim && !inWord) ++count;
    inWord = !delim;
  }
  return count;
}

int WordPosition(int n, std::string_view text, std::string_view delimiters) {
  auto [start, len] = FindWord(n, text, delimiters);
  (void)len;
  return start == std::string_view::npos ? 0 : static_cast<int>(start) + 1;
}

AnsiString ExtractWord(int n, std::string_view text, std::string_view delimiters) {
  auto [start, len] = FindWord(n, text, delimiters);
  return start == std::string_view::npos ? AnsiString() : AnsiString(text.substr(start, len));
}

AnsiString ProperCase(std::string_view text, std::string_view delimiters) {
  AnsiString s = AnsiLowerCase(text);
  bool atWordStart = true;
  for (char& c : s) {
    if (InSet(c, delimiters)) {
      atWordStart = true;
    } else {
      if (atWordStart) c = AnsiUpperChar(c);
      atWordStart = false;
    }
  }
  return s;
}

AnsiString ProperCasePath(std::string_view text) { return ProperCase(text, "/"); }

AnsiString RemovePrefix(std::string_view text, std::string_view prefix) {
  if (!prefix.empty() && text.substr(0, prefix.size()) == prefix) text.remove_prefix(prefix.size());
  return AnsiString(text);
}

AnsiString RemoveSuffix(std::string_view text, std::string_view suffix) {
  if (!suffix.empty() && text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix)
    text.remove_suffix(suffix.size());
  return AnsiString(text);
}

bool MatchAt(std::string_view text, std::string_view part, int position) {
  if (position < 1 || part.empty()) return false;
  std::size_t at = static_cast<std::size_t>(position) - 1;
  return at + part.size() <= text.size() && text.substr(at, part.size()) == part;
}

int CountTokens(std::string_view text, std::string_view separator) {
  if (text.empty() || separator.empty()) return 0;
  int count = 1;
  for (std::size_t k = text.find(separator); k != std::string_view::npos; k = text.find(separator, k + separator.size()))
    ++count;
  return count;
}

AnsiString GetToken(int n, std::string_view text, std::string_view separator) {
  if (n < 1 || n > CountTokens(text, separator)) return AnsiString();
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) start = text.find(separator, start) + separator.size();
  std::size_t end = text.find(separator, start);
  return AnsiString(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

void SplitToLines(TStrings& lines, std::string_view text, std::string_view separator, bool clearFirst) {
  if (clearFirst) lines.Clear();
  const int n = CountTokens(text, separator);
  std::size_t start = 0;
  for (int i = 1; i <= n; ++i) {
    std::size_t end = i < n ? text.find(separator, start) : text.size();
    lines.Add(AnsiString(text.substr(start, end - start)));
    start = end + separator.size();
  }
}

AnsiString JoinLines(const TStrings& lines, std::string_view separator) {
  // Appended in place: a copy of the whole text per line would make long lists quadratic.
  AnsiString result;
  for (int i = 0; i < lines.Count(); ++i) {
    const AnsiString line = lines[i];
    if (line.empty()) continue;
    if (!result.empty()) result += separator;
    result += line;
  }
  return result;
}

AnsiString AppendWithSeparator(std::string_view list, std::string_view item, std::string_view separator,
                               bool alwaysSeparate, bool strip, bool join) {
  if (!join) return AnsiString(list);
  AnsiString result;
  if (!list.empty() && !item.empty()) {
    if (strip && !separator.empty()) {
      if (list.size() >= separator.size() && list.substr(list.size() - separator.size()) == separator)
        list.remove_suffix(separator.size());
      if (item.substr(0, separator.size()) == separator) item.remove_prefix(separator.size());
    }
    result.append(list).append(separator).append(item);
  } else if (alwaysSeparate) {
    result.append(list).append(separator).append(item);
  } else {
    result.append(list).append(item);
  }
  return result;
}

bool StrToLongChecked(std::string_view text, int32_t& value, int& errorPos) {
  return ParseInteger<int32_t>(text, value, errorPos);
}

AnsiString LongToStr(int32_t value) { return std::to_string(value); }

const AnsiString& CaptionPrefix() { return gCaptionPrefix; }
void SetCaptionPrefix(const AnsiString& prefix) { gCaptionPrefix = prefix; }

AnsiString ApplyCaptionPrefix(const AnsiString& caption) {
  if (gCaptionPrefix.empty() || caption.compare(0, gCaptionPrefix.size(), gCaptionPrefix) == 0) return caption;
  return gCaptionPrefix + " " + caption;
}

Str255 TrimShort(const Str255& text) { return Str255(TrimView(text.View())); }

Str255 PadLeftShortChar(const Str255& text, char c, int width) {
  return Str255(PadLeftChar(text.View(), c, std::min(width, 255)));
}

Str255 CharRunShort(char c, int n) { return Str255(AnsiString(static_cast<std::size_t>(std::clamp(n, 0, 255)), c)); }

bool ShortCharPresent(const Str255& text, char c) { return CharPresent(text.View(), c); }

int FindCharShort(const Str255& text, char c) { return FindChar(text.View(), c); }

Str255 InsertCharShort(const Str255& text, char c, int position) {
  AnsiString s = text.Str();
  std::size_t at = static_cast<std::size_t>(std::clamp(position, 1, static_cast<int>(s.size()) + 1)) - 1;
  s.insert(at, 1, c);
  return Str255(s);
}

Str255 DeleteCharShort(const Str255& text, char c) {
  AnsiString s = text.Str();
  s.erase(std::remove(s.begin(), s.end(), c), s.end());
  return Str255(s);
}

int CountWordsShort(const Str255& text, std::string_view delimiters) { return CountWords(text.View(), delimiters); }

int WordPositionShort(int n, const Str255& text, std::string_view delimiters) {
  return WordPosition(n, text.View(), delimiters);
}

bool ShortStrToIntChecked(const Str255& text, int16_t& value, int& errorPos) {
  return ParseInteger<int16_t>(text.View(), value, errorPos);
}

AnsiString ExtractFilePart(std::string_view path) {
  std::size_t k = path.rfind('/');
  std::string_view name = k == std::string_view::npos ? path : path.substr(k + 1);
  return AnsiString(name.substr(0, 260));
}

AnsiString ExtractFolderPart(std::string_view path) {
  std::size_t k = path.rfind('/');
  if (k == std::string_view::npos) return AnsiString();
  return AnsiString(path.substr(0, k == 0 ? 1 : k));
}

bool FindExtensionDot(std::string_view path, int& position) {
  position = 0;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
  position = static_cast<int>(dot) + 1;
  return true;
}

AnsiString ExtractExtension(std::string_view path) {
  int pos;
  return FindExtensionDot(path, pos) ? AnsiString(path.substr(static_cast<std::size_t>(pos))) : AnsiString();
}

AnsiString ExtractBaseName(std::string_view path) {
  AnsiString name = ExtractFilePart(path);
  int pos;
  if (FindExtensionDot(name, pos)) name.resize(static_cast<std::size_t>(pos) - 1);
  return name;
}

AnsiString ReplaceExtension(std::string_view path, std::string_view extension) {
  if (path.empty()) return AnsiString();
  int pos;
  AnsiString result = FindExtensionDot(path, pos) ? AnsiString(path.substr(0, static_cast<std::size_t>(pos)))
                                                  : AnsiString(path) + ".";
  return result.append(extension);
}

AnsiString EnsureTrailingBackslash(std::string_view path) {
  AnsiString s(path);
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}
