#include "controls/ctlCommand.h"

#include <cctype>

#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlStrRes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StringList.h"
#include "platform/win/VirtualKeys.h"

namespace {

constexpr int idGridTable = 30266;
constexpr int idDefaultTable = 30275;
constexpr int idWordStarTable = 30276;
constexpr int idFirstCommandName = 33768;
constexpr const char* kUserCommandName = "ccUser%d";

// Run-time I/O error numbers.
constexpr int ioFileNotFound = 2;
constexpr int ioPathNotFound = 3;
constexpr int ioAccessDenied = 5;
constexpr int ioInvalidNumber = 106;

TCtlKeyRec key(uint8_t shift, uint16_t vk, uint16_t cmd) {
  return {static_cast<uint8_t>(vk), shift, 0, 0, cmd};
}
// First key with its shift, then a second key in any shift (or Ctrl).
TCtlKeyRec pair(uint8_t shift, uint16_t vk1, uint16_t vk2, uint16_t cmd) {
  return {static_cast<uint8_t>(vk1), shift, static_cast<uint8_t>(vk2), cksAny, cmd};
}

constexpr uint8_t N = 0, S = cksShift, C = cksCtrl, A = cksAlt, CS = cksCtrl | cksShift;

std::vector<TCtlKeyRec> defaultRows() {
  std::vector<TCtlKeyRec> r = {
      key(N, VK_LEFT, ccLeft), key(N, VK_RIGHT, ccRight), key(C, VK_LEFT, ccWordLeft),
      key(C, VK_RIGHT, ccWordRight), key(N, VK_HOME, ccHome), key(N, VK_END, ccEnd),
      key(N, VK_DELETE, ccDel), key(N, VK_BACK, ccBack), key(S, VK_BACK, ccBack),
      key(C, VK_PRIOR, ccTopOfPage), key(C, VK_NEXT, ccBotOfPage), key(N, VK_INSERT, ccIns),
      key(C, 'Z', ccUndo), key(A, VK_BACK, ccRestore), key(N, VK_UP, ccUp), key(N, VK_DOWN, ccDown),
      key(C, VK_RETURN, ccNewLine), key(S, VK_LEFT, ccExtendLeft), key(S, VK_RIGHT, ccExtendRight),
      key(S, VK_HOME, ccExtendHome), key(S, VK_END, ccExtendEnd), key(CS, VK_LEFT, ccExtWordLeft),
      key(CS, VK_RIGHT, ccExtWordRight), key(S, VK_PRIOR, ccExtendPgUp), key(S, VK_NEXT, ccExtendPgDn),
      key(S, VK_UP, ccExtendUp), key(S, VK_DOWN, ccExtendDown), key(CS, VK_HOME, ccExtFirstPage),
      key(CS, VK_END, ccExtLastPage), key(CS, VK_PRIOR, ccExtTopOfPage), key(CS, VK_NEXT, ccExtBotOfPage),
      key(S, VK_DELETE, ccCut), key(C, 'X', ccCut), key(C, VK_INSERT, ccCopy), key(C, 'C', ccCopy),
      key(S, VK_INSERT, ccPaste), key(C, 'V', ccPaste), key(N, VK_PRIOR, ccPrevPage),
      key(N, VK_NEXT, ccNextPage), key(C, VK_HOME, ccFirstPage), key(C, VK_END, ccLastPage),
      key(N, VK_TAB, ccTab), key(C, VK_TAB, ccTab), key(CS, 'Z', ccRedo),
  };
  for (int d = 0; d <= 9; ++d) r.push_back(key(C, VK_0 + d, ccGotoMarker0 + d));
  for (int d = 0; d <= 9; ++d) r.push_back(key(CS, VK_0 + d, ccSetMarker0 + d));
  return r;
}

std::vector<TCtlKeyRec> wordStarRows() {
  std::vector<TCtlKeyRec> r = {
      key(C, 'S', ccLeft), key(C, 'D', ccRight), key(C, 'E', ccUp), key(C, 'X', ccDown),
      key(C, 'R', ccPrevPage), key(C, 'C', ccNextPage), key(C, 'W', ccScrollUp), key(C, 'Z', ccScrollDown),
      key(C, 'A', ccWordLeft), key(C, 'F', ccWordRight), pair(C, 'Q', 'S', ccHome), pair(C, 'Q', 'D', ccEnd),
      key(C, 'G', ccDel), key(C, 'H', ccBack), key(C, 'Y', ccDelLine), pair(C, 'Q', 'Y', ccDelEol),
      key(C, 'V', ccIns), key(C, 'T', ccDelWord), key(C, 'P', ccCtrlChar), pair(C, 'Q', 'L', ccRestore),
  };
  for (int d = 0; d <= 9; ++d) r.push_back(pair(C, 'Q', VK_0 + d, ccGotoMarker0 + d));
  for (int d = 0; d <= 9; ++d) r.push_back(pair(C, 'K', VK_0 + d, ccSetMarker0 + d));
  return r;
}

std::vector<TCtlKeyRec> gridRows() {
  return {
      key(N, VK_LEFT, ccLeft), key(N, VK_RIGHT, ccRight), key(C, VK_LEFT, ccPageLeft),
      key(C, VK_RIGHT, ccPageRight), key(N, VK_HOME, ccHome), key(N, VK_END, ccEnd),
      key(N, VK_DELETE, ccDel), key(N, VK_BACK, ccBack), key(C, VK_NEXT, ccBotOfPage),
      key(C, VK_PRIOR, ccTopOfPage), key(N, VK_INSERT, ccIns), key(C, 'Z', ccRestore), key(N, VK_UP, ccUp),
      key(N, VK_DOWN, ccDown), key(S, VK_LEFT, ccExtendLeft), key(S, VK_RIGHT, ccExtendRight),
      key(S, VK_HOME, ccExtendHome), key(S, VK_END, ccExtendEnd), key(CS, VK_LEFT, ccExtWordLeft),
      key(CS, VK_RIGHT, ccExtWordRight), key(S, VK_PRIOR, ccExtendPgUp), key(S, VK_NEXT, ccExtendPgDn),
      key(S, VK_UP, ccExtendUp), key(S, VK_DOWN, ccExtendDown), key(CS, VK_HOME, ccExtFirstPage),
      key(CS, VK_END, ccExtLastPage), key(CS, VK_PRIOR, ccExtTopOfPage), key(CS, VK_NEXT, ccExtBotOfPage),
      key(C, 'X', ccCut), key(C, 'C', ccCopy), key(C, 'V', ccPaste), key(N, VK_PRIOR, ccPrevPage),
      key(C, VK_HOME, ccFirstPage), key(N, VK_NEXT, ccNextPage), key(C, VK_END, ccLastPage),
      key(C, VK_UP, ccTopLeftCell), key(C, VK_DOWN, ccBotRightCell), key(N, VK_F2, ccTableEdit),
  };
}

bool isModifierKey(uint16_t key) {
  return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL || key == VK_NUMLOCK ||
         key == VK_SCROLL;
}

[[noreturn]] void raiseCreateError(const AnsiString& fileName) {
  if (!DirectoryExists(ExcludeTrailingPathDelimiter(ExtractFilePath(fileName))) &&
      !ExtractFilePath(fileName).empty())
    throw EInOutError("Path not found", ioPathNotFound);
  throw EInOutError("File access denied", ioAccessDenied);
}

AnsiString stripDigits(AnsiString name) {
  while (name.size() >= 2 && std::isdigit(static_cast<unsigned char>(name.back()))) name.pop_back();
  return name;
}

}  // namespace

