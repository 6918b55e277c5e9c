// The table data set's navigation: fetching records, moving, record numbers and counts, orders,
// filters and scopes, master and detail.
#include "tables/XbDSet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/rtl/Files.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"
#include "tables/XbExprText.h"

using namespace XbExprText;

namespace {

constexpr int32_t kAnyPosition = -2;
constexpr int32_t kPropOrderCount = xbPropOrderCount;
constexpr int32_t kPropDescending = xbPropOrderDescending;

// The key fields of an index expression, joined with ";".
AnsiString KeyFieldsOf(const AnsiString& expression) {
  AnsiString e = expression + "+", name, out;
  int depth = 0;
  auto flush = [&] {
    if (!name.empty() && name.find_first_of("=<>$#") == AnsiString::npos && !std::isdigit(static_cast<unsigned char>(name[0])))
      out += (out.empty() ? "" : ";") + name;
    name.clear();
  };
  for (char c : e) {
    if (c == ' ') continue;
    if (c == '(') {
      ++depth;
      name.clear();
    } else if (c == ')') {
      flush();
      if (depth) --depth;
    } else if (c == ',' && depth) {
      flush();
    } else if (c == '+' || c == '-') {
      flush();
    } else {
      name += c;
    }
  }
  return out;
}

}  // namespace

// ---- fetching

void TXbTable::selectSlow() {
  if (local() && !FServerMoved) return XbeEntry(xb_Select)(FWorkArea);
  XbOps::Select(*this, FWorkArea);
  if (!FServerMoved) return;
  FServerMoved = false;
  if (FCurrentRecNo > 0) XbOps::Go(*this, FCurrentRecNo);
}

TGetResult TXbTable::fetchFromServer(TGetMode mode) {
  bool forward = mode == gmNext;
  if ((FAtFirst && !forward) || (FAtLast && forward)) return forward ? grEOF : grBOF;
  std::size_t next = std::size_t(FFetchPosition + 1);
  if (FFetchPosition < 0 || FFetchForward != forward || next >= FFetchFilled) {
    TXbTraverseRequest q;
    q.Forward = forward;
    q.Order = FCurrentOrder;
    q.AtFirst = FAtFirst ? 1 : 0;
    q.AtLast = FAtLast ? 1 : 0;
    q.Count = FFetchCount;
    q.RecNo = FCurrentRecNo;
    std::vector<TXbTraverseEntry> entries;
    FXbConnection->TraverseTable(q, FRecSize, entries);
    FServerMoved = true;
    FFetchFilled = std::min(entries.size(), FFetchCache.size());
    for (std::size_t i = 0; i < FFetchFilled; ++i) {
      TFetchEntry& e = FFetchCache[i];
      e.Status = uint8_t(entries[i].Status);
      e.RecNo = entries[i].RecNo;
      e.PositionedRecNo = entries[i].PositionedRecNo;
      e.Raw.assign(entries[i].Record.begin(), entries[i].Record.end());
    }
    FFetchForward = forward;
    next = 0;
  }
  FFetchPosition = -1;
  if (next >= FFetchFilled) return forward ? grEOF : grBOF;
  const TFetchEntry& e = FFetchCache[next];
  if (e.Status == xbTraverseEnd) return grEOF;
  if (e.Status == xbTraverseBegin) return grBOF;
  if (e.Status != xbTraverseOK) return grError;
  FFetchPosition = int32_t(next);
  FCurrentRecNo = e.RecNo;
  FPositionedRecNo = e.PositionedRecNo;
  std::memcpy(FRaw.data(), e.Raw.data(), std::min(e.Raw.size(), FRaw.size()));
  return grOK;
}

bool TXbTable::stepRecord(int32_t count, TRecordBuffer buffer) {
  int32_t reached = xb_SkipRecord(count, buffer + FRawOffset);
  FStepTouches = reached > 0 && XbeTouches ? *XbeTouches : 0;
  if (reached > 0) FCurrentRecNo = reached;
  return reached > 0;
}

