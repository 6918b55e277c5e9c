// The "STR0" string tables the resource generator writes: checking one, finding a text by number
// and reading it in the program's code page. The libraries' table readers are built on this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/rtl/AnsiString.h"

// Layout: "STR0", int32 count, count index entries {int32 id, int32 offset, int32 length in UTF-16
// units} sorted by id, then the texts as UTF-16LE. All numbers little-endian.

// Where one text lies in its table.
struct TStringTableEntry {
  std::size_t Offset = 0;
  std::size_t Units = 0;
};

// A view of table bytes held elsewhere (they must outlive it); copying it copies the view.
class TStringTable {
public:
  // Finds nothing.
  TStringTable() = default;
  // Empty when data is not a table or its index runs past the end.
  static std::optional<TStringTable> Open(const uint8_t* data, std::size_t size);

  int Count() const;
  // False when id is absent or its entry points outside the table.
  bool Find(int id, TStringTableEntry& entry) const;
  // The text in the program's code page; empty when the entry does not lie within the table.
  AnsiString Text(const TStringTableEntry& entry) const;
  // The text of id; empty when absent.
  AnsiString GetString(int id) const;

private:
  TStringTable(const uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  const uint8_t* FData = nullptr;
  std::size_t FSize = 0;
};

// Why a table could not be opened. The values are the numbers of the matching texts in each
// library's table of its reader's own texts, so a fault picks its message directly.
enum TStringTableFault : int {
  stfNone = 0,
  stfCannotLock = 2,     // no data to read
  stfNotFound = 3,       // no ("RCDATA", name) resource
  stfCannotOpen = 4,     // the resource has no data
  stfInvalid = 5,        // not a table, or its index runs past the end
};

// Opens the ("RCDATA", name) resource as a table; an empty name leaves table finding nothing.
TStringTableFault OpenStringTableResource(std::string_view name, TStringTable& table);

// Base of the libraries' readers of one named table; each raises its own error for a fault.
class TStringTableResource {
public:
  TStringTableResource(const TStringTableResource&) = delete;
  TStringTableResource& operator=(const TStringTableResource&) = delete;

  // The text of Id in the program's code page; empty when the table has no such id.
  AnsiString GetString(int Id) const { return FTable.GetString(Id); }
  const AnsiString& ResourceName() const { return FResourceName; }

protected:
  // Names are cut to 255 characters, as the platform's resource names are.
  explicit TStringTableResource(std::string_view ResourceName) : FResourceName(ResourceName.substr(0, 255)) {}
  ~TStringTableResource() = default;
  TStringTableFault Open() { return OpenStringTableResource(FResourceName, FTable); }

  AnsiString FResourceName;
  TStringTable FTable;
};
