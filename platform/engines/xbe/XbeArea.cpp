#include "platform/engines/xbe/XbeArea.h"

#include <strings.h>

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

constexpr const char* kIndexSignature = "XBEINDEX 1";

std::string TrimBlanks(const std::string& s) {
  std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
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

}  // namespace

int CompareKeys(const TKey& a, const TKey& b) {
  if (a.Numeric || b.Numeric) return a.Num < b.Num ? -1 : a.Num > b.Num ? 1 : 0;
  return CompareText(a.Str, b.Str);
}

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
    const std::string& p = FDbf->Path();
    std::size_t dot = p.rfind('.'), slash = p.rfind('/');
    std::string index = (dot != std::string::npos && (slash == std::string::npos || dot > slash) ? p.substr(0, dot) : p) + ext;
    std::string found = FindFileAnyCase(index);
    if (std::ifstream(found).good()) OpenIndex(found);
  }
  GoTop();
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

TExpression TWorkArea::Compile(const std::string& text) const {
  std::string blank = TDbfFile::BlankRecord(FDbf->RecordSize());
  return TExpression::Parse(text, TView(*this, blank));
}

TValue TWorkArea::Evaluate(const TExpression& e) const { return e.Evaluate(TView(*this, FRecord), Settings().Exact); }

// ---- orders

TKey TWorkArea::keyOf(const TOrder& o, const std::string& record) const {
  return KeyOfValue(o.Key.Evaluate(TView(*this, record), true));
}

void TWorkArea::buildOrder(TOrder& o) const {
  o.Entries.clear();
  for (uint32_t r = 1; r <= FDbf->RecordCount(); ++r) {
    std::string rec = FDbf->ReadRecord(r);
    if (!o.For.Empty() && !o.For.Evaluate(TView(*this, rec), true).Log) continue;
    o.Entries.push_back({keyOf(o, rec), r});
  }
  std::stable_sort(o.Entries.begin(), o.Entries.end(),
                   [](const TOrder::TEntry& a, const TOrder::TEntry& b) { return CompareKeys(a.Key, b.Key) < 0; });
}

int TWorkArea::OpenIndex(const std::string& file) {
  std::string path = FindFileAnyCase(file);
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line) || TrimBlanks(line.substr(0, line.find('\r'))) != kIndexSignature)
    throw EDbfError("Not an index file of this engine: " + file);
  int first = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> parts;
    std::stringstream ss(line);
    for (std::string part; std::getline(ss, part, '\t');) parts.push_back(part);
    if (parts.size() < 2) throw EDbfError("Damaged index file: " + file);
    parts.resize(5);
    TOrder o;
    o.Tag = TrimBlanks(parts[0]);
    for (char& c : o.Tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    o.File = file;
    o.Key = Compile(parts[1]);
    if (o.Key.Empty()) throw EDbfError("Index tag " + o.Tag + " has no key");
    o.For = Compile(parts[2]);
    if (!o.For.Empty() && o.For.Type() != TType::Logical) throw EDbfError("Index tag " + o.Tag + " has a FOR condition that is not logical");
    o.Unique = parts[3] == "1";
    o.Descending = parts[4] == "1";
    buildOrder(o);
    FOrders.push_back(std::move(o));
    if (!first) first = OrderCount();
  }
  return first;
}

void TWorkArea::CloseIndexes() {
  FOrders.clear();
  FOrder = 0;
  FScopeLow.clear();
  FScopeHigh.clear();
  FPos = SIZE_MAX;
}

void TWorkArea::SetOrder(int order) {
  FOrder = (order >= 1 && order <= OrderCount()) ? order : 0;
  FScopeLow.clear();
  FScopeHigh.clear();
  FPos = SIZE_MAX;
}

const TOrder* TWorkArea::Order(int order) const {
  return (order >= 1 && order <= OrderCount()) ? &FOrders[std::size_t(order - 1)] : nullptr;
}

int TWorkArea::TagArea(const std::string& tag) const {
  for (int i = 0; i < OrderCount(); ++i)
    if (strcasecmp(FOrders[std::size_t(i)].Tag.c_str(), TrimBlanks(tag).c_str()) == 0) return i + 1;
  return 0;
}

bool TWorkArea::SetScope(const std::string& low, const std::string& high) {
  if (FOrder == 0 && (!low.empty() || !high.empty())) return false;
  FScopeLow = low;
  FScopeHigh = high;
  FPos = SIZE_MAX;
  return true;
}

