// Reader of the engine's "STR0" string tables and the shared lookup of the engine's texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringTables.h"

QUORVEX_EXCEPTION(ESrmStringResourceError, Exception);

class TZpStringResource {
public:
  // An empty name makes an empty reader; a missing or malformed table raises ESrmStringResourceError.
  explicit TZpStringResource(const AnsiString& resourceName);
  // A reader over table bytes held elsewhere (they must outlive it).
  TZpStringResource(const uint8_t* data, std::size_t size);

  // The text in the system code page; empty when the id is absent.
  AnsiString GetString(int id) const;
  // Writes the text, shortened to fit, and a NUL into buffer; returns buffer.
  char* GetAsPChar(int id, char* buffer, std::size_t size) const;
  int Count() const;

private:
  void Open(const uint8_t* data, std::size_t size);

  AnsiString FResourceName;
  TStringTable FTable;
};

constexpr const char* ZpStringsResourceName = "ZP_STRINGS_ENGLISH";
constexpr const char* ZpReaderStringsResourceName = "ZPSRMGR_STRINGS";

// The engine's text of id from "ZP_STRINGS_ENGLISH"; empty when absent or the table is unusable.
AnsiString ZpStringById(int id);
