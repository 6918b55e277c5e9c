#include "platform/rtl/StringTables.h"

#include <cstring>
#include <string>

#include "platform/rtl/Resources.h"

namespace {

constexpr std::size_t HeaderSize = 8;
constexpr std::size_t EntrySize = 12;

int32_t ReadInt32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::optional<TStringTable> TStringTable::Open(const uint8_t* data, std::size_t size) {
  if (!data || size < HeaderSize || std::memcmp(data, "STR0", 4) != 0) return std::nullopt;
  const int32_t count = ReadInt32(data + 4);
  if (count < 0 || std::size_t(count) > (size - HeaderSize) / EntrySize) return std::nullopt;
  return TStringTable(data, size);
}

int TStringTable::Count() const { return FData ? ReadInt32(FData + 4) : 0; }

bool TStringTable::Find(int id, TStringTableEntry& entry) const {
  int32_t low = 0;
  int32_t high = Count() - 1;
  while (low <= high) {
    const int32_t mid = low + (high - low) / 2;
    const uint8_t* e = FData + HeaderSize + EntrySize * std::size_t(mid);
    const int32_t entryId = ReadInt32(e);
    if (entryId == id) {
      const int32_t offset = ReadInt32(e + 4);
      const int32_t length = ReadInt32(e + 8);
      // An entry pointing outside the table reads as a missing text rather than past the end.
      if (offset < 0 || length < 0 || std::size_t(offset) > FSize ||
          std::size_t(length) > (FSize - std::size_t(offset)) / 2)
        return false;
      entry = {std::size_t(offset), std::size_t(length)};
      return true;
    }
    if (entryId > id) high = mid - 1;
    else low = mid + 1;
  }
  return false;
}

AnsiString TStringTable::Text(const TStringTableEntry& entry) const {
  if (!FData || entry.Offset > FSize || entry.Units > (FSize - entry.Offset) / 2) return {};
  const uint8_t* p = FData + entry.Offset;
  const std::size_t units = entry.Units;
  std::string utf8;
  utf8.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = char32_t(p[2 * i] | p[2 * i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
      const char32_t lo = char32_t(p[2 * i + 2] | p[2 * i + 3] << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(utf8, c);
  }
  return Utf8ToAnsi(utf8);
}

AnsiString TStringTable::GetString(int id) const {
  TStringTableEntry entry;
  return Find(id, entry) ? Text(entry) : AnsiString();
}

TStringTableFault OpenStringTableResource(std::string_view name, TStringTable& table) {
  table = {};
  if (name.empty()) return stfNone;
  const TResource* res = FindResource("RCDATA", name);
  if (!res) return stfNotFound;
  if (!res->Data) return stfCannotOpen;
  const std::optional<TStringTable> opened = TStringTable::Open(res->Data, res->Size);
  if (!opened) return stfInvalid;
  table = *opened;
  return stfNone;
}
