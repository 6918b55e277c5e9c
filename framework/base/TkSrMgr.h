// The tool library's reader of "STR0" string tables, and its texts looked up by number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(ETkStringResourceError, Exception);

// Reader of one "STR0" table of the program's resources.
class TTkStringResource {
public:
  // An empty name makes a reader that finds nothing; a missing or malformed table raises
  // ETkStringResourceError.
  explicit TTkStringResource(std::string_view ResourceName);
  TTkStringResource(const TTkStringResource&) = delete;
  TTkStringResource& operator=(const TTkStringResource&) = delete;

  // The text of Id in the program's code page; empty when the table has no such id.
  AnsiString GetString(int Id) const;
  const AnsiString& ResourceName() const { return FResourceName; }

private:
  AnsiString FResourceName;
  const uint8_t* FData = nullptr;
  std::size_t FSize = 0;
};

// Opens the reader's own table and the library's table; a second call does nothing.
void TkSrMgrStartup();
void TkSrMgrShutdown();
// A tool-library text by number, or "Unknown"; opens the tables when start-up has not.
AnsiString TkStringById(int Id);
