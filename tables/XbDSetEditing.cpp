// The table data set's editing: posting, deleting and cancelling records, and blob fields.
#include "tables/XbDSet.h"

#include <cstring>

#include "tables/XBE7.h"
#include "tables/XbEngineReport.h"
#include "tables/XbExprText.h"

using namespace XbEngineReport;
using namespace XbExprText;

namespace {

constexpr int32_t kMemoTextLimit = 65535;
constexpr int32_t kPropGetDeleted = xbPropGetDeleted;

}  // namespace

void TXbTable::writeRecord(TRecordBuffer buffer) {
  // The engine keeps the record until the commit: a memo that fails takes the whole change
  // back, so a failed post leaves the table as it was.
  uint64_t mark = EngineMark();
  XbOps::PutRecord(*this, FRaw.data());
  writeBlobs(buffer);
  XbOps::Commit(*this);
  if (AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString(); !reason.empty())
    HandleError(Contains(reason, "locked") ? WithReason(kLockFailure, reason) : reason);
}

// ---- blobs

TApBlobStream::TApBlobStream(TXbTable* table, TField* field, TBlobStreamMode mode)
    : FTable(table), FField(field), FMode(mode), FBuffer(table->Active() ? table->fieldBuffer() : nullptr) {
  TXbTable::TBlobSlot* slot = table->blobSlot(FBuffer, field);
  if (!slot) return;
  bool calc = table->State() == dsCalcFields;
  if (mode != bmWrite && (calc || !field->IsNull())) {
    if (!slot->Loaded || table->SpeedMode() || calc || table->State() == dsOldValue) {
      table->select();
      uint64_t mark = EngineMark();
      int32_t keep = XbOps::RecNo(*table);
      int32_t rec = table->bookmarkOf(FBuffer);
      if (rec > 0) XbOps::Go(*table, rec);
      AnsiString name = field->FieldName();
      int32_t length = table->TableType() == ttXBNTX ? 0 : XbOps::GetBlobLength(*table, name);
      delete[] slot->Data;
      slot->Data = nullptr;
      if (field->DataType() == ftMemo && length < kMemoTextLimit) {
        char* text = XbOps::GetMemo(*table, name, 0);
        std::size_t n = text ? std::strlen(text) : 0;
        if (table->TableType() == ttXBNTX || n < std::size_t(length)) length = int32_t(n);
        slot->Data = new char[std::size_t(length) + 1]();
        if (text) std::memcpy(slot->Data, text, std::size_t(length));
        if (text) XbOps::MemDealloc(*table, text);
      } else {
        slot->Data = new char[std::size_t(length) + 1]();
        if (length > 0) XbOps::GetBlob(*table, name, slot->Data);
      }
      slot->Length = length;
      slot->Loaded = 1;
      // A damaged memo is reported, not shown as an empty one.
      AnsiString reason = table->local() ? EngineErrorSince(mark) : AnsiString();
      if (keep > 0) XbOps::Go(*table, keep);
      if (!reason.empty()) {
        slot->Loaded = 0;
        table->HandleError(reason);
      }
    }
  }
  if (table->Active() && mode != bmWrite && slot->Data) {
    Write(slot->Data, slot->Length);
    Seek(0, soFromBeginning);
  }
}

TApBlobStream::~TApBlobStream() {
  if (FMode == bmRead) return;
  TXbTable::TBlobSlot* slot = FTable->blobSlot(FBuffer, FField);
  if (!slot) return;
  // The new contents replace the old ones, whose buffer goes.
  char* data = new char[std::size_t(Size()) + 1]();
  if (Size() > 0) std::memcpy(data, Memory(), std::size_t(Size()));
  delete[] slot->Data;
  slot->Data = data;
  slot->Length = int32_t(Size());
  slot->Modified = 1;
  slot->Loaded = 1;
  int no = FField->FieldNo();
  if (no > 0 && no < int(FTable->FInfo.size()) && FTable->FInfo[std::size_t(no)].BufferOffset >= 0)
    FBuffer[FTable->FInfo[std::size_t(no)].BufferOffset] = Size() > 0 ? 1 : 0;
  try {
    FTable->DataEvent(deFieldChange, FField);
  } catch (...) {
  }
}

std::unique_ptr<TStream> TXbTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return std::make_unique<TApBlobStream>(this, field, mode);
}