TGetResult TXbTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
  // The common step of a walk through the local engine, with no filter handler to ask: one
  // call moves and brings the record.
  if (mode != gmCurrent && !FAtFirst && !FAtLast && local() && !FServerMoved && xb_SkipRecord && xb_Select &&
      !(Filtered() && OnFilterRecord)) {
    xb_Select(FWorkArea);
    bool stepped = stepRecord(mode == gmNext ? 1 : -1, buffer);
    if (!stepped) return stepEnded(buffer, mode);
    FPositionedRecNo = kAnyPosition;
    if (FSlotsRewritten && !FEncrypted) {
      // Each field's slot is written whole when the field is first read, and the calculated
      // ones are cleared below: marking the slots is all that the new record needs.
      for (int flag : FUndecodedFlags) buffer[flag] = kUndecoded;
    } else {
      InternalInitRecord(buffer);
      decodeRecord(buffer, buffer + FRawOffset);
    }
    setBookmark(buffer, FCurrentRecNo, bfCurrent);
    GetCalcFields(buffer);
    return grOK;
  }
  return getRecord(buffer, mode, doCheck);
}

TGetResult TXbTable::stepEnded(TRecordBuffer buffer, TGetMode mode) {
  if (mode == gmNext) XbOps::GoBottom(*this);
  else XbOps::GoTop(*this);
  XbOps::RecNo(*this);
  FPositionedRecNo = kAnyPosition;
  InternalInitRecord(buffer);
  return mode == gmNext ? grEOF : grBOF;
}

TGetResult TXbTable::getRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
  TGetResult result = grOK;
  for (;;) {
    // A server table walks through batches of records; every other move asks the engine.
    bool batch = !local() && mode != gmCurrent;
    if (batch) XbOps::Select(*this, FWorkArea);
    else select();
    result = grOK;
    // A step the engine took in one call, the record already in the buffer.
    bool stepped = false;
    bool walk = !batch && mode != gmCurrent && !FAtFirst && !FAtLast;
    if (walk && xb_SkipRecord) {
      stepped = stepRecord(mode == gmNext ? 1 : -1, buffer);
      if (!stepped) {
        if (mode == gmNext) XbOps::GoBottom(*this);
        else XbOps::GoTop(*this);
        XbOps::RecNo(*this);
        result = mode == gmNext ? grEOF : grBOF;
      }
    } else if (batch) {
      result = fetchFromServer(mode);
    } else {
      int32_t before = walk ? XbOps::RecNo(*this) : 0;
      // The record number as the engine answered it after the move, when nothing moved since.
      bool recNoKnown = false;
      switch (mode) {
        case gmCurrent:
          if (XbOps::Bof(*this) && XbOps::Eof(*this)) {
            result = grEOF;
          } else if (XbOps::Eof(*this)) {
            if (FEOFAction == eaMoveLast) {
              XbOps::GoBottom(*this);
              if (XbOps::Eof(*this)) result = grEOF;
            } else {
              result = grEOF;
            }
          }
          break;
        case gmNext:
          if (FAtFirst) XbOps::GoTop(*this);
          else XbOps::Skip(*this, 1);
          if (XbOps::Eof(*this) || XbOps::RecNo(*this) == before) {
            XbOps::GoBottom(*this);
            result = grEOF;
          } else {
            recNoKnown = true;
          }
          break;
        case gmPrior:
          if (FAtLast) XbOps::GoBottom(*this);
          else XbOps::Skip(*this, -1);
          if (XbOps::Bof(*this) || XbOps::RecNo(*this) == before) {
            XbOps::GoTop(*this);
            result = grBOF;
          }
          break;
      }
      if (!recNoKnown) XbOps::RecNo(*this);
    }
    // Once moved, the next try goes on from the record reached: a filtered-out first or last
    // record must not end the walk.
    FAtFirst = FAtLast = false;
    if (!batch) FPositionedRecNo = kAnyPosition;
    InternalInitRecord(buffer);
    if (result == grOK) {
      if (!batch && !stepped) XbOps::GetRecord(*this, FRaw.data());
      decodeRecord(buffer, stepped ? buffer + FRawOffset : FRaw.data());
      setBookmark(buffer, FCurrentRecNo, bfCurrent);
      GetCalcFields(buffer);
    }
    if (result == grOK && Filtered() && OnFilterRecord) {
      // A table's filter handler that fails leaves the record as it decided so far.
      bool accept = true;
      try {
        FilterRecord(buffer, accept);
      } catch (...) {
      }
      select();
      if (!accept) {
        if (mode == gmCurrent) {
          result = grEOF;
          break;
        }
        continue;
      }
    }
    break;
  }
  if (result == grError && doCheck) HandleError("Cannot perform this operation on an empty table");
  FAtFirst = FAtLast = false;
  return result;
}