void TWorkArea::reindexRecord(uint32_t recNo) {
  std::string rec = FDbf->ReadRecord(recNo);
  for (TOrder& o : FOrders) {
    auto& e = o.Entries;
    e.erase(std::remove_if(e.begin(), e.end(), [&](const TOrder::TEntry& x) { return x.RecNo == recNo; }), e.end());
    if (!o.For.Empty() && !o.For.Evaluate(TView(*this, rec), true).Log) continue;
    TOrder::TEntry entry{keyOf(o, rec), recNo};
    auto at = std::upper_bound(e.begin(), e.end(), entry, [](const TOrder::TEntry& a, const TOrder::TEntry& b) {
      int c = CompareKeys(a.Key, b.Key);
      return c < 0 || (c == 0 && a.RecNo < b.RecNo);
    });
    e.insert(at, entry);
  }
  FPos = SIZE_MAX;
}

// ---- the sequence of the current order

std::size_t TWorkArea::seqCount() const {
  return FOrder ? FOrders[std::size_t(FOrder - 1)].Entries.size() : FDbf->RecordCount();
}

std::size_t TWorkArea::seqEntry(std::size_t i) const {
  const TOrder& o = FOrders[std::size_t(FOrder - 1)];
  return o.Descending ? o.Entries.size() - 1 - i : i;
}

uint32_t TWorkArea::seqRec(std::size_t i) const {
  if (!FOrder) return static_cast<uint32_t>(i + 1);
  return FOrders[std::size_t(FOrder - 1)].Entries[seqEntry(i)].RecNo;
}

bool TWorkArea::inScope(const TKey& key) const {
  if (!FScopeLow.empty() && CompareWithText(key, FScopeLow) < 0) return false;
  if (!FScopeHigh.empty() && CompareWithText(key, FScopeHigh) > 0) return false;
  return true;
}

bool TWorkArea::visible(std::size_t i) const {
  if (FOrder) {
    const TOrder& o = FOrders[std::size_t(FOrder - 1)];
    std::size_t e = seqEntry(i);
    if (!inScope(o.Entries[e].Key)) return false;
    if (o.Unique && e > 0 && CompareKeys(o.Entries[e - 1].Key, o.Entries[e].Key) == 0) return false;
  }
  if (!Settings().Deleted && FFilter.Empty()) return true;
  std::string rec = FDbf->ReadRecord(seqRec(i));
  if (Settings().Deleted && rec[0] == '*') return false;
  if (!FFilter.Empty()) {
    try {
      return FFilter.Evaluate(TView(*this, rec), Settings().Exact).Log;
    } catch (const EExprError&) {
      return false;
    }
  }
  return true;
}

std::size_t TWorkArea::position() {
  if (FPos != SIZE_MAX) return FPos;
  if (FEof || FRecNo < 1 || FRecNo > FDbf->RecordCount()) return FPos = seqCount();
  if (!FOrder) return FPos = FRecNo - 1;
  for (std::size_t i = 0; i < seqCount(); ++i)
    if (seqRec(i) == FRecNo) return FPos = i;
  // A record outside the order (its FOR condition fails) stands where its key would.
  const TOrder& o = FOrders[std::size_t(FOrder - 1)];
  TKey k = keyOf(o, FRecord);
  std::size_t i = 0;
  while (i < seqCount()) {
    int c = CompareKeys(o.Entries[seqEntry(i)].Key, k);
    if (o.Descending ? c <= 0 : c >= 0) break;
    ++i;
  }
  return FPos = i;
}

void TWorkArea::gotoSeq(std::size_t i) {
  FPos = i;
  FRecNo = seqRec(i);
  FRecord = FDbf->ReadRecord(FRecNo);
  FEof = false;
}

void TWorkArea::gotoEnd() {
  FPos = seqCount();
  FRecNo = FDbf->RecordCount() + 1;
  FRecord = TDbfFile::BlankRecord(FDbf->RecordSize());
  FEof = true;
}

void TWorkArea::GoTop() {
  FBof = false;
  for (std::size_t i = 0; i < seqCount(); ++i)
    if (visible(i)) return gotoSeq(i);
  gotoEnd();
  FBof = true;
}

void TWorkArea::GoBottom() {
  FBof = false;
  for (std::size_t i = seqCount(); i-- > 0;)
    if (visible(i)) return gotoSeq(i);
  gotoEnd();
  FBof = true;
}

void TWorkArea::Go(int32_t recNo) {
  FBof = false;
  FPos = SIZE_MAX;
  if (recNo < 1 || uint32_t(recNo) > FDbf->RecordCount()) return gotoEnd();
  FRecNo = uint32_t(recNo);
  FRecord = FDbf->ReadRecord(FRecNo);
  FEof = false;
}

