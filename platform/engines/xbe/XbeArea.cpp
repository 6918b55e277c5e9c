#include "platform/engines/xbe/XbeArea.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/engines/xbe/XbeDate.h"

namespace xbe {

TSettings& Settings() {
  static TSettings settings;
  return settings;
}

namespace {

// Records read at once while an order is built.
constexpr uint32_t kBuildBatch = 512;

// A record copy; short records, the common kind, without a call: two overlapping halves
// cover any length from 8 to 32.
[[gnu::always_inline]] inline void CopyRecord(char* to, const char* from, std::size_t n) {
  if (n >= 8 && n <= 16) {
    uint64_t head = 0, tail = 0;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n > 16 && n <= 32) {
    char head[16], tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(to, head, 16);
    std::memcpy(to + n - 16, tail, 16);
  } else {
    std::memcpy(to, from, n);
  }
}

std::string TrimBlanks(const std::string& s) {
  std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TType ValueTypeOf(char fieldType) {
  switch (fieldType) {
    case 'N': case 'F': return TType::Numeric;
    case 'D': return TType::Date;
    case 'L': return TType::Logical;
    default: return TType::Character;
  }
}

TKey KeyOfValue(const TValue& v) {
  TKey k;
  switch (v.Type) {
    case TType::Numeric: k.Numeric = true; k.Num = v.Num; break;
    case TType::Date: k.Str = DtosFromDay(v.Day); break;
    case TType::Logical: k.Str = v.Log ? "T" : "F"; break;
    default: k.Str = v.Str; break;
  }
  return k;
}

// Compares a stored key with a seek or scope text over the text's length.
int CompareWithText(const TKey& key, const std::string& text) {
  if (key.Numeric) {
    double v = std::strtod(text.c_str(), nullptr);
    return key.Num < v ? -1 : key.Num > v ? 1 : 0;
  }
  return CompareText(std::string_view(key.Str).substr(0, std::min(key.Str.size(), text.size())), text);
}

bool Exists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WithExtension(const std::string& path, const char* ext) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  return ((dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path) + ext;
}

// The file's contents when it is one of this engine's index files, else nothing.
bool ReadOwnIndex(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string first;
  if (!std::getline(in, first)) return false;
  if (!first.empty() && first.back() == '\r') first.pop_back();
  if (TrimBlanks(first) != kIndexSignature) return false;
  in.seekg(0, std::ios::end);
  auto size = static_cast<std::size_t>(in.tellg());
  if (size > kMaxIndexFileSize)
    throw EDbfError("Index file " + path + " is larger than " + std::to_string(kMaxIndexFileSize) + " bytes");
  in.seekg(0);
  text.assign(size, '\0');
  in.read(text.data(), std::streamsize(size));
  return true;
}

}  // namespace

// An expression's view of one record of the work area.
class TWorkArea::TView final : public TRecordSource {
public:
  TView(const TWorkArea& area, const std::string& record) : FArea(area), FRecord(record) {}
  int FieldIndex(std::string_view name) const override { return FArea.Dbf().FieldIndex(name); }
  TType FieldValueType(int i) const override { return ValueTypeOf(FArea.Dbf().Fields()[std::size_t(i)].Type); }
  const std::string& FieldNameAt(int i) const override { return FArea.Dbf().Fields()[std::size_t(i)].Name; }
  TValue FieldValue(int i) const override { return FArea.FieldValue(FRecord, i); }
  bool RecordDeleted() const override { return !FRecord.empty() && FRecord[0] == '*'; }

private:
  const TWorkArea& FArea;
  const std::string& FRecord;
};

TWorkArea::TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int tableKind, int commitLevel)
    : FDbf(std::make_unique<TDbfFile>(path, mode)), FAlias(std::move(alias)), FCommitLevel(commitLevel) {
  // The structural index opens with its table; it sets no order.
  const char* ext = tableKind == 2 ? ".CDX" : (tableKind == 3 || tableKind == 4) ? ".NSX" : nullptr;
  if (ext) {
    std::string logical = WithExtension(FDbf->Path(), ext);
    // Its tags hold definitions only, so a table whose index cannot be read opens without it.
    if (Exists(FindFileAnyCase(WithExtension(logical, kIndexExtension))) || Exists(FindFileAnyCase(logical))) try {
        OpenIndex(logical);
      } catch (const EDbfError& e) {
        Notice = e.what();
      }
  }
  GoTop();
}

TWorkArea::~TWorkArea() {
  // A change still in the buffer is written rather than lost with the work area.
  try {
    flush();
  } catch (...) {
  }
}

TValue TWorkArea::FieldValue(const std::string& record, int field) const {
  const TDbfField& f = FDbf->Fields()[std::size_t(field)];
  std::string text = record.substr(std::size_t(f.Offset), std::size_t(f.Width));
  TValue v;
  v.Type = ValueTypeOf(f.Type);
  switch (v.Type) {
    case TType::Numeric: v.Num = std::strtod(TrimBlanks(text).c_str(), nullptr); break;
    case TType::Date: v.Day = DayFromDtos(text); break;
    case TType::Logical: v.Log = !text.empty() && std::strchr("TtYy", text[0]) && text[0]; break;
    default: v.Str = f.IsMemo() ? FDbf->ReadMemo(text) : text; break;
  }
  return v;
}

std::string TWorkArea::Memo(int field) const {
  const TDbfField& f = FDbf->Fields()[std::size_t(field)];
  return FDbf->ReadMemo(std::string_view(FRecord).substr(std::size_t(f.Offset), std::size_t(f.Width)));
}

TExpression TWorkArea::Compile(const std::string& text) const {
  std::string blank = TDbfFile::BlankRecord(FDbf->RecordSize());
  return TExpression::Parse(text, TView(*this, blank));
}

TValue TWorkArea::Evaluate(const TExpression& e) const { return e.Evaluate(TView(*this, FRecord), Settings().Exact); }

// ---- orders

TKey TWorkArea::keyOf(const TOrder& o, const std::string& record) const {
  try {
    return KeyOfValue(o.Key.Evaluate(TView(*this, record), true));
  } catch (const std::exception&) {
    // A key that cannot be evaluated (a damaged memo, a division by zero) files as empty.
    TKey k;
    k.Numeric = o.Key.Type() == TType::Numeric;
    return k;
  }
}

bool TWorkArea::inOrder(const TOrder& o, const std::string& record) const {
  if (o.For.Empty()) return true;
  try {
    return o.For.Evaluate(TView(*this, record), true).Log;
  } catch (const std::exception&) {
    return false;
  }
}

void TWorkArea::buildOrder(TOrder& o) {
  std::vector<TOrderTree::TEntry> entries;
  entries.reserve(FDbf->RecordCount());
  const auto size = std::size_t(FDbf->RecordSize());
  for (uint32_t r = 1; r <= FDbf->RecordCount();) {
    std::string batch = FDbf->ReadRecords(r, kBuildBatch);
    if (batch.size() < size) break;
    std::string rec;
    for (std::size_t at = 0; at + size <= batch.size(); at += size, ++r) {
      rec.assign(batch, at, size);
      if (inOrder(o, rec)) entries.push_back({keyOf(o, rec), r, rec[0] == '*'});
    }
  }
  o.Tree = TOrderTree(o.Unique);
  o.Tree.Build(std::move(entries));
}

void TWorkArea::ensureOrders() {
  TTableShare& s = FDbf->Share();
  if (!s.OrdersStale) return;
  s.OrdersStale = false;
  for (auto& file : s.Indexes)
    for (TOrder& o : file->Orders) buildOrder(o);
  ++s.Generation;
}

void TWorkArea::reindex(uint32_t recNo, const std::string* before, const std::string& after) {
  TTableShare& s = FDbf->Share();
  if (s.OrdersStale) return;  // they are built again before their next use
  for (auto& file : s.Indexes)
    for (TOrder& o : file->Orders) {
      if (before && inOrder(o, *before)) o.Tree.Erase(keyOf(o, *before), recNo);
      if (inOrder(o, after)) o.Tree.Insert({keyOf(o, after), recNo, after[0] == '*'});
    }
}

std::shared_ptr<TIndexFile> TWorkArea::loadIndex(const std::string& name, const std::string& own) {
  std::string text;
  if (!ReadOwnIndex(own, text)) throw EDbfError("Not an index file of this engine: " + own);
  auto file = std::make_shared<TIndexFile>();
  file->Name = name;
  file->OwnPath = own;
  std::stringstream in(text);
  std::string line;
  std::getline(in, line);  // the signature
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (file->Orders.size() >= kMaxIndexTags)
      throw EDbfError("Index file " + own + " holds more than " + std::to_string(kMaxIndexTags) + " tags");
    std::vector<std::string> parts;
    std::stringstream ss(line);
    for (std::string part; std::getline(ss, part, '\t');) parts.push_back(part);
    if (parts.size() < 2) throw EDbfError("Damaged index file: " + own);
    parts.resize(5);
    TOrder o;
    o.Tag = Upper(TrimBlanks(parts[0]));
    o.File = name;
    try {
      o.Key = Compile(parts[1]);
      o.For = Compile(parts[2]);
    } catch (const EExprError& e) {
      throw EDbfError("Index tag " + o.Tag + " of " + own + ": " + e.what());
    }
    if (o.Key.Empty()) throw EDbfError("Index tag " + o.Tag + " has no key");
    if (!o.For.Empty() && o.For.Type() != TType::Logical) throw EDbfError("Index tag " + o.Tag + " has a FOR condition that is not logical");
    o.Unique = parts[3] == "1";
    o.Descending = parts[4] == "1";
    file->Orders.push_back(std::move(o));
  }
  for (TOrder& o : file->Orders) buildOrder(o);
  return file;
}