void TXbTable::writeBlobs(TRecordBuffer buffer) {
  for (TField* f : FBlobFields) {
    TBlobSlot* slot = blobSlot(buffer, f);
    if (!slot || !slot->Modified) continue;
    AnsiString name = f->FieldName();
    uint64_t mark = EngineMark();
    if (f->DataType() == ftMemo) {
      AnsiString text(slot->Data ? slot->Data : "", std::size_t(slot->Length));
      XbOps::Replace(*this, name, xbReplaceText, text.c_str());
      // The engine answers nothing; a memo it could not store shows in its report or its length.
      AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString();
      if (!reason.empty() || XbOps::GetBlobLength(*this, name) != int32_t(std::strlen(text.c_str())))
        HandleError(WithReason("Blob Write Error", reason));
    } else if (XbOps::PutBlob(*this, name, slot->Data, slot->Length) != slot->Length) {
      HandleError(WithReason("Blob Write Error", local() ? EngineErrorSince(mark) : AnsiString()));
    }
  }
  for (TField* f : FBlobFields)
    if (TBlobSlot* slot = blobSlot(buffer, f)) slot->Modified = 0;
}

// ---- editing

void TXbTable::InternalEdit() {
  if (!FWorkArea) return;
  select();
  int32_t rec = FSpeedMode ? XbOps::RecNo(*this) : bookmarkOf(ActiveBuffer());
  uint64_t mark = EngineMark();
  if (!XbOps::Rlock(*this, rec) && errorModeOn())
    HandleError(WithReason(kLockFailure, local() ? EngineErrorSince(mark) : AnsiString()));
  if (local() && XbOps::Alias(*this, FWorkArea).empty()) return;
  XbOps::Go(*this, rec);
  XbOps::GetRecord(*this, FRaw.data());
  decodeRecord(ActiveBuffer(), FRaw.data());
}

void TXbTable::InternalCancel() {
  if (!FWorkArea) return;
  select();
  XbOps::Unlock(*this, 0);
  if (State() == dsInsert)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, FInsertRecNo, bfCurrent);
}

void TXbTable::bookmarkAfterWrite() {
  if (FSpeedMode) return;
  if (TRecordBuffer b = ActiveBuffer())
    setBookmark(b, XbOps::RecNo(*this), XbOps::Eof(*this) ? TBookmarkFlag(kBookmarkInserted) : bfCurrent);
}

void TXbTable::InternalPost() {
  select();
  bool inserting = State() == dsInsert;
  // Encoded and checked before anything reaches the engine.
  encodeRecord(ActiveBuffer(), inserting);
  if (inserting) {
    XbOps::AppendBlank(*this);
    countStale();
  }
  writeRecord(ActiveBuffer());
  XbOps::Unlock(*this, 0);
  bookmarkAfterWrite();
}

void TXbTable::InternalAddRecord(TRecordBuffer buffer, bool) {
  if (FReadOnly && errorModeOn()) HandleError("Cannot modify a read-only data set");
  select();
  encodeRecord(buffer, true);
  XbOps::AppendBlank(*this);
  countStale();
  writeRecord(buffer);
  bookmarkAfterWrite();
}

void TXbTable::InternalDelete() {
  if (FReadOnly && errorModeOn()) HandleError("Cannot modify a read-only data set");
  select();
  int32_t raw = XbOps::RecCount(*this);
  // Empty means no record to stand on; the last physical record is one like any other.
  bool empty = raw == 0 || (FSpeedMode ? XbOps::RecNo(*this) > raw : XbOps::Eof(*this) != 0);
  if (empty && errorModeOn()) HandleError("Cannot perform this operation on an empty table");
  if (empty) return;
  // A record another holds for editing is not deleted from under that edit.
  int32_t here = XbOps::RecNo(*this);
  uint64_t mark = EngineMark();
  if (!XbOps::Rlock(*this, here)) {
    if (errorModeOn()) HandleError(WithReason(kLockFailure, local() ? EngineErrorSince(mark) : AnsiString()));
    return;
  }
  if (Contains(UpperCase(FIndexCondition), "DELETED()") || XbOps::SysProp(*this, kPropGetDeleted, 0) != 0) {
    XbOps::Skip(*this, 1);
    int32_t neighbour = XbOps::Eof(*this) ? 0 : XbOps::RecNo(*this);
    XbOps::Go(*this, here);
    XbOps::Delete(*this);
    XbOps::Unlock(*this, here);
    if (neighbour) XbOps::Go(*this, neighbour);
    else XbOps::GoBottom(*this);
  } else {
    XbOps::Delete(*this);
    XbOps::Unlock(*this, here);
  }
  bookmarkAfterWrite();
  countStale();
  if (AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString(); !reason.empty())
    HandleError(Contains(reason, "locked") ? WithReason(kLockFailure, reason) : reason);
}