AnsiString CommandName(uint16_t Cmd) {
  if (Cmd >= ccUserFirst) return Format(kUserCommandName, {int(Cmd)});
  if (Cmd > ccLastCommand) return CtlStringById(0);
  return CtlStringById(idFirstCommandName + Cmd);
}

TCtlKeyRec TCtlKeyRec::FromKeyValue(uint32_t keyValue, uint16_t cmd) {
  return {static_cast<uint8_t>(keyValue), static_cast<uint8_t>(keyValue >> 8),
          static_cast<uint8_t>(keyValue >> 16), static_cast<uint8_t>(keyValue >> 24), cmd};
}

// ---- TCtlCommandTable ----

void TCtlCommandTable::checkIndex(int Index, bool allowEnd) const {
  if (Index < 0 || Index > Count() || (Index == Count() && !allowEnd))
    throw EListError("List index out of bounds (%d)", {Index});
}

int TCtlCommandTable::AddCommand(const TCtlKeyRec& Rec) {
  FCommands.push_back(Rec);
  return Count() - 1;
}

void TCtlCommandTable::InsertCommand(int Index, const TCtlKeyRec& Rec) {
  checkIndex(Index, true);
  FCommands.insert(FCommands.begin() + Index, Rec);
}

void TCtlCommandTable::ChangeCommand(int Index, const TCtlKeyRec& Rec) {
  checkIndex(Index, false);
  FCommands[static_cast<std::size_t>(Index)] = Rec;
}