int TWorkArea::OpenIndex(const std::string& file) {
  enter();
  ensureOrders();
  TTableShare& s = FDbf->Share();
  std::string given = FindFileAnyCase(file);
  std::string own = given;
  std::string text;
  if (!Exists(given) || !ReadOwnIndex(given, text)) {
    // Another program's index of that name is left alone; this engine keeps its tags beside it.
    if (Exists(given) && std::find(s.ReportedForeign.begin(), s.ReportedForeign.end(), given) == s.ReportedForeign.end()) {
      s.ReportedForeign.push_back(given);
      Notice = "Index file " + given + " is not one of this engine's; it is left alone";
    }
    own = FindFileAnyCase(WithExtension(file, kIndexExtension));
    if (!Exists(own)) {
      if (Exists(given)) return 0;
      throw EDbfError("Index file does not exist: " + file);
    }
  }
  for (std::size_t i = 0, n = 0; i < FIndexFiles.size(); n += FIndexFiles[i]->Orders.size(), ++i)
    if (FIndexFiles[i]->OwnPath == own) return FIndexFiles[i]->Orders.empty() ? 0 : int(n + 1);
  std::shared_ptr<TIndexFile> index;
  for (auto& f : s.Indexes)
    if (f->OwnPath == own) index = f;
  if (!index) {
    index = loadIndex(Exists(given) ? given : file, own);
    s.Indexes.push_back(index);
  }
  int first = index->Orders.empty() ? 0 : OrderCount() + 1;
  FIndexFiles.push_back(index);
  for (TOrder& o : index->Orders) FOrders.push_back(&o);
  return first;
}