void TXbTable::InternalFirst() {
  select();
  XbOps::GoTop(*this);
  FFetchPosition = -1;
  FAtFirst = true;
  FAtLast = false;
  FCurrentRecNo = 0;
}

void TXbTable::InternalLast() {
  FFetchPosition = -1;
  select();
  XbOps::GoBottom(*this);
  FAtLast = true;
  FAtFirst = false;
}

void TXbTable::InternalSetToRecord(TRecordBuffer buffer) {
  if (!FWorkArea) return;
  FFetchPosition = -1;
  select();
  int32_t rec = bookmarkOf(buffer);
  if (rec > 0) XbOps::Go(*this, rec);
}

void TXbTable::UpdateCursorPos() {
  if (FWorkArea) select();
  // In speed mode the engine's record pointer is the cursor; the buffers may lag behind it.
  if (FSpeedMode) return CursorPosChanged();
  TDataSet::UpdateCursorPos();
}

void TXbTable::DoOnNewRecord() {
  // A detail's new record starts with its master's key.
  if (FWorkArea && FMasterLink->Active() && !FMasterLink->Fields().empty()) {
    select();
    std::vector<AnsiString> keys = SplitFieldNames(XbOps::IndexKeyField(*this));
    const std::vector<TField*>& master = FMasterLink->Fields();
    for (std::size_t i = 0; i < keys.size() && i < master.size(); ++i)
      if (TField* f = FindField(keys[i])) f->SetAsVariant(master[i]->AsVariant());
  }
  TDataSet::DoOnNewRecord();
}

void TXbTable::InternalGotoBookmark(const void* bookmark) {
  int32_t rec = 0;
  std::memcpy(&rec, bookmark, 4);
  select();
  XbOps::Go(*this, rec);
  if (rec < 1 || XbOps::Eof(*this)) HandleError("Invalid bookmark");
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
}

void TXbTable::InternalHandleException() { TDataSet::InternalHandleException(); }

int TXbTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.size() < 4 || b.size() < 4) return 2;
  int32_t ra = 0, rb = 0;
  std::memcpy(&ra, a.data(), 4);
  std::memcpy(&rb, b.data(), 4);
  auto byRecNo = [&] { return ra < rb ? -1 : ra > rb ? 1 : 0; };
  if (FIndexName.empty() || !FWorkArea) return byRecNo();
  select();
  int32_t keep = XbOps::RecNo(*this);
  AnsiString key = XbOps::IndexKey(*this);
  int32_t type = XbOps::EvalTest(*this, key);
  // Keys compare by their own kind: numbers as numbers, texts byte by byte as blank-padded
  // texts, so no key text is ever put into an expression.
  auto keyOf = [&](int32_t rec, double& num) {
    XbOps::Go(*this, rec);
    if (type == 2) {
      num = XbOps::EvalNumeric(*this, key);
      return AnsiString();
    }
    if (type == 3) return AnsiString(XbOps::EvalLogical(*this, key) ? "T" : "F");
    return XbOps::EvalString(*this, key);
  };
  double na = 0, nb = 0;
  AnsiString ka = keyOf(ra, na), kb = keyOf(rb, nb);
  int c = 0;
  if (type == 2) {
    c = na < nb ? -1 : na > nb ? 1 : 0;
  } else {
    std::size_t n = std::max(ka.size(), kb.size());
    ka.resize(n, ' ');
    kb.resize(n, ' ');
    c = ka < kb ? -1 : ka > kb ? 1 : 0;
  }
  if (c != 0 && XbOps::SysProp(*this, kPropDescending, 0) != 0) c = -c;
  XbOps::Go(*this, keep);
  return c != 0 ? c : byRecNo();
}

// ---- moving

bool TXbTable::Bof() const {
  if (!FSpeedMode || !FWorkArea) return TDataSet::Bof();
  auto* self = const_cast<TXbTable*>(this);
  self->select();
  return XbOps::Bof(*self) ? true : TDataSet::Bof();
}

bool TXbTable::Eof() const {
  if (!FWorkArea) return TDataSet::Eof();
  // Nothing reached a work area since the step onto this record: the engine is not at the end.
  if (FStepTouches && XbeTouches && *XbeTouches == FStepTouches) return TDataSet::Eof();
  auto* self = const_cast<TXbTable*>(this);
  self->select();
  if (local()) return XbeEntry(xb_Eof)() != 0 || TDataSet::Eof();
  return XbOps::Eof(*self) ? true : TDataSet::Eof();
}

