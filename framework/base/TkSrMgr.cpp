#include "framework/base/TkSrMgr.h"

#include <memory>

#include "framework/base/TkConst.h"

namespace {

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
    case stfCannotLock: return "Cannot lock resource";
    case stfNotFound: return "String resource not found: %s";
    case stfCannotOpen: return "Unable to open string resource: %s";
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

TTkStringResource::TTkStringResource(std::string_view ResourceName) : TStringTableResource(ResourceName) {
  if (const TStringTableFault fault = Open()) throw ETkStringResourceError(SrmText(fault), {FResourceName});
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