void TWorkArea::CloseIndexes() {
  FIndexFiles.clear();
  FOrders.clear();
  FOrder = 0;
  FScopeLow.clear();
  FScopeHigh.clear();
  FRankKnown = false;
}

void TWorkArea::SetOrder(int order) {
  FOrder = (order >= 1 && order <= OrderCount()) ? order : 0;
  FScopeLow.clear();
  FScopeHigh.clear();
  FRankKnown = false;
}

const TOrder* TWorkArea::Order(int order) const {
  return (order >= 1 && order <= OrderCount()) ? FOrders[std::size_t(order - 1)] : nullptr;
}

int TWorkArea::TagArea(const std::string& tag) const {
  for (int i = 0; i < OrderCount(); ++i)
    if (strcasecmp(FOrders[std::size_t(i)]->Tag.c_str(), TrimBlanks(tag).c_str()) == 0) return i + 1;
  return 0;
}

bool TWorkArea::SetScope(const std::string& low, const std::string& high) {
  if (FOrder == 0 && (!low.empty() || !high.empty())) return false;
  FScopeLow = low;
  FScopeHigh = high;
  return true;
}

// ---- the record buffer and the file

void TWorkArea::enter(bool fresh) {
  if (FDirty || FPending) flush();
  if (fresh && FDbf->Sync()) FRankKnown = false;
  if (FOrder) ensureOrders();
}