void TXbTable::BeforeMove() {
  if (FSpeedMode) return;
  CheckBrowseMode();
  if (!ControlsDisabled()) DoBeforeScroll();
}

void TXbTable::AfterMove() {
  if (!FSpeedMode) DoAfterScroll();
}

void TXbTable::directMove(int distance) {
  if (distance > 1 || distance < -1) FFetchPosition = -1;
  if (distance > 0) FAtFirst = false;
  if (distance < 0) FAtLast = false;
  select();
  XbOps::Skip(*this, distance);
}

int TXbTable::MoveBy(int distance) {
  FFetchPosition = -1;
  if (!FSpeedMode) return TDataSet::MoveBy(distance);
  directMove(distance);
  return distance;
}

void TXbTable::Next() {
  if (FSpeedMode) directMove(1);
  else MoveBy(1);
}

void TXbTable::Prior() {
  if (FSpeedMode) directMove(-1);
  else MoveBy(-1);
}

// ---- record numbers and counts

int32_t TXbTable::RecCount() {
  if (!FWorkArea) return 0;
  select();
  return XbOps::RecCount(*this);
}

int TXbTable::RecordCount() {
  if (!FWorkArea) return 0;
  // The table may be shared: a count another program changed is no longer the count.
  if (local() && !FCountStale && FRecordCount >= 0) {
    select();
    if (XbOps::RecCount(*this) != FRawCount) countStale();
  }
  if (FCountStale || FRecordCount < 0) {
    select();
    FRawCount = XbOps::RecCount(*this);
    switch (FSequencedCount) {
      case scAllCount: FRecordCount = XbOps::Count(*this); break;
      case scFilterOnlyCount: FRecordCount = XbOps::QueryRecCount(*this); break;
      default: FRecordCount = FRawCount; break;
    }
    FCountStale = false;
  }
  return FRecordCount;
}

double TXbTable::orderPosition() {
  // The server answers no position in an order; its record number stands in.
  if (!local()) return FCurrentRecNo;
  return XbeEntry(xb_OrderPosGet)();
}

int TXbTable::RecNo() {
  if (!FWorkArea || !FCursorOpen) return 0;
  select();
  if (FCurrentOrder == 0 || FTableType == ttXBNTX) {
    if (FSpeedMode) return XbOps::RecNo(*this);
    TRecordBuffer b = State() == dsCalcFields ? FCalcBuffer : ActiveBuffer();
    return b ? bookmarkOf(b) : FCurrentRecNo;
  }
  if (!local()) return FCurrentRecNo;
  UpdateCursorPos();
  // Positions count the records the order shows (deleted ones hidden, scope, filter); the
  // engine's fraction times that count lands between two whole numbers: round, not cut.
  int32_t count = XbOps::Count(*this);
  return static_cast<int>(std::lround(orderPosition() * count));
}

int32_t TXbTable::PhysicalRecNo() {
  if (FSpeedMode && FWorkArea) {
    select();
    return XbOps::RecNo(*this);
  }
  TRecordBuffer b = State() == dsCalcFields ? FCalcBuffer : ActiveBuffer();
  return b ? bookmarkOf(b) : 0;
}

void TXbTable::SetRecNo(int value) {
  if (!FWorkArea) return;
  select();
  if (FSpeedMode) {
    XbOps::Go(*this, value);
    return;
  }
  BeforeMove();
  select();
  int32_t rec = value;
  if (FCurrentOrder != 0 && FTableType != ttXBNTX && local()) {
    // In an order the number is a position, as RecNo answers it.
    int32_t count = XbOps::Count(*this);
    XbOps::Go(*this, value);
    if (count > 0) XbOps::OrderPosSet(*this, double(value) / count);
    rec = XbOps::RecNo(*this);
  }
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
  FFetchPosition = -1;
  Resync(0);
  AfterMove();
}

int32_t TXbTable::IndexOrd() {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  select();
  return XbOps::IndexOrd(*this);
}

bool TXbTable::IsEncrypted() {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  select();
  return XbOps::IsEncrypted(*this, 0) != 0;
}

AnsiString TXbTable::IndexKeyFields() {
  if (!FWorkArea) return AnsiString();
  select();
  return XbOps::IndexKeyField(*this);
}

