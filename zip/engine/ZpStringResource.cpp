#include "zip/engine/ZpStringResource.h"

#include <cstring>
#include <memory>

#include "platform/rtl/Format.h"
#include "platform/rtl/Resources.h"

namespace {

constexpr std::size_t HeaderSize = 8;
constexpr std::size_t EntrySize = 12;

int32_t ReadInt32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// The reader's own texts, from "ZPSRMGR_STRINGS" when it is usable.
AnsiString ReaderText(int id) {
  static const char* const fallback[] = {"", "String not found: %d", "Cannot lock resource",
                                         "String resource not found: %s", "Unable to open string resource: %s",
                                         "Invalid string resource"};
  static std::unique_ptr<TZpStringResource> reader = [] {
    try {
      return std::make_unique<TZpStringResource>(ZpReaderStringsResourceName);
    } catch (const Exception&) {
      return std::unique_ptr<TZpStringResource>();
    }
  }();
  AnsiString s;
  if (reader) s = reader->GetString(id);
  if (s.empty() && id >= 1 && id <= 5) s = fallback[id];
  return s;
}

bool HasMagic(const uint8_t* data, std::size_t size) { return size >= 4 && std::memcmp(data, "STR0", 4) == 0; }

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

TZpStringResource::TZpStringResource(const AnsiString& resourceName) : FResourceName(resourceName.substr(0, 255)) {
  if (FResourceName.empty()) return;
  const TResource* r = FindResource("RCDATA", FResourceName);
  if (!r) throw ESrmStringResourceError(Format(ReaderText(3), {FResourceName}));
  if (!r->Data) throw ESrmStringResourceError(Format(ReaderText(4), {FResourceName}));
  Open(r->Data, r->Size);
}

TZpStringResource::TZpStringResource(const uint8_t* data, std::size_t size) {
  if (!data) throw ESrmStringResourceError(ReaderText(2));
  Open(data, size);
}

void TZpStringResource::Open(const uint8_t* data, std::size_t size) {
  if (!HasMagic(data, size) || size < HeaderSize) throw ESrmStringResourceError(ReaderText(5));
  int32_t count = ReadInt32(data + 4);
  if (count < 0 || uint64_t(count) * EntrySize > size - HeaderSize) throw ESrmStringResourceError(ReaderText(5));
  FData = data;
  FSize = size;
}

int TZpStringResource::Count() const { return FData ? ReadInt32(FData + 4) : 0; }

bool TZpStringResource::Find(int id, std::size_t& offset, std::size_t& units) const {
  int low = 0, high = Count() - 1;
  while (low <= high) {
    int mid = (low + high) / 2;
    const uint8_t* e = FData + HeaderSize + EntrySize * std::size_t(mid);
    int32_t entryId = ReadInt32(e);
    if (entryId == id) {
      int32_t off = ReadInt32(e + 4), len = ReadInt32(e + 8);
      // An entry pointing outside the table reads as absent rather than past the end.
      if (off < 0 || len < 0 || uint64_t(off) + uint64_t(len) * 2 > FSize) return false;
      offset = std::size_t(off);
      units = std::size_t(len);
      return true;
    }
    if (entryId > id) high = mid - 1;
    else low = mid + 1;
  }
  return false;
}

AnsiString TZpStringResource::Convert(std::size_t offset, std::size_t units) const {
  std::string utf8;
  const uint8_t* p = FData + offset;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = char32_t(p[2 * i] | p[2 * i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
      char32_t lo = char32_t(p[2 * i + 2] | p[2 * i + 3] << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(utf8, c);
  }
  return Utf8ToAnsi(utf8);
}

AnsiString TZpStringResource::GetString(int id) const {
  std::size_t offset = 0, units = 0;
  if (!FData || !Find(id, offset, units)) return {};
  return Convert(offset, units);
}

char* TZpStringResource::GetAsPChar(int id, char* buffer, std::size_t size) const {
  if (!buffer || size == 0) return buffer;
  AnsiString s;
  std::size_t offset = 0, units = 0;
  if (FData && Find(id, offset, units)) {
    s = Convert(offset, units);
    while (s.size() >= size && units > 0) s = Convert(offset, --units);
  }
  std::memcpy(buffer, s.data(), s.size());
  buffer[s.size()] = '\0';
  return buffer;
}

AnsiString ZpStringById(int id) {
  static std::unique_ptr<TZpStringResource> strings = [] {
    try {
      return std::make_unique<TZpStringResource>(ZpStringsResourceName);
    } catch (const Exception&) {
      return std::unique_ptr<TZpStringResource>();
    }
  }();
  return strings ? strings->GetString(id) : AnsiString();
}