void TWorkArea::Skip(int32_t count) {
  if (count == 0) return Reload();
  FBof = false;
  std::size_t pos = position();
  if (count > 0) {
    for (int32_t n = 0; n < count; ++n) {
      std::size_t i = pos + 1;
      while (i < seqCount() && !visible(i)) ++i;
      if (i >= seqCount()) return gotoEnd();
      pos = i;
    }
    return gotoSeq(pos);
  }
  for (int32_t n = 0; n > count; --n) {
    std::size_t i = pos;
    bool found = false;
    while (i-- > 0)
      if (visible(i)) {
        found = true;
        break;
      }
    if (!found) {
      GoTop();
      FBof = true;
      return;
    }
    pos = i;
  }
  gotoSeq(pos);
}

bool TWorkArea::Seek(const std::string& key) {
  FFound = false;
  if (!FOrder) throw EDbfError("Seek needs an active order");
  const TOrder& o = FOrders[std::size_t(FOrder - 1)];
  bool exact = Settings().Exact;
  for (std::size_t i = 0; i < seqCount(); ++i) {
    const TKey& k = o.Entries[seqEntry(i)].Key;
    bool match = k.Numeric ? CompareWithText(k, key) == 0
                           : (exact ? TextEquals(k.Str, key, true) : CompareWithText(k, key) == 0 && k.Str.size() >= key.size());
    int c = CompareWithText(k, key);
    bool past = o.Descending ? c < 0 : c > 0;
    if ((!match && !past) || !visible(i)) continue;
    if (match) {
      FFound = true;
      gotoSeq(i);
      FBof = false;
      return true;
    }
    if (Settings().SoftSeek) {
      gotoSeq(i);
      FBof = false;
      return false;
    }
    break;
  }
  gotoEnd();
  FBof = false;
  return false;
}

uint32_t TWorkArea::Count() {
  uint32_t n = 0;
  for (std::size_t i = 0; i < seqCount(); ++i) n += visible(i) ? 1 : 0;
  return n;
}

uint32_t TWorkArea::FilterCount() {
  int keep = FOrder;
  std::string low = FScopeLow, high = FScopeHigh;
  FOrder = 0;
  FScopeLow.clear();
  FScopeHigh.clear();
  uint32_t n = Count();
  FOrder = keep;
  FScopeLow = low;
  FScopeHigh = high;
  return n;
}

double TWorkArea::OrderPosition() {
  std::size_t pos = position();
  uint32_t rank = 0, total = 0;
  for (std::size_t i = 0; i < seqCount(); ++i)
    if (visible(i)) {
      ++total;
      if (i <= pos && !FEof) ++rank;
    }
  return total ? double(rank) / double(total) : 0.0;
}

void TWorkArea::SetOrderPosition(double fraction) {
  uint32_t total = Count();
  if (!total || !(fraction > 0)) return GoTop();
  uint32_t want = std::clamp<uint32_t>(static_cast<uint32_t>(std::lround(fraction * total)), 1u, total);
  uint32_t rank = 0;
  for (std::size_t i = 0; i < seqCount(); ++i)
    if (visible(i) && ++rank == want) return gotoSeq(i);
}

// ---- writes

void TWorkArea::Reload() {
  if (!FEof) FRecord = FDbf->ReadRecord(FRecNo);
}

void TWorkArea::PutRecord(const std::string& record) {
  if (FEof) throw EDbfError("No current record to write");
  FDbf->WriteRecord(FRecNo, record);
  reindexRecord(FRecNo);
  Reload();
}

void TWorkArea::AppendBlank() {
  uint32_t n = FDbf->AppendBlank();
  reindexRecord(n);
  Go(int32_t(n));
}

void TWorkArea::Delete() {
  if (FEof) throw EDbfError("No current record to delete");
  std::string rec = FRecord;
  rec[0] = '*';
  PutRecord(rec);
}

void TWorkArea::PutField(int field, const std::string& text) {
  if (FEof) throw EDbfError("No current record to write");
  const TDbfField& f = FDbf->Fields()[std::size_t(field)];
  std::string rec = FRecord;
  std::string value = text.substr(0, std::size_t(f.Width));
  value.resize(std::size_t(f.Width), ' ');
  rec.replace(std::size_t(f.Offset), std::size_t(f.Width), value);
  PutRecord(rec);
}

void TWorkArea::SetFilter(const std::string& text) {
  TExpression e = Compile(text);
  if (!e.Empty() && e.Type() != TType::Logical) throw EExprError("A filter must be a logical expression: " + text);
  FFilter = e;
  FPos = SIZE_MAX;
}

}  // namespace xbe