void TWorkArea::freshen(uint32_t recNo) {
  if (!FDbf->Cached(recNo) && FDbf->Sync()) FRankKnown = false;
}

void TWorkArea::flush() {
  if (!FDirty && !FPending) return;
  bool pending = FPending;
  FDirty = FPending = false;
  try {
    if (pending) {
      FRecNo = FDbf->AppendRecord(FRecord);
      reindex(FRecNo, nullptr, FRecord);
    } else {
      std::string before = FDbf->WriteRecord(FRecNo, FRecord);
      reindex(FRecNo, &before, FRecord);
    }
  } catch (...) {
    if (pending) gotoEnd();
    else FRecord = FDbf->ReadRecord(FRecNo);
    throw;
  }
  FRankKnown = false;
}

void TWorkArea::Abandon() {
  bool pending = FPending;
  FDirty = FPending = false;
  if (pending) gotoEnd();
  else if (!FEof) FRecord = FDbf->ReadRecord(FRecNo);
}

void TWorkArea::Commit() {
  flush();
  FDbf->Flush(FCommitLevel == 0);
}

void TWorkArea::Close() {
  Commit();
  FDbf->WriteGathered();
}

uint32_t TWorkArea::RecordCount() {
  FDbf->Sync();
  return FDbf->RecordCount() + (FPending ? 1 : 0);
}

bool TWorkArea::LockRecord(uint32_t recNo) {
  FDbf->Sync();
  if (!FDbf->LockRecord(recNo, Settings().LockTimeout)) return false;
  // Whatever another wrote before the lock was had is what the lock holder starts from.
  if (FDbf->Sync()) FRankKnown = false;
  if (recNo == FRecNo && !FDirty && !FPending) FRecord = FDbf->ReadRecord(FRecNo);
  return true;
}

void TWorkArea::Unlock(uint32_t recNo) {
  flush();
  if (recNo > 0) FDbf->UnlockRecord(recNo);
  else FDbf->UnlockAll();
}

void TWorkArea::PutRecord(const std::string& record) {
  if (FDbf->ReadOnly()) throw EDbfError("Table is open read-only: " + FDbf->Path());
  if (FEof && !FPending) throw EDbfError("No current record to write");
  FRecord = record.substr(0, std::size_t(FDbf->RecordSize()));
  FRecord.resize(std::size_t(FDbf->RecordSize()), ' ');
  if (!FPending) FDirty = true;
}

void TWorkArea::PutField(int field, const std::string& text) {
  if (FDbf->ReadOnly()) throw EDbfError("Table is open read-only: " + FDbf->Path());
  if (FEof && !FPending) throw EDbfError("No current record to write");
  const TDbfField& f = FDbf->Fields()[std::size_t(field)];
  std::string value = text.substr(0, std::size_t(f.Width));
  value.resize(std::size_t(f.Width), ' ');
  FRecord.replace(std::size_t(f.Offset), std::size_t(f.Width), value);
  if (!FPending) FDirty = true;
}

