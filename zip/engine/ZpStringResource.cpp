#include "zip/engine/ZpStringResource.h"

#include <cstring>
#include <memory>

#include "platform/rtl/Format.h"

namespace {

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

}  // namespace

TZpStringResource::TZpStringResource(const AnsiString& resourceName) : FResourceName(resourceName.substr(0, 255)) {
  const TStringTableFault fault = OpenStringTableResource(FResourceName, FTable);
  if (fault != stfNone) throw ESrmStringResourceError(Format(ReaderText(fault), {FResourceName}));
}

TZpStringResource::TZpStringResource(const uint8_t* data, std::size_t size) {
  if (!data) throw ESrmStringResourceError(ReaderText(stfCannotLock));
  Open(data, size);
}

void TZpStringResource::Open(const uint8_t* data, std::size_t size) {
  const std::optional<TStringTable> table = TStringTable::Open(data, size);
  if (!table) throw ESrmStringResourceError(ReaderText(stfInvalid));
  FTable = *table;
}

int TZpStringResource::Count() const { return FTable.Count(); }

AnsiString TZpStringResource::GetString(int id) const { return FTable.GetString(id); }

char* TZpStringResource::GetAsPChar(int id, char* buffer, std::size_t size) const {
  if (!buffer || size == 0) return buffer;
  AnsiString s;
  TStringTableEntry entry;
  if (FTable.Find(id, entry)) {
    s = FTable.Text(entry);
    // Shortened a UTF-16 unit at a time until the text and its NUL fit.
    while (s.size() >= size && entry.Units > 0) {
      --entry.Units;
      s = FTable.Text(entry);
    }
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
