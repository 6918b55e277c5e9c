#include "framework/base/TkSrMgr.h"

#include <cstring>
#include <memory>

#include "framework/base/TkConst.h"
#include "platform/rtl/Resources.h"

namespace {

constexpr int SrmCannotOpen = 4;
constexpr int SrmResourceNotFound = 3;
constexpr int SrmInvalidResource = 5;

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

AnsiString Utf16ToAnsi(const uint8_t* p, std::size_t units) {
  std::string utf8;
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

struct TTkTables {
  std::unique_ptr<TTkStringResource> Own;      // the reader's own texts
  std::unique_ptr<TTkStringResource> Library;  // the library's texts
  bool Open = false;
  bool Opening = false;
};

TTkTables& Tables() {
  static TTkTables t;
  return t;
}

AnsiString BuiltInSrmText(int id) {
  switch (id) {
    case 1: return "String not found: %d";
    case 2: return "Cannot lock resource";
    case SrmResourceNotFound: return "String resource not found: %s";
    case SrmCannotOpen: return "Unable to open string resource: %s";
    default: return "Invalid string resource";
  }
}

// The built-in copy covers the opening of the reader's own table and a program without it.
AnsiString SrmText(int id) {
  TTkTables& t = Tables();
  AnsiString s = t.Own && !t.Opening ? t.Own->GetString(id) : AnsiString();
  return s.empty() ? BuiltInSrmText(id) : s;
}

std::unique_ptr<TTkStringResource> OpenQuietly(const char* name) {
  try {
    return std::make_unique<TTkStringResource>(name);
  } catch (const Exception&) {
    return nullptr;
  }
}

}  // namespace

TTkStringResource::TTkStringResource(std::string_view ResourceName)
    : FResourceName(ResourceName.substr(0, 255)) {
  if (FResourceName.empty()) return;
  const TResource* res = FindResource("RCDATA", FResourceName);
  if (!res) throw ETkStringResourceError(SrmText(SrmResourceNotFound), {FResourceName});
  if (!res->Data) throw ETkStringResourceError(SrmText(SrmCannotOpen), {FResourceName});
  if (res->Size < HeaderSize || std::memcmp(res->Data, "STR0", 4) != 0)
    throw ETkStringResourceError(SrmText(SrmInvalidResource));
  const int32_t count = ReadInt32(res->Data + 4);
  if (count < 0 || std::size_t(count) > (res->Size - HeaderSize) / EntrySize)
    throw ETkStringResourceError(SrmText(SrmInvalidResource));
  FData = res->Data;
  FSize = res->Size;
}

AnsiString TTkStringResource::GetString(int Id) const {
  if (!FData) return {};
  int32_t low = 0;
  int32_t high = ReadInt32(FData + 4) - 1;
  while (low <= high) {
    const int32_t mid = low + (high - low) / 2;
    const uint8_t* entry = FData + HeaderSize + EntrySize * std::size_t(mid);
    const int32_t id = ReadInt32(entry);
    if (id == Id) {
      const int32_t offset = ReadInt32(entry + 4);
      const int32_t length = ReadInt32(entry + 8);
      // An index that points outside the resource counts as a missing text.
      if (offset < 0 || length < 0 || std::size_t(offset) > FSize ||
          std::size_t(length) > (FSize - std::size_t(offset)) / 2)
        return {};
      return Utf16ToAnsi(FData + offset, std::size_t(length));
    }
    if (id > Id) high = mid - 1;
    else low = mid + 1;
  }
  return {};
}

void TkSrMgrStartup() {
  TTkTables& t = Tables();
  if (t.Open) return;
  t.Opening = true;
  t.Own = OpenQuietly(TkSrMgrStrings);
  t.Opening = false;
  // A library table that cannot be opened leaves every text "Unknown" rather than failing each caller.
  t.Library = OpenQuietly(TkStringsEnglish);
  t.Open = true;
}

void TkSrMgrShutdown() {
  TTkTables& t = Tables();
  t.Library.reset();
  t.Own.reset();
  t.Open = false;
}

AnsiString TkStringById(int Id) {
  TkSrMgrStartup();
  const TTkTables& t = Tables();
  AnsiString s = t.Library ? t.Library->GetString(Id) : AnsiString();
  return s.empty() ? AnsiString("Unknown") : s;
}