void TWorkArea::AppendBlank() {
  // The number is settled under the file's lock when the record is written.
  enter(false);
  if (FDbf->ReadOnly()) throw EDbfError("Table is open read-only: " + FDbf->Path());
  FRecord = TDbfFile::BlankRecord(FDbf->RecordSize());
  FPending = true;
  FRecNo = FDbf->RecordCount() + 1;
  FEof = FBof = false;
  FRankKnown = false;
}

void TWorkArea::Delete() {
  enter();
  if (FEof) throw EDbfError("No current record to delete");
  // Deleting a record another holds for editing would pull it from under that edit.
  bool tookLock = !FDbf->Exclusive() && !FDbf->RecordLocked(FRecNo);
  if (tookLock && !FDbf->LockRecord(FRecNo, Settings().LockTimeout))
    throw EDbfError("Record " + std::to_string(FRecNo) + " is locked by another user or task");
  try {
    std::string rec = FDbf->ReadRecord(FRecNo);
    rec[0] = '*';
    std::string before = FDbf->WriteRecord(FRecNo, rec);
    reindex(FRecNo, &before, rec);
    FRecord = rec;
  } catch (...) {
    if (tookLock) FDbf->UnlockRecord(FRecNo);
    throw;
  }
  if (tookLock) FDbf->UnlockRecord(FRecNo);
  FRankKnown = false;
}

void TWorkArea::SetFilter(const std::string& text) {
  TExpression e = Compile(text);
  if (!e.Empty() && e.Type() != TType::Logical) throw EExprError("A filter must be a logical expression: " + text);
  FFilter = e;
}

// ---- navigation

int TWorkArea::seqDir() const { return order() && order()->Descending ? -1 : 1; }

bool TWorkArea::passesFilter(const std::string& record) const {
  if (FFilter.Empty()) return true;
  try {
    return FFilter.Evaluate(TView(*this, record), Settings().Exact).Log;
  } catch (const std::exception&) {
    return false;
  }
}

bool TWorkArea::visibleNatural(uint32_t recNo) const {
  if (!Settings().Deleted && FFilter.Empty()) return true;
  FDbf->ReadRecordInto(recNo, FScratch);
  if (Settings().Deleted && FScratch[0] == '*') return false;
  return passesFilter(FScratch);
}

void TWorkArea::scopeRange(std::size_t& lo, std::size_t& hi) const {
  const TOrderTree& t = order()->Tree;
  lo = FScopeLow.empty() ? 0 : t.PartitionPoint([&](const TOrderTree::TEntry& e) { return CompareWithText(e.Key, FScopeLow) < 0; });
  hi = FScopeHigh.empty() ? t.Size()
                          : t.PartitionPoint([&](const TOrderTree::TEntry& e) { return CompareWithText(e.Key, FScopeHigh) <= 0; });
  hi = std::max(lo, hi);
}

// The first visible entry at or beyond rank, going dir; npos when there is none.
std::size_t TWorkArea::firstVisible(std::size_t rankAt, int dir) {
  const TOrderTree& t = order()->Tree;
  bool live = Settings().Deleted;
  std::size_t lo = 0, hi = 0;
  scopeRange(lo, hi);
  auto r = int64_t(rankAt == TOrderTree::npos ? -1 : int64_t(rankAt));
  for (;;) {
    std::size_t s = 0;
    if (dir > 0) {
      r = std::max<int64_t>(r, int64_t(lo));
      if (r >= int64_t(hi)) return TOrderTree::npos;
      s = t.SelectCounted(t.CountBefore(std::size_t(r), live), live);
      if (s == TOrderTree::npos || s >= hi) return TOrderTree::npos;
    } else {
      r = std::min<int64_t>(r, int64_t(hi) - 1);
      if (r < int64_t(lo)) return TOrderTree::npos;
      std::size_t k = t.CountBefore(std::size_t(r) + 1, live);
      if (k == 0) return TOrderTree::npos;
      s = t.SelectCounted(k - 1, live);
      if (s < lo) return TOrderTree::npos;
    }
    if (FFilter.Empty() || passesFilter(FDbf->ReadRecord(t.At(s).RecNo))) return s;
    r = int64_t(s) + dir;
  }
}