void TCtlCommandTable::DeleteCommand(int Index) {
  checkIndex(Index, false);
  FCommands.erase(FCommands.begin() + Index);
}

const TCtlKeyRec& TCtlCommandTable::GetCommand(int Index) const {
  checkIndex(Index, false);
  return FCommands[static_cast<std::size_t>(Index)];
}

int TCtlCommandTable::IndexOf(const TCtlKeyRec& Rec) const {
  for (int i = 0; i < Count(); ++i)
    if (FCommands[static_cast<std::size_t>(i)].KeyValue() == Rec.KeyValue()) return i;
  return -1;
}

void TCtlCommandTable::LoadFromFile(const AnsiString& FileName) {
  TStringList lines;
  try {
    lines.LoadFromFile(FileName);
  } catch (const EStreamError&) {
    throw EInOutError("File not found", ioFileNotFound);
  }
  Clear();
  if (lines.Count() == 0) return;
  FTableName = lines[0];
  // The numbers run on regardless of line breaks; blank lines, trailing ones included, hold none.
  std::vector<int64_t> numbers;
  for (int i = 1; i < lines.Count(); ++i) {
    const AnsiString& line = lines[i];
    std::size_t p = 0;
    while (p < line.size()) {
      while (p < line.size() && static_cast<unsigned char>(line[p]) <= ' ') ++p;
      std::size_t start = p;
      while (p < line.size() && static_cast<unsigned char>(line[p]) > ' ') ++p;
      if (p == start) break;
      int64_t v;
      if (!TryStrToInt(std::string_view(line).substr(start, p - start), v))
        throw EInOutError("Invalid numeric format", ioInvalidNumber);
      numbers.push_back(v);
    }
  }
  if (numbers.size() % 5 != 0) throw EInOutError("Invalid numeric format", ioInvalidNumber);
  for (std::size_t i = 0; i < numbers.size(); i += 5) {
    for (int k = 0; k < 4; ++k)
      if (numbers[i + k] < 0 || numbers[i + k] > 255) throw EInOutError("Invalid numeric format", ioInvalidNumber);
    if (numbers[i + 4] < 0 || numbers[i + 4] > 65535) throw EInOutError("Invalid numeric format", ioInvalidNumber);
    AddCommand({static_cast<uint8_t>(numbers[i]), static_cast<uint8_t>(numbers[i + 1]),
                static_cast<uint8_t>(numbers[i + 2]), static_cast<uint8_t>(numbers[i + 3]),
                static_cast<uint16_t>(numbers[i + 4])});
  }
}