void TXbTable::Resync(TResyncMode mode) {
  if (FWorkArea && !FSpeedMode && Active()) {
    select();
    if (TRecordBuffer b = ActiveBuffer(); b && bookmarkOf(b) > 0) XbOps::Go(*this, bookmarkOf(b));
  }
  TDataSet::Resync(mode);
}

void TXbTable::Refresh() {
  if (!FWorkArea) return;
  select();
  AnsiString filter = XbOps::DBFilter(*this);
  if (!filter.empty() && XbOps::QueryTest(*this, filter) > 0) {
    int32_t rec = PhysicalRecNo();
    XbOps::Query(*this, filter);
    countStale();
    if (rec > 0) XbOps::Go(*this, rec);
    if (Active()) TDataSet::Resync(0);
    return;
  }
  if (Active()) Resync(0);
}

// ---- orders

AnsiString TXbTable::completeIndexFile(const AnsiString& name, const char* ext) const {
  AnsiString file = name;
  if (ExtractFilePath(file).empty()) file = FDataPath + file;
  if (ExtractFileExt(file).empty()) file += ext;
  return file;
}

void TXbTable::SetIndexName(const AnsiString& value) {
  if (value == FIndexName) return;
  if (FTableType == ttXBNTX && SameText(ExtractFileName(value).substr(0, ExtractFileName(value).find('.')),
                                        ExtractFileName(FIndexName).substr(0, ExtractFileName(FIndexName).find('.'))) &&
      !value.empty() && !FIndexName.empty())
    return;
  FIndexName = value;
  if (FWorkArea) applyIndexName(false);
}

void TXbTable::applyIndexName(bool) {
  if (Active()) CheckBrowseMode();
  select();
  int32_t order = 0;
  if (!FIndexName.empty()) {
    bool fileOrder = FTableType == ttXBNTX || (local() && UpperCase(ExtractFileExt(FIndexName)) == ".IDX");
    if (fileOrder) {
      for (int i = 0; i < FExtraIndexes->Count(); ++i)
        if (SameText((*FExtraIndexes)[i], FIndexName)) order = i + 1;
      if (!order) {
        AnsiString file = completeIndexFile(FIndexName, FTableType == ttXBNTX ? ".NTX" : ".IDX");
        if (XbOps::TableFileExists(*this, file)) {
          order = XbOps::IndexOpen(*this, file);
          FIndexDefs->SetUpdated(false);
          UpdateIndexDefs();
        }
      }
    } else {
      order = XbOps::TagArea(*this, FIndexName);
    }
    if (order == 0 && Active() && (!local() || errorModeOn())) HandleError("Invalid IndexName value : " + FIndexName);
  }
  select();
  XbOps::SetOrder(*this, order);
  countStale();
  CursorPosChanged();
  if (Active()) {
    if (local() && FMasterLink->Active()) {
      FMasterIndexName.clear();
      applyMaster();
    }
    Resync(0);
  }
}

void TXbTable::SetExtraIndexes(const TStrings& value) {
  FExtraIndexes->Assign(value);
}

void TXbTable::ExtraIndexesChanged() {
  FIndexName.clear();
  if (!FWorkArea) return;
  OpenExtraIndexes();
  FIndexDefs->SetUpdated(false);
  UpdateIndexDefs();
}

void TXbTable::OpenExtraIndexes() {
  if (!FWorkArea) return;
  select();
  int32_t remembered = XbOps::IndexOrd(*this);
  AnsiString defaultIndex = ChangeFileExt(TableFile(), defaultIndexExtension());
  if (!XbOps::TableFileExists(*this, defaultIndex)) defaultIndex = ChangeFileExt(TableFile(), LowerCase(defaultIndexExtension()));
  // With no extra files, and only the structural index that opened with the table open, closing
  // and building it again would change nothing.
  int32_t orders = XbOps::SysProp(*this, kPropOrderCount, 0);
  bool onlyDefault = FExtraIndexes->Count() == 0 && FTableType != ttXBNTX && orders > 0;
  for (int32_t i = 1; onlyDefault && i <= orders; ++i)
    onlyDefault = SameText(ExtractFileName(XbOps::IndexName(*this, i)), ExtractFileName(defaultIndex));
  if (onlyDefault) {
    CursorPosChanged();
    return;
  }
  XbOps::CloseIndexes(*this);
  if (FTableType != ttXBNTX && XbOps::TableFileExists(*this, defaultIndex)) XbOps::IndexOpen(*this, defaultIndex);
  XbOps::SetOrder(*this, 0);
  static const char* exts[] = {".NTX", ".NTX", ".IDX", ".NSX", ".NSX"};
  for (int i = 0; i < FExtraIndexes->Count(); ++i) {
    AnsiString entry = Trim((*FExtraIndexes)[i]);
    if (entry.empty()) continue;
    AnsiString file = completeIndexFile(entry, exts[std::clamp(int(FTableType), 0, 4)]);
    if (!XbOps::TableFileExists(*this, file)) {
      if (errorModeOn()) HandleError("Invalid IndexName value : " + entry);
      continue;
    }
    int32_t order = XbOps::IndexOpen(*this, file);
    if (!remembered && order) {
      remembered = order;
      FIndexName = file;
    }
  }
  XbOps::SetOrder(*this, remembered);
  countStale();
  if (FCursorOpen && Active()) Resync(0);
  else CursorPosChanged();
}