bool TWorkArea::locate() {
  if (FEof) return false;
  uint64_t gen = FDbf->Share().Generation;
  if (FRankKnown && FRankGeneration == gen) return true;
  const TOrder& o = *order();
  std::string rec = FDbf->ReadRecord(FRecNo);
  FRank = o.Tree.RankOf(keyOf(o, rec), FRecNo);
  FInOrder = FRank < o.Tree.Size() && o.Tree.At(FRank).RecNo == FRecNo;
  FRankKnown = true;
  FRankGeneration = gen;
  return true;
}

void TWorkArea::gotoRank(std::size_t rank) {
  FRank = rank;
  FInOrder = true;
  FRankKnown = true;
  FRankGeneration = FDbf->Share().Generation;
  FRecNo = order()->Tree.At(rank).RecNo;
  FDbf->ReadRecordInto(FRecNo, FRecord);
  FEof = false;
}

void TWorkArea::gotoRecord(uint32_t recNo) {
  FRankKnown = false;
  FRecNo = recNo;
  FDbf->ReadRecordInto(recNo, FRecord);
  FEof = false;
}

void TWorkArea::gotoEnd() {
  FRankKnown = false;
  FRecNo = FDbf->RecordCount() + 1;
  FRecord = TDbfFile::BlankRecord(FDbf->RecordSize());
  FEof = true;
}

void TWorkArea::GoTop() {
  enter();
  FBof = false;
  if (order()) {
    int dir = seqDir();
    std::size_t s = firstVisible(dir > 0 ? 0 : order()->Tree.Size() - 1, dir);
    if (s != TOrderTree::npos) return gotoRank(s);
  } else {
    for (uint32_t r = 1; r <= FDbf->RecordCount(); ++r)
      if (visibleNatural(r)) return gotoRecord(r);
  }
  gotoEnd();
  FBof = true;
}

void TWorkArea::GoBottom() {
  enter();
  FBof = false;
  if (order()) {
    int dir = -seqDir();
    std::size_t s = firstVisible(dir > 0 ? 0 : order()->Tree.Size() - 1, dir);
    if (s != TOrderTree::npos) return gotoRank(s);
  } else {
    for (uint32_t r = FDbf->RecordCount(); r >= 1; --r)
      if (visibleNatural(r)) return gotoRecord(r);
  }
  gotoEnd();
  FBof = true;
}

void TWorkArea::Go(int32_t recNo) {
  enter();
  FBof = false;
  if (recNo < 1 || uint32_t(recNo) > FDbf->RecordCount()) return gotoEnd();
  gotoRecord(uint32_t(recNo));
}

void TWorkArea::Skip(int32_t count) {
  // A step through the records as they lie looks at the header when it reads past its cache;
  // a step in an order goes by the order, which must know of every change first.
  enter(count == 0 || order() != nullptr);
  if (count == 0) {
    if (!FEof) FRecord = FDbf->ReadRecord(FRecNo);
    return;
  }
  FBof = false;
  int64_t moves = std::llabs(int64_t(count));
  if (!order()) {
    int step = count > 0 ? 1 : -1;
    int64_t cur = FEof ? int64_t(FDbf->RecordCount()) + 1 : int64_t(FRecNo);
    if (FEof && count > 0) return gotoEnd();
    for (int64_t i = 0; i < moves; ++i) {
      int64_t r = cur + step;
      for (;; r += step) {
        if (r >= 1) freshen(uint32_t(r));
        if (r < 1 || r > int64_t(FDbf->RecordCount()) || visibleNatural(uint32_t(r))) break;
      }
      if (r > int64_t(FDbf->RecordCount())) return gotoEnd();
      if (r < 1) {
        GoTop();
        FBof = true;
        return;
      }
      cur = r;
    }
    return gotoRecord(uint32_t(cur));
  }
  int step = count > 0 ? seqDir() : -seqDir();
  int64_t cur = 0;
  bool in = true;
  if (FEof) {
    if (count > 0) return gotoEnd();
    cur = seqDir() > 0 ? int64_t(order()->Tree.Size()) : -1;
  } else {
    locate();
    cur = int64_t(FRank);
    in = FInOrder;
  }
  for (int64_t i = 0; i < moves; ++i) {
    int64_t start = in ? cur + step : (step > 0 ? cur : cur - 1);
    std::size_t s = start < 0 ? TOrderTree::npos : firstVisible(std::size_t(start), step);
    if (s == TOrderTree::npos) {
      if (count > 0) return gotoEnd();
      GoTop();
      FBof = true;
      return;
    }
    cur = int64_t(s);
    in = true;
  }
  gotoRank(std::size_t(cur));
}