void TCtlCommandTable::SaveToFile(const AnsiString& FileName) const {
  AnsiString text = FTableName + "\r\n";
  for (const TCtlKeyRec& r : FCommands)
    text += Format("%4d%4d%4d%4d%6d", {int(r.Key1), int(r.Shift1), int(r.Key2), int(r.Shift2), int(r.Cmd)}) +
            "\r\n";
  std::unique_ptr<TFileStream> f;
  try {
    f = std::make_unique<TFileStream>(FileName, fmCreate);
  } catch (const EStreamError&) {
    raiseCreateError(FileName);
  }
  try {
    f->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  } catch (const EStreamError&) {
    throw EInOutError("Disk write error", 101);
  }
}

// ---- TCtlCommandProcessor ----

TCtlCommandProcessor::TCtlCommandProcessor() {
  struct BuiltIn {
    int NameId;
    bool Active;
  } builtIns[] = {{idDefaultTable, true}, {idWordStarTable, false}, {idGridTable, false}};
  for (const BuiltIn& b : builtIns) {
    AnsiString name = CtlStringById(b.NameId);
    CreateCommandTable(name, b.Active);
    for (const TCtlKeyRec& r : BuiltInRows(name)) AddCommand(name, r);
  }
  ResetCommandProcessor();
}

std::vector<TCtlKeyRec> TCtlCommandProcessor::BuiltInRows(const AnsiString& TableName) {
  if (AnsiCompareText(TableName, CtlStringById(idDefaultTable)) == 0) return defaultRows();
  if (AnsiCompareText(TableName, CtlStringById(idWordStarTable)) == 0) return wordStarRows();
  if (AnsiCompareText(TableName, CtlStringById(idGridTable)) == 0) return gridRows();
  return {};
}

int TCtlCommandProcessor::Add(std::unique_ptr<TCtlCommandTable> Table) {
  // Both the name as given and its base without trailing digits must be free; else number the base.
  AnsiString name = Table->TableName();
  AnsiString base = stripDigits(name);
  if (GetTable(name) || GetTable(base)) {
    for (int n = 1;; ++n) {
      AnsiString candidate = base + IntToStr(n);
      if (!GetTable(candidate)) {
        name = candidate;
        break;
      }
    }
  }
  Table->SetTableName(name);
  FTables.push_back(std::move(Table));
  return Count() - 1;
}

void TCtlCommandProcessor::AddCommand(const AnsiString& TableName, const TCtlKeyRec& Rec) {
  TCtlCommandTable* t = GetTable(TableName);
  if (!t) throw ETableNotFound();
  if (t->IndexOf(Rec) != -1) throw EDuplicateCommand();
  t->AddCommand(Rec);
}

int TCtlCommandProcessor::CreateCommandTable(const AnsiString& Name, bool Active) {
  auto t = std::make_unique<TCtlCommandTable>();
  t->SetTableName(Name);
  t->SetIsActive(Active);
  return Add(std::move(t));
}

TCtlCommandTable* TCtlCommandProcessor::GetTable(const AnsiString& Name) const {
  for (const auto& t : FTables)
    if (AnsiCompareText(t->TableName(), Name) == 0) return t.get();
  return nullptr;
}

TCtlCommandTable& TCtlCommandProcessor::Tables(int Index) const {
  if (Index < 0 || Index >= Count()) throw ETableNotFound();
  return *FTables[static_cast<std::size_t>(Index)];
}

int TCtlCommandProcessor::LoadCommandTable(const AnsiString& FileName) {
  auto t = std::make_unique<TCtlCommandTable>();
  t->LoadFromFile(FileName);
  return Add(std::move(t));
}

void TCtlCommandProcessor::SaveCommandTable(const AnsiString& TableName, const AnsiString& FileName) const {
  if (TCtlCommandTable* t = GetTable(TableName)) t->SaveToFile(FileName);
}