void TXbTable::UpdateIndexDefs() {
  if (FIndexDefs->Updated() || !FWorkArea) return;
  select();
  FIndexDefs->Clear();
  XbOps::SetStringType(*this, 1);
  int32_t keep = XbOps::IndexOrd(*this);
  int32_t count = XbOps::SysProp(*this, kPropOrderCount, 0);
  for (int32_t i = 1; i <= count; ++i) {
    if (FTableType == ttXBNTX && XbOps::IndexName(*this, i).empty()) continue;
    XbOps::SetOrder(*this, i);
    AnsiString key = UpperCase(XbOps::IndexKey(*this));
    AnsiString file = XbOps::IndexName(*this, i);
    AnsiString name = FTableType == ttXBNTX ? ExtractFileName(file) : XbOps::TagName(*this, i);
    if (name.empty() || key.empty()) HandleError("Invalid Index File or Tag");
    TIndexOptions options = 0;
    AnsiString tableBase = ChangeFileExt(ExtractFileName(TableFile()), "");
    if (FTableType == ttXBNTX || !SameText(ChangeFileExt(ExtractFileName(file), ""), tableBase)) options |= ixNonMaintained;
    int32_t type = XbOps::IndexType(*this);
    if (type == 2 || type == 4) options |= ixUnique;
    if (Contains(key, "UPPER(")) options |= ixCaseInsensitive;
    if (XbOps::SysProp(*this, kPropDescending, 0) != 0) options |= ixDescending;
    if (Contains(key, "+") || Contains(key, "(") || Contains(key, "-")) options |= ixExpression;
    TIndexDef* d = FIndexDefs->AddIndexDef();
    d->SetName(name);
    d->SetOptions(options);
    if (options & ixExpression) d->SetExpression(key);
    else d->SetFields(Contains(key, "+") ? KeyFieldsOf(key) : XbOps::IndexKeyField(*this));
    d->SetSource(file);
  }
  restoreOrder(keep);
  FIndexDefs->SetUpdated(true);
}

// ---- filters and scopes

void TXbTable::SetFilterText(const AnsiString& value) {
  TDataSet::SetFilterText(value);
  if (FWorkArea) applyFilter(Filtered() && !value.empty() ? value : AnsiString());
}

void TXbTable::SetFiltered(bool value) {
  TDataSet::SetFiltered(value);
  if (FWorkArea) applyFilter(value && !Filter().empty() ? Filter() : AnsiString());
}

void TXbTable::applyFilter(const AnsiString& text) {
  select();
  if (FSpeedMode) {
    XbOps::Query(*this, text);
    return;
  }
  if (!text.empty() && XbOps::EvalTest(*this, text) != xbTypeLogical)
    HandleError("Invalid Query Expression\r\r" + text);
  if (Active()) BeforeMove();
  select();
  int32_t result = XbOps::Query(*this, text);
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, XbOps::RecNo(*this), XbOps::Eof(*this) ? TBookmarkFlag(kBookmarkInserted) : bfCurrent);
  FCurrentRecNo = result;
  countStale();
  if (Active()) {
    Resync(0);
    AfterMove();
  }
}

void TXbTable::SetScopeBegin(const AnsiString& value) {
  if (value == FScopeBegin) return;
  FScopeBegin = value;
  if (FScoped) applyScope(FScopeBegin, FScopeEnd);
}

void TXbTable::SetScopeEnd(const AnsiString& value) {
  if (value == FScopeEnd) return;
  FScopeEnd = value;
  if (FScoped) applyScope(FScopeBegin, FScopeEnd);
}