uint32_t TWorkArea::Step(int32_t count, char* record) {
  // One step in record order onto a record the cache holds is what Skip would do without its
  // look at the header, which a cached record does not need either.
  if ((count == 1 || count == -1) && !FEof && !FDirty && !FPending && !FOrder && FFilter.Empty() && !Settings().Deleted) {
    uint32_t r = FRecNo + uint32_t(count);
    const char* p = FDbf->CachedRecord(r);
    const auto size = std::size_t(FDbf->RecordSize());
    if (p && FRecord.size() == size) {
      FRecNo = r;
      FBof = false;
      FRankKnown = false;
      CopyRecord(FRecord.data(), p, size);
      CopyRecord(record, p, size);
      return r;
    }
  }
  return skipAndCopy(count, record);
}

uint32_t TWorkArea::skipAndCopy(int32_t count, char* record) {
  uint32_t before = FRecNo;
  Skip(count);
  if ((count >= 0 ? FEof : FBof) || FRecNo == before) return 0;
  std::memcpy(record, FRecord.data(), FRecord.size());
  return FRecNo;
}

bool TWorkArea::Seek(const std::string& text) {
  enter();
  FFound = false;
  FBof = false;
  const TOrder* o = order();
  if (!o) throw EDbfError("Seek needs an active order");
  std::string key = text;
  if (o->Key.Type() == TType::Logical) {
    // Logical keys are filed as T and F; the seek may spell them as the language does.
    std::string k = Upper(TrimBlanks(text));
    if (k == ".T." || k == ".Y." || k == "T" || k == "Y") key = "T";
    else if (k == ".F." || k == ".N." || k == "F" || k == "N") key = "F";
  }
  bool exact = Settings().Exact;
  auto cmp = [&](const TKey& k) { return exact && !k.Numeric ? CompareText(k.Str, key) : CompareWithText(k, key); };
  auto match = [&](const TKey& k) { return cmp(k) == 0 && (k.Numeric || exact || k.Str.size() >= key.size()); };
  const TOrderTree& t = o->Tree;
  int dir = seqDir();
  std::size_t start;
  if (dir > 0) {
    start = t.PartitionPoint([&](const TOrderTree::TEntry& e) { return cmp(e.Key) < 0; });
  } else {
    std::size_t upto = t.PartitionPoint([&](const TOrderTree::TEntry& e) { return cmp(e.Key) <= 0; });
    start = upto == 0 ? TOrderTree::npos : upto - 1;
  }
  std::size_t s = start == TOrderTree::npos ? TOrderTree::npos : firstVisible(start, dir);
  while (s != TOrderTree::npos) {
    const TKey& k = t.At(s).Key;
    if (match(k)) {
      FFound = true;
      gotoRank(s);
      return true;
    }
    if (cmp(k) != 0) break;
    if (int64_t(s) + dir < 0) {
      s = TOrderTree::npos;
      break;
    }
    s = firstVisible(s + std::size_t(int64_t(dir)), dir);
  }
  if (s != TOrderTree::npos && Settings().SoftSeek) {
    gotoRank(s);
    return false;
  }
  gotoEnd();
  return false;
}