void TCtlCommandProcessor::ResetCommandProcessor() {
  FState = 0;
  FFirstKey = 0;
  FFirstShift = 0;
}

uint16_t TCtlCommandProcessor::lookup(uint16_t key, uint8_t shift) {
  for (const auto& t : FTables) {
    if (!t->IsActive()) continue;
    for (int i = 0; i < t->Count(); ++i) {
      const TCtlKeyRec& r = t->GetCommand(i);
      if (FState == 1) {
        bool shiftMatches = r.Shift2 == shift || (r.Shift2 == cksAny && (shift == 0 || shift == cksCtrl));
        if (r.Key1 != FFirstKey || r.Shift1 != FFirstShift || r.Key2 != key || !shiftMatches) continue;
        if (r.Cmd == 0) break;
        FState = r.Cmd == ccCtrlChar ? 2 : 0;
        return r.Cmd;
      }
      if (r.Key1 != key || r.Shift1 != shift) continue;
      if (r.Key2 != 0) {
        FFirstKey = static_cast<uint8_t>(key);
        FFirstShift = shift;
        FState = 1;
        return ccPartial;
      }
      if (r.Cmd == 0) break;
      if (r.Cmd == ccCtrlChar) FState = 2;
      return r.Cmd;
    }
  }
  return 0;
}

uint16_t TCtlCommandProcessor::Translate(uint16_t Key, uint8_t Shift) {
  if (isModifierKey(Key)) return FState == 1 ? ccPartial : ccNotCommand;
  if (FState == 2) {
    FState = 0;
    return ccNotCommand;
  }
  if (Key > 0xFF) {  // no record can hold it
    uint16_t result = FState == 1 ? ccInvalidSequence : ccNotCommand;
    FState = 0;
    return result;
  }
  int stateBefore = FState;
  if (uint16_t cmd = lookup(Key, Shift)) return cmd;
  FState = 0;
  return stateBefore == 1 ? ccInvalidSequence : ccNotCommand;
}

std::vector<TCtlStoredTable> TCtlCommandProcessor::WriteTableList() const {
  std::vector<TCtlStoredTable> list;
  for (const auto& t : FTables) {
    TCtlStoredTable s{t->TableName(), t->IsActive(), {}};
    std::vector<TCtlKeyRec> builtIn = BuiltInRows(t->TableName());
    for (const TCtlKeyRec& b : builtIn)
      if (t->IndexOf(b) == -1) s.Pairs.emplace_back(static_cast<int32_t>(b.KeyValue()), 0);
    for (int i = 0; i < t->Count(); ++i) {
      const TCtlKeyRec& r = t->GetCommand(i);
      bool same = false;
      for (const TCtlKeyRec& b : builtIn)
        if (b == r) same = true;
      if (!same) s.Pairs.emplace_back(static_cast<int32_t>(r.KeyValue()), r.Cmd);
    }
    list.push_back(std::move(s));
  }
  return list;
}

void TCtlCommandProcessor::ReadTableList(const std::vector<TCtlStoredTable>& List) {
  Clear();
  for (const TCtlStoredTable& s : List) {
    auto t = std::make_unique<TCtlCommandTable>();
    t->SetTableName(s.Name);
    t->SetIsActive(s.Active);
    for (const TCtlKeyRec& b : BuiltInRows(s.Name)) t->AddCommand(b);
    for (const auto& [keyValue, cmd] : s.Pairs) {
      TCtlKeyRec r = TCtlKeyRec::FromKeyValue(static_cast<uint32_t>(keyValue), static_cast<uint16_t>(cmd));
      int i = t->IndexOf(r);
      if (i == -1)
        t->AddCommand(r);
      else if (cmd != 0)
        t->ChangeCommand(i, r);
      else
        t->DeleteCommand(i);
    }
    Add(std::move(t));
  }
}

uint16_t TCtlCommandProcessor::TranslateKey(uint16_t Key) { return Translate(Key, CurrentShiftBits()); }
