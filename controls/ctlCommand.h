// Command tables: key sequences mapped to command codes, and the processor that translates keys.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

// Command codes; a code is the command's position in this list.
enum : uint16_t {
  ccNone, ccBack, ccBotOfPage, ccBotRightCell, ccCompleteDate, ccCompleteTime, ccCopy, ccCtrlChar, ccCut,
  ccDec, ccDel, ccDelBol, ccDelEol, ccDelLine, ccDelWord, ccDown, ccEnd, ccExtendDown, ccExtendEnd,
  ccExtendHome, ccExtendLeft, ccExtendPgDn, ccExtendPgUp, ccExtendRight, ccExtendUp, ccExtBotOfPage,
  ccExtFirstPage, ccExtLastPage, ccExtTopOfPage, ccExtWordLeft, ccExtWordRight, ccFirstPage,
  ccGotoMarker0, ccGotoMarker1, ccGotoMarker2, ccGotoMarker3, ccGotoMarker4, ccGotoMarker5, ccGotoMarker6,
  ccGotoMarker7, ccGotoMarker8, ccGotoMarker9, ccHome, ccInc, ccIns, ccLastPage, ccLeft, ccNewLine,
  ccNextPage, ccPageLeft, ccPageRight, ccPaste, ccPrevPage, ccRedo, ccRestore, ccRight, ccScrollDown,
  ccScrollUp, ccSetMarker0, ccSetMarker1, ccSetMarker2, ccSetMarker3, ccSetMarker4, ccSetMarker5,
  ccSetMarker6, ccSetMarker7, ccSetMarker8, ccSetMarker9, ccTab, ccTableEdit, ccTopLeftCell, ccTopOfPage,
  ccUndo, ccUp, ccWordLeft, ccWordRight,
};

// Results of a translation that are no command.
constexpr uint16_t ccNotCommand = 252;       // handle the key normally
constexpr uint16_t ccInvalidSequence = 254;  // a first key whose second key has no entry
constexpr uint16_t ccPartial = 255;          // wait for the next key
constexpr uint16_t ccUserFirst = 256;
constexpr uint16_t ccLastCommand = ccWordRight;

// The display name of a command code: the library's text for a built-in command, "ccUser<n>"
// for a user command, "Unknown" for any other code.
AnsiString CommandName(uint16_t Cmd);

// Shift-state bits of key records.
constexpr uint8_t cksShift = 2;
constexpr uint8_t cksCtrl = 4;
constexpr uint8_t cksAlt = 8;
constexpr uint8_t cksAny = 128;  // second key: no shift, or Ctrl

constexpr uint8_t CtlShiftState(bool shift, bool ctrl, bool alt) {
  return static_cast<uint8_t>((shift ? cksShift : 0) | (ctrl ? cksCtrl : 0) | (alt ? cksAlt : 0));
}

// One key sequence and its command; the 6-byte unit of every table.
struct TCtlKeyRec {
  uint8_t Key1 = 0;
  uint8_t Shift1 = 0;
  uint8_t Key2 = 0;  // 0 for a one-key command
  uint8_t Shift2 = 0;
  uint16_t Cmd = 0;

  // Bytes 0-3 as one little-endian value: equal values are the same key sequence.
  uint32_t KeyValue() const {
    return uint32_t(Key1) | uint32_t(Shift1) << 8 | uint32_t(Key2) << 16 | uint32_t(Shift2) << 24;
  }
  static TCtlKeyRec FromKeyValue(uint32_t keyValue, uint16_t cmd);
  friend bool operator==(const TCtlKeyRec&, const TCtlKeyRec&) = default;
};
static_assert(sizeof(TCtlKeyRec) == 6);

class TCtlCommandTable : public TPersistent {
public:
  const AnsiString& TableName() const { return FTableName; }
  void SetTableName(const AnsiString& Value) { FTableName = Value; }
  bool IsActive() const { return FIsActive; }
  void SetIsActive(bool Value) { FIsActive = Value; }

  int AddCommand(const TCtlKeyRec& Rec);
  void InsertCommand(int Index, const TCtlKeyRec& Rec);
  void ChangeCommand(int Index, const TCtlKeyRec& Rec);
  void DeleteCommand(int Index);
  int Count() const { return static_cast<int>(FCommands.size()); }
  const TCtlKeyRec& GetCommand(int Index) const;
  // The first record with the same key value, or -1.
  int IndexOf(const TCtlKeyRec& Rec) const;
  void Clear() { FCommands.clear(); }

  // Line 1 the name, then Key1 Shift1 Key2 Shift2 Cmd per line; failures raise EInOutError.
  void LoadFromFile(const AnsiString& FileName);
  void SaveToFile(const AnsiString& FileName) const;

private:
  void checkIndex(int Index, bool allowEnd) const;

  AnsiString FTableName = "(Unknown)";
  bool FIsActive = true;
  std::vector<TCtlKeyRec> FCommands;
};

// One table as the form data keeps it: name, state and (key value, command) pairs.
struct TCtlStoredTable {
  AnsiString Name;
  bool Active = true;
  std::vector<std::pair<int32_t, int32_t>> Pairs;
};

class TCtlCommandProcessor : public TPersistent {
public:
  // Holds the built-in "Default" (active), "WordStar" and "Grid" tables.
  TCtlCommandProcessor();
  TCtlCommandProcessor(const TCtlCommandProcessor&) = delete;
  TCtlCommandProcessor& operator=(const TCtlCommandProcessor&) = delete;

  // Gives the table a name no other table has, appends it and returns its index.
  int Add(std::unique_ptr<TCtlCommandTable> Table);
  void AddCommand(const AnsiString& TableName, const TCtlKeyRec& Rec);
  int CreateCommandTable(const AnsiString& Name, bool Active);
  TCtlCommandTable* GetTable(const AnsiString& Name) const;
  int LoadCommandTable(const AnsiString& FileName);
  void SaveCommandTable(const AnsiString& TableName, const AnsiString& FileName) const;
  void Clear() { FTables.clear(); }
  int Count() const { return static_cast<int>(FTables.size()); }
  TCtlCommandTable& Tables(int Index) const;

  void ResetCommandProcessor();
  // Shift is made of cksShift, cksCtrl and cksAlt.
  uint16_t Translate(uint16_t Key, uint8_t Shift);
  // The key code of a key-down message, with the shift state read from the keyboard.
  uint16_t TranslateKey(uint16_t Key);
  int SequenceState() const { return FState; }

  // "TableList" of the form data: built-in tables keep only their differences from the built-in rows.
  bool HasTableList() const { return !FTables.empty(); }
  std::vector<TCtlStoredTable> WriteTableList() const;
  void ReadTableList(const std::vector<TCtlStoredTable>& List);

  // The rows of a built-in table name (any letter case); empty for other names.
  static std::vector<TCtlKeyRec> BuiltInRows(const AnsiString& TableName);

private:
  uint16_t lookup(uint16_t key, uint8_t shift);

  std::vector<std::unique_ptr<TCtlCommandTable>> FTables;
  int FState = 0;  // 0 idle, 1 first key of a pair seen, 2 next key taken literally
  uint8_t FFirstKey = 0;
  uint8_t FFirstShift = 0;
};