void TXbTable::SetScoped(bool value) {
  if (value == FScoped) return;
  if (value) {
    applyScope(FScopeBegin, FScopeEnd);
  } else {
    AnsiString low = FScopeBegin, high = FScopeEnd;
    applyScope("", "");
    FScopeBegin = low, FScopeEnd = high;
  }
}

void TXbTable::applyScope(const AnsiString& low, const AnsiString& high) {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  if (Active()) CheckBrowseMode();
  select();
  int32_t remembered = XbOps::RecNo(*this);
  XbOps::SetScope(*this, low, high);
  if (!XbOps::Eof(*this)) {
    XbOps::Go(*this, remembered);
    XbOps::Skip(*this, 1);
    if (XbOps::Eof(*this)) XbOps::GoBottom(*this);
    else XbOps::Skip(*this, -1);
  }
  if (!FSpeedMode)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, XbOps::RecNo(*this), bfCurrent);
  countStale();
  if (Active()) Resync(0);
  FScoped = !XbOps::GetScope(*this, 0).empty();
}

// ---- master and detail

TDataSource* TXbTable::MasterSource() const { return FMasterLink->DataSource(); }

void TXbTable::SetMasterSource(TDataSource* value) {
  if (value && value->IsLinkedTo(this)) HandleError("Circular Datasource reference not allowed");
  FMasterLink->SetDataSource(value);
}

AnsiString TXbTable::masterKey() {
  AnsiString key;
  select();
  AnsiString detailKey = UpperCase(XbOps::IndexKey(*this));
  std::vector<AnsiString> detailFields = SplitFieldNames(XbOps::IndexKeyField(*this));
  const std::vector<TField*>& fields = FMasterLink->Fields();
  auto* master = dynamic_cast<TXbTable*>(FMasterLink->DataSet());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    TField* f = fields[i];
    switch (f->DataType()) {
      case ftString: {
        AnsiString s = f->AsString();
        if (int(s.size()) < f->Size()) s.resize(std::size_t(f->Size()), ' ');
        key += s;
        break;
      }
      case ftSmallint:
      case ftInteger:
      case ftWord:
      case ftFloat:
      case ftCurrency: {
        int width = 10;
        if (master && master->FWorkArea) {
          master->select();
          width = XbOps::FieldWidth(*master, f->FieldName());
          select();
        }
        AnsiString digits = f->DataType() == ftFloat || f->DataType() == ftCurrency ? XbNumber(f->AsFloat()) : IntToStr(f->AsInteger());
        bool blanks = i < detailFields.size() && Contains(detailKey, ("STR(" + UpperCase(detailFields[i])).c_str());
        if (int(digits.size()) < width) digits = AnsiString(std::size_t(width) - digits.size(), blanks ? ' ' : '0') + digits;
        key += digits;
        break;
      }
      case ftBoolean: key += f->AsBoolean() ? "T" : "F"; break;
      case ftDate: key += f->IsNull() ? AnsiString(8, ' ') : Dtos(f->AsDateTime()); break;
      default: key += f->AsString(); break;
    }
  }
  return key;
}

void TXbTable::applyMaster() {
  if (!FWorkArea || !Active() || FMasterLink->Fields().empty()) return;
  CheckBrowseMode();
  AnsiString key = masterKey();
  if (key == FMasterKey && FIndexName == FMasterIndexName) return;
  FMasterKey = key;
  FMasterIndexName = FIndexName;
  if (FIndexName.empty()) HandleError("This operation requires an active index order");
  select();
  if (!XbOps::SetScope(*this, key, key)) HandleError("Scope Set failed");
  countStale();
  First();
}

void TXbTable::masterDisabled() {
  FMasterKey.clear();
  if (!FWorkArea || !Active()) return;
  select();
  XbOps::SetScope(*this, "", "");
  Resync(0);
}

void TXbTable::DoBeforeInsert() {
  TDataSet::DoBeforeInsert();
  if (TRecordBuffer b = ActiveBuffer()) FInsertRecNo = bookmarkOf(b);
}

void TXbTable::DoBeforeCancel() {
  if (State() == dsInsert)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, -1, TBookmarkFlag(kBookmarkInserted));
  TDataSet::DoBeforeCancel();
}

void TXbTable::DoAfterCancel() { TDataSet::DoAfterCancel(); }