std::size_t TWorkArea::visibleBefore(std::size_t rank) {
  // Visible entries in sequence before the entry at rank (or before where it would be).
  const TOrderTree& t = order()->Tree;
  bool live = Settings().Deleted;
  std::size_t lo = 0, hi = 0;
  scopeRange(lo, hi);
  if (FFilter.Empty()) {
    if (seqDir() > 0) {
      std::size_t r = std::clamp(rank, lo, hi);
      return t.CountBefore(r, live) - t.CountBefore(lo, live);
    }
    std::size_t r = std::clamp(rank + (FInOrder ? 1 : 0), lo, hi);
    return t.CountBefore(hi, live) - t.CountBefore(r, live);
  }
  std::size_t n = 0;
  int dir = seqDir();
  for (std::size_t s = firstVisible(dir > 0 ? 0 : t.Size() - 1, dir); s != TOrderTree::npos;
       s = (dir < 0 && s == 0) ? TOrderTree::npos : firstVisible(s + std::size_t(int64_t(dir)), dir)) {
    if (dir > 0 ? s >= rank : (FInOrder ? s <= rank : s < rank)) break;
    ++n;
  }
  return n;
}

uint32_t TWorkArea::Count() {
  enter();
  if (!order()) {
    uint32_t n = 0;
    for (uint32_t r = 1; r <= FDbf->RecordCount(); ++r) n += visibleNatural(r) ? 1 : 0;
    return n;
  }
  const TOrderTree& t = order()->Tree;
  if (FFilter.Empty()) {
    std::size_t lo = 0, hi = 0;
    scopeRange(lo, hi);
    bool live = Settings().Deleted;
    return uint32_t(t.CountBefore(hi, live) - t.CountBefore(lo, live));
  }
  uint32_t n = 0;
  for (std::size_t s = firstVisible(0, 1); s != TOrderTree::npos; s = firstVisible(s + 1, 1)) ++n;
  return n;
}

uint32_t TWorkArea::FilterCount() {
  enter();
  uint32_t n = 0;
  for (uint32_t r = 1; r <= FDbf->RecordCount(); ++r) n += visibleNatural(r) ? 1 : 0;
  return n;
}

double TWorkArea::OrderPosition() {
  uint32_t total = Count();
  if (FEof || !total) return 0.0;
  if (!order()) {
    uint32_t rank = 0;
    for (uint32_t r = 1; r <= FRecNo && r <= FDbf->RecordCount(); ++r) rank += visibleNatural(r) ? 1 : 0;
    return double(rank) / double(total);
  }
  locate();
  std::size_t before = visibleBefore(FRank);
  // The current record itself counts when it is one of the visible ones.
  bool self = FInOrder && order()->Tree.Counted(FRank, Settings().Deleted) && passesFilter(FRecord);
  std::size_t lo = 0, hi = 0;
  scopeRange(lo, hi);
  if (FRank < lo || FRank >= hi) self = false;
  return double(std::min<std::size_t>(before + (self ? 1 : 0), total)) / double(total);
}

void TWorkArea::SetOrderPosition(double fraction) {
  uint32_t total = Count();
  if (!total || !(fraction > 0)) return GoTop();
  auto want = std::clamp<uint32_t>(static_cast<uint32_t>(std::lround(fraction * total)), 1u, total);
  if (order() && FFilter.Empty()) {
    const TOrderTree& t = order()->Tree;
    bool live = Settings().Deleted;
    std::size_t lo = 0, hi = 0;
    scopeRange(lo, hi);
    std::size_t s = seqDir() > 0 ? t.SelectCounted(t.CountBefore(lo, live) + want - 1, live)
                                 : t.SelectCounted(t.CountBefore(hi, live) - want, live);
    if (s != TOrderTree::npos) return gotoRank(s);
  }
  GoTop();
  if (want > 1) Skip(int32_t(want - 1));
}

}  // namespace xbe
