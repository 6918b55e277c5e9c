// Numbered texts of the control library, read from "STR0" string-table resources.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(ESrmStringResourceError, Exception);

// Reader of one "STR0" table: magic, count, sorted (id, offset, length) index, UTF-16LE texts.
class TCtlStringResource {
public:
  // An empty name makes a reader that finds nothing.
  explicit TCtlStringResource(std::string_view ResourceName);
  TCtlStringResource(const TCtlStringResource&) = delete;
  TCtlStringResource& operator=(const TCtlStringResource&) = delete;

  // The text of Id in the program's code page; empty when the table has no such id.
  AnsiString GetString(int Id) const;
  const AnsiString& ResourceName() const { return FResourceName; }

private:
  AnsiString FResourceName;
  const uint8_t* FData = nullptr;
  std::size_t FSize = 0;
};

// A control-library text by number, or "Unknown".
AnsiString CtlStringById(int Id);

// Characters the entry fields take as letters: space, comma, hyphen, full stop, A-Z, a-z and
// the letters of the upper half of the code page.
using TCtlCharSet = std::bitset<256>;
const TCtlCharSet& CtlLetterSet();
