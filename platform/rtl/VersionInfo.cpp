#include "platform/rtl/VersionInfo.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/rtl/Files.h"
#include "platform/rtl/Resources.h"

namespace {

struct Node {
  std::size_t End = 0;  // one past the node
  std::u16string Key;
  std::size_t Value = 0, ValueSize = 0;
  std::size_t Children = 0;  // first child
  bool Text = false;
};

uint16_t get16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::size_t align4(std::size_t o) { return (o + 3) & ~std::size_t(3); }

bool readNode(const std::vector<uint8_t>& b, std::size_t at, std::size_t limit, Node& n) {
  if (at + 6 > limit) return false;
  std::size_t length = get16(b, at), valueLength = get16(b, at + 2);
  n.Text = get16(b, at + 4) == 1;
  if (length < 6 || at + length > limit) return false;
  n.End = at + length;
  std::size_t o = at + 6;
  n.Key.clear();
  for (;;) {
    if (o + 2 > n.End) return false;
    char16_t c = get16(b, o);
    o += 2;
    if (!c) break;
    n.Key += c;
  }
  n.Value = std::min(align4(o), n.End);
  n.ValueSize = n.Text ? valueLength * 2 : valueLength;
  if (n.Value + n.ValueSize > n.End) return false;
  n.Children = align4(n.Value + n.ValueSize);
  return true;
}

bool sameKey(const std::u16string& a, const AnsiString& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char16_t>(x - 32);
    char y = b[i];
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != static_cast<unsigned char>(y)) return false;
  }
  return true;
}

bool findPath(const std::vector<uint8_t>& b, const AnsiString& path, Node& found) {
  Node n;
  if (!readNode(b, 0, b.size(), n)) return false;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '\\') ++i;
    if (i >= path.size()) break;
    std::size_t j = path.find('\\', i);
    AnsiString part = path.substr(i, j == AnsiString::npos ? AnsiString::npos : j - i);
    i = j == AnsiString::npos ? path.size() : j;
    bool hit = false;
    Node child;
    for (std::size_t o = n.Children; o < n.End; o = align4(child.End)) {
      if (!readNode(b, o, n.End, child)) return false;
      if (sameKey(child.Key, part)) {
        hit = true;
        break;
      }
    }
    if (!hit) return false;
    n = child;
  }
  found = n;
  return true;
}

bool isProgramFile(const AnsiString& name) {
  std::error_code ec;
  return std::filesystem::equivalent(std::filesystem::path(name), std::filesystem::path(ParamStr(0)), ec) && !ec;
}

void setError(int* error, int code) {
  if (error) *error = code;
  errno = code;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const AnsiString& fileName, int* error) {
  if (!FileExists(fileName)) {
    setError(error, ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const TResource* r = isProgramFile(fileName) ? FindResource("VERSION", 1) : nullptr;
  if (!r || r->Size == 0) {
    setError(error, ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  if (error) *error = 0;
  return static_cast<uint32_t>(r->Size);
}

bool GetFileVersionInfo(const AnsiString& fileName, std::vector<uint8_t>& block, int* error) {
  if (GetFileVersionInfoSize(fileName, error) == 0) return false;
  const TResource* r = FindResource("VERSION", 1);
  block.assign(r->Data, r->Data + r->Size);
  return true;
}

bool VerQueryValue(const std::vector<uint8_t>& block, const AnsiString& subBlock, std::vector<uint8_t>& value) {
  Node n;
  if (!findPath(block, subBlock, n)) return false;
  value.assign(block.begin() + static_cast<std::ptrdiff_t>(n.Value),
               block.begin() + static_cast<std::ptrdiff_t>(n.Value + n.ValueSize));
  return true;
}

bool VerQueryString(const std::vector<uint8_t>& block, const AnsiString& subBlock, AnsiString& text) {
  Node n;
  if (!findPath(block, subBlock, n) || !n.Text) return false;
  std::string utf8;
  for (std::size_t o = n.Value; o + 1 < n.Value + n.ValueSize; o += 2) {
    char32_t c = get16(block, o);
    if (!c) break;
    if (c >= 0xD800 && c < 0xDC00 && o + 3 < n.Value + n.ValueSize) {
      char32_t lo = get16(block, o + 2);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        o += 2;
      }
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | c >> 12);
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | c >> 18);
      utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  text = Utf8ToAnsi(utf8);
  return true;
}

bool VerQueryFixedFileInfo(const std::vector<uint8_t>& block, TVSFixedFileInfo& info) {
  std::vector<uint8_t> v;
  if (!VerQueryValue(block, "\\", v) || v.size() < sizeof info) return false;
  std::memcpy(&info, v.data(), sizeof info);  // little-endian, as the block
  return info.dwSignature == 0xFEEF04BD;
}
