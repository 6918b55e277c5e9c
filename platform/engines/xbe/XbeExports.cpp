// The exported entry points of the table engine over its work areas.
#include <strings.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/engines/XbeEntries.h"
#include "platform/engines/xbe/XbeArea.h"
#include "platform/engines/xbe/XbeDate.h"

#define XBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace xbe {
namespace {

constexpr int kMaxAreas = 250;
constexpr const char* kVersion = "XBE 7.0 (DBF level 3)";
constexpr int kErrorGeneral = 1;
constexpr int32_t kDateFormatOrdinalWinDefault = 7;
constexpr int32_t kDateFormatWinDefault = 99;

struct TEngine {
  std::array<std::unique_ptr<TWorkArea>, kMaxAreas + 1> Areas;
  int Current = 0;
  uint64_t Touches = 0;  // calls that reached a work area
  TXbErrorFunc ErrorFunc = nullptr;
  std::string LastError;
  // Text results stay valid until a few more texts have been answered.
  std::array<std::string, 8> Texts;
  std::size_t NextText = 0;
};

TEngine& Engine() {
  static TEngine engine;
  return engine;
}

const char* Text(std::string s) {
  TEngine& e = Engine();
  std::string& slot = e.Texts[e.NextText++ % e.Texts.size()];
  slot = std::move(s);
  return slot.c_str();
}

void Fail(const std::string& message) {
  TEngine& e = Engine();
  e.LastError = message;
  // The error level governs what the engine would show by itself; the error function hears all.
  if (e.ErrorFunc) e.ErrorFunc(kErrorGeneral, message.c_str());
}

void ReportNotice(TWorkArea& a) {
  if (a.Notice.empty()) return;
  std::string notice = std::move(a.Notice);
  a.Notice.clear();
  Fail(notice);
}

[[gnu::noinline]] TWorkArea* NoCurrent() {
  Fail("No table is open in the current work area");
  return nullptr;
}

TWorkArea* Current() {
  TEngine& e = Engine();
  ++e.Touches;
  if (e.Current < 1 || e.Current > kMaxAreas || !e.Areas[std::size_t(e.Current)]) return NoCurrent();
  return e.Areas[std::size_t(e.Current)].get();
}

// Runs f on the current work area; any failure is reported and the neutral result answered.
template <class R, class F>
R With(R neutral, F f) {
  TWorkArea* a = Current();
  if (!a) return neutral;
  try {
    return f(*a);
  } catch (const std::exception& ex) {
    Fail(ex.what());
    return neutral;
  }
}

template <class F>
void Do(F f) {
  With(0, [&](TWorkArea& a) {
    f(a);
    return 0;
  });
}

int FieldOf(TWorkArea& a, const char* name) {
  int i = a.Dbf().FieldIndex(name ? name : "");
  if (i < 0) throw EDbfError(std::string("Unknown field ") + (name ? name : ""));
  return i;
}

const TDbfField& FieldInfo(TWorkArea& a, const char* name) { return a.Dbf().Fields()[std::size_t(FieldOf(a, name))]; }

std::string FieldText(TWorkArea& a, const char* name) {
  const TDbfField& f = FieldInfo(a, name);
  return a.Record().substr(std::size_t(f.Offset), std::size_t(f.Width));
}

std::string ValueText(const TValue& v) {
  switch (v.Type) {
    case TType::Numeric: {
      std::string s = FormatNumber(v.Num, 20, 6);
      s.erase(0, s.find_first_not_of(' '));
      if (s.find('.') != std::string::npos) s.erase(s.find_last_not_of('0') + 1);
      if (!s.empty() && s.back() == '.') s.pop_back();
      return s;
    }
    case TType::Logical: return v.Log ? ".T." : ".F.";
    case TType::Date: return DtosFromDay(v.Day);
    default: return v.Str;
  }
}

std::string MemoOf(TWorkArea& a, const char* field) {
  int i = FieldOf(a, field);
  if (!a.Dbf().Fields()[std::size_t(i)].IsMemo()) throw EDbfError(std::string("Not a memo field: ") + field);
  return a.Memo(i);
}

}  // namespace
}  // namespace xbe

using namespace xbe;

// Entries the table layer binds but never calls answer neutrally: nothing happens, and the
// result is zero, false or no text.
namespace {
template <class T>
T Neutral() {
  if constexpr (std::is_same_v<T, const char*>) return "";
  else return T{};
}
template <>
void Neutral<void>() {}
}  // namespace

#define XBE_CALLED(result, name, params) XBE_EXPORT result name params;
#define XBE_NEUTRAL(result, name, params) \
  XBE_EXPORT result name params { return Neutral<result>(); }
#define XBE_ENTRY(kind, result, name, params) XBE_##kind(result, name, params)
XBE_ENTRIES
#undef XBE_ENTRY

// ---- settings

XBE_EXPORT void xb_SetStringType(int32_t type) { Settings().StringType = type; }
XBE_EXPORT void xb_SetDeleted(int32_t on) { Settings().Deleted = on != 0; }
XBE_EXPORT void xb_SetExact(int32_t on) { Settings().Exact = on != 0; }
XBE_EXPORT void xb_SetSoftSeek(int32_t on) { Settings().SoftSeek = on != 0; }
XBE_EXPORT void xb_SetCentury(int32_t on) { Settings().Century = on != 0; }
XBE_EXPORT void xb_SetDateFormat(int32_t code) {
  if (code == kDateFormatOrdinalWinDefault) code = kDateFormatWinDefault;  // the ordinal, sent as it is stored
  if ((code >= 0 && code <= 6) || code == kDateFormatWinDefault) Settings().DateFormat = code;
  else Fail("Unknown date format " + std::to_string(code));
}
XBE_EXPORT void xb_SetEpoch(int32_t year) { Settings().Epoch = year; }
XBE_EXPORT void xb_SetMemoBlockSize(int32_t size) {
  if (size > 0) Settings().MemoBlockSize = size;
}
XBE_EXPORT void xb_SetLockTimeout(int32_t seconds) { Settings().LockTimeout = seconds; }
XBE_EXPORT void xb_SetTranslate(int32_t on) { Settings().Translate = on != 0; }
XBE_EXPORT void xb_SetTurboRead(int32_t on) { Settings().TurboRead = on != 0; }
XBE_EXPORT void xb_SetErrorFunc(TXbErrorFunc f) { Engine().ErrorFunc = f; }
XBE_EXPORT int32_t xb_ErrorLevel(int32_t level) {
  int32_t old = Settings().ErrorLevel;
  Settings().ErrorLevel = level;
  return old;
}

XBE_EXPORT int32_t xb_SysProp(int32_t prop, int32_t value) {
  TSettings& s = Settings();
  switch (prop) {
    case xbPropGetExact: return XbLogical(s.Exact);
    case xbPropSetExact: {
      int32_t old = XbLogical(s.Exact);
      s.Exact = value != 0;
      return old;
    }
    case xbPropGetDeleted: return XbLogical(s.Deleted);
    case xbPropGetOptimistic: return s.Optimistic ? 1 : 0;
    case xbPropSetOptimistic: s.Optimistic = value != 0; return s.Optimistic ? 1 : 0;
    case xbPropOrderCount: return With(0, [](TWorkArea& a) { return a.OrderCount(); });
    case xbPropOrderDescending:
      return With(0, [](TWorkArea& a) {
        const TOrder* o = a.Order(a.CurrentOrder());
        return o && o->Descending ? 1 : 0;
      });
    default: return 0;
  }
}

XBE_EXPORT const char* xb_Version() { return kVersion; }

// ---- work areas

XBE_EXPORT int32_t xb_UseEx(const char* path, const char* alias, int32_t mode, int32_t kind, int32_t commit) {
  TEngine& e = Engine();
  std::string name = alias && *alias ? alias : "";
  for (auto& a : e.Areas)
    if (a && !name.empty() && strcasecmp(a->Alias().c_str(), name.c_str()) == 0) {
      Fail("Alias already in use: " + name);
      return 0;
    }
  for (int i = 1; i <= kMaxAreas; ++i) {
    if (e.Areas[std::size_t(i)]) continue;
    try {
      if (mode < 0 || mode > 2) throw EDbfError("Unknown open mode " + std::to_string(mode));
      e.Areas[std::size_t(i)] = std::make_unique<TWorkArea>(path ? path : "", name, TOpenMode(mode), kind, commit);
      ReportNotice(*e.Areas[std::size_t(i)]);
    } catch (const std::exception& ex) {
      Fail(ex.what());
      return 0;
    }
    e.Current = i;
    ++e.Touches;
    return i;
  }
  Fail("No free work area");
  return 0;
}

XBE_EXPORT void xb_Select(int32_t area) { Engine().Current = area; }
XBE_EXPORT const uint64_t* xb_Touches() {
  static_assert(std::is_same_v<decltype(&xb_Touches), TXbTouchesFunc>);
  return &Engine().Touches;
}

XBE_EXPORT const char* xb_Alias(int32_t area) {
  TEngine& e = Engine();
  if (area < 1 || area > kMaxAreas || !e.Areas[std::size_t(area)]) return "";
  return Text(e.Areas[std::size_t(area)]->Alias());
}

XBE_EXPORT int32_t xb_WorkArea(const char* alias) {
  TEngine& e = Engine();
  if (!alias || !*alias) return 0;
  for (int i = 1; i <= kMaxAreas; ++i)
    if (e.Areas[std::size_t(i)] && strcasecmp(e.Areas[std::size_t(i)]->Alias().c_str(), alias) == 0) return i;
  return 0;
}

XBE_EXPORT void xb_Close() {
  TEngine& e = Engine();
  Do([](TWorkArea& a) { a.Close(); });
  if (Current()) e.Areas[std::size_t(e.Current)].reset();
}

XBE_EXPORT void xb_Commit() {
  Do([](TWorkArea& a) { a.Commit(); });
}

XBE_EXPORT void xb_SetPassword(const char* password) {
  // Tables are never encrypted here; the password is kept for the table it was given to.
  Do([&](TWorkArea& a) { a.Password = password ? password : ""; });
}
XBE_EXPORT int32_t xb_IsEncrypted(int32_t) { return xbFalse; }

// ---- structure

XBE_EXPORT int32_t xb_FieldCount() { return With(0, [](TWorkArea& a) { return int32_t(a.Dbf().Fields().size()); }); }
XBE_EXPORT int32_t xb_RecSize() { return With(0, [](TWorkArea& a) { return int32_t(a.Dbf().RecordSize()); }); }
XBE_EXPORT const char* xb_FieldName(int32_t n) {
  return With<const char*>("", [&](TWorkArea& a) {
    const auto& f = a.Dbf().Fields();
    if (n < 1 || std::size_t(n) > f.size()) throw EDbfError("No field number " + std::to_string(n));
    return Text(f[std::size_t(n - 1)].Name);
  });
}
XBE_EXPORT const char* xb_FieldType(const char* name) {
  return With<const char*>("", [&](TWorkArea& a) { return Text(std::string(1, FieldInfo(a, name).Type)); });
}
XBE_EXPORT int32_t xb_FieldOffset(const char* name) {
  return With(0, [&](TWorkArea& a) { return FieldInfo(a, name).Offset + 1; });
}
XBE_EXPORT int32_t xb_FieldWidth(const char* name) { return With(0, [&](TWorkArea& a) { return FieldInfo(a, name).Width; }); }
XBE_EXPORT int32_t xb_FieldDecimals(const char* name) {
  return With(0, [&](TWorkArea& a) { return FieldInfo(a, name).Decimals; });
}

// ---- records and navigation

XBE_EXPORT void xb_GetRecord(char* buffer) {
  Do([&](TWorkArea& a) { std::memcpy(buffer, a.Record().data(), a.Record().size()); });
}
XBE_EXPORT void xb_PutRecord(const char* buffer) {
  Do([&](TWorkArea& a) { a.PutRecord(std::string(buffer, std::size_t(a.Dbf().RecordSize()))); });
}

namespace {
// A change that fails takes the record's other unwritten changes with it, so a failed post
// leaves the table as it was.
template <class F>
auto Change(TWorkArea& a, F f) {
  try {
    return f();
  } catch (...) {
    a.Abandon();
    throw;
  }
}
}  // namespace
XBE_EXPORT int32_t xb_RecNo() { return With(0, [](TWorkArea& a) { return int32_t(a.RecNo()); }); }
XBE_EXPORT int32_t xb_RecCount() { return With(0, [](TWorkArea& a) { return int32_t(a.RecordCount()); }); }
XBE_EXPORT int32_t xb_Count() { return With(0, [](TWorkArea& a) { return int32_t(a.Count()); }); }
XBE_EXPORT int32_t xb_Eof() { return With(xbTrue, [](TWorkArea& a) { return XbLogical(a.Eof()); }); }
XBE_EXPORT int32_t xb_Bof() { return With(xbTrue, [](TWorkArea& a) { return XbLogical(a.Bof()); }); }
XBE_EXPORT int32_t xb_Deleted() { return With(xbFalse, [](TWorkArea& a) { return XbLogical(a.Deleted()); }); }
XBE_EXPORT int32_t xb_Found() { return With(xbFalse, [](TWorkArea& a) { return XbLogical(a.Found()); }); }
XBE_EXPORT void xb_Go(int32_t n) { Do([&](TWorkArea& a) { a.Go(n); }); }
XBE_EXPORT void xb_GoTop() { Do([](TWorkArea& a) { a.GoTop(); }); }
XBE_EXPORT void xb_GoBottom() { Do([](TWorkArea& a) { a.GoBottom(); }); }
XBE_EXPORT void xb_Skip(int32_t n) { Do([&](TWorkArea& a) { a.Skip(n); }); }
XBE_EXPORT int32_t xb_SkipRecord(int32_t n, char* record) {
  static_assert(std::is_same_v<decltype(&xb_SkipRecord), TXbSkipRecordFunc>);
  return With(0, [&](TWorkArea& a) { return int32_t(a.Step(n, record)); });
}
XBE_EXPORT void xb_AppendBlank() { Do([](TWorkArea& a) { a.AppendBlank(); }); }
XBE_EXPORT void xb_Delete() { Do([](TWorkArea& a) { a.Delete(); }); }
XBE_EXPORT double xb_OrderPosGet() { return With(0.0, [](TWorkArea& a) { return a.OrderPosition(); }); }
XBE_EXPORT void xb_OrderPosSet(double f) { Do([&](TWorkArea& a) { a.SetOrderPosition(f); }); }

XBE_EXPORT int32_t xb_Rlock(int32_t n) {
  return With(xbFalse, [&](TWorkArea& a) {
    uint32_t rec = n > 0 ? uint32_t(n) : a.RecNo();
    if (!a.LockRecord(rec)) throw EDbfError("Record " + std::to_string(rec) + " is locked by another user or task");
    return xbTrue;
  });
}
XBE_EXPORT void xb_Unlock(int32_t n) {
  Do([&](TWorkArea& a) { a.Unlock(n > 0 ? uint32_t(n) : 0); });
}

// ---- field values

XBE_EXPORT const char* xb_GetTrimString(const char* field) {
  return With<const char*>("", [&](TWorkArea& a) { return Text(TrimTrailingBlanks(FieldText(a, field))); });
}
XBE_EXPORT double xb_GetDouble(const char* field) {
  return With(0.0, [&](TWorkArea& a) { return a.FieldValue(a.Record(), FieldOf(a, field)).Num; });
}
XBE_EXPORT int32_t xb_GetInteger(const char* field) {
  return With(0, [&](TWorkArea& a) {
    double d = a.FieldValue(a.Record(), FieldOf(a, field)).Num;
    return d > 2147483647.0 || d < -2147483648.0 ? 0 : int32_t(d);
  });
}
XBE_EXPORT const char* xb_GetDateString(const char* field) {
  return With<const char*>("", [&](TWorkArea& a) {
    TValue v = a.FieldValue(a.Record(), FieldOf(a, field));
    return Text(FormatDate(v.Day, Settings().DateFormat, Settings().Century));
  });
}
XBE_EXPORT char* xb_GetMemo(const char* field, int32_t) {
  return With<char*>(nullptr, [&](TWorkArea& a) {
    std::string memo = MemoOf(a, field);
    char* p = static_cast<char*>(std::malloc(memo.size() + 1));
    if (!p) throw EDbfError("Out of memory");
    std::memcpy(p, memo.c_str(), memo.size() + 1);
    return p;
  });
}
XBE_EXPORT void xb_MemDealloc(void* p) { std::free(p); }
XBE_EXPORT int32_t xb_GetBlobLength(const char* field) {
  return With(0, [&](TWorkArea& a) {
    std::string memo = MemoOf(a, field);
    if (memo.size() > std::size_t(INT32_MAX)) throw EDbfError(std::string("Memo too long: ") + field);
    a.BlobField = FieldOf(a, field);
    a.BlobRecNo = a.RecNo();
    a.BlobLength = memo.size();
    return int32_t(memo.size());
  });
}
XBE_EXPORT void xb_GetBlob(const char* field, void* buffer) {
  Do([&](TWorkArea& a) {
    // The buffer is as long as the length answered last for this field and record: a memo that
    // grew since (another process wrote it) is cut there, never written past it.
    int f = FieldOf(a, field);
    if (a.BlobField != f || a.BlobRecNo != a.RecNo())
      throw EDbfError(std::string("The length of ") + field + " was not asked with xb_GetBlobLength");
    std::string memo = MemoOf(a, field);
    std::memcpy(buffer, memo.data(), std::min(memo.size(), a.BlobLength));
  });
}
XBE_EXPORT int32_t xb_PutBlob(const char* field, const void* data, int32_t length) {
  return With(0, [&](TWorkArea& a) {
    return Change(a, [&] {
      int f = FieldOf(a, field);
      if (!a.Dbf().Fields()[std::size_t(f)].IsMemo()) throw EDbfError(std::string("Not a memo field: ") + field);
      if (a.Eof()) throw EDbfError("No current record to write");
      std::size_t n = length > 0 ? std::size_t(length) : 0;
      std::string ref = a.Dbf().WriteMemo(std::string_view(static_cast<const char*>(data), n));
      a.PutField(f, ref);
      return int32_t(n);
    });
  });
}

XBE_EXPORT void xb_Replace(const char* field, int32_t kind, const void* value) {
  Do([&](TWorkArea& a) { Change(a, [&] {
    if (a.Eof()) throw EDbfError("No current record to write");
    int f = FieldOf(a, field);
    const TDbfField& info = a.Dbf().Fields()[std::size_t(f)];
    std::string text;
    switch (kind) {
      case xbReplaceText: text = static_cast<const char*>(value); break;
      case xbReplaceDate: text = static_cast<const char*>(value); break;
      case xbReplaceLogical: text = *static_cast<const int32_t*>(value) ? "T" : "F"; break;
      case xbReplaceInteger:
      case xbReplaceDouble: {
        double d = kind == xbReplaceInteger ? *static_cast<const int32_t*>(value) : *static_cast<const double*>(value);
        text = FormatNumber(d, info.Width, info.Decimals);
        break;
      }
      default: throw EDbfError("Unknown replace kind " + std::to_string(kind));
    }
    if (info.IsMemo()) text = a.Dbf().WriteMemo(text);
    else if (info.Type == 'N' || info.Type == 'F') {
      if (kind == xbReplaceText) text = FormatNumber(std::strtod(text.c_str(), nullptr), info.Width, info.Decimals);
    }
    a.PutField(f, text);
  }); });
}

// ---- expressions and queries

XBE_EXPORT int32_t xb_EvalTest(const char* expr) {
  return With(-1, [&](TWorkArea& a) {
    TExpression e = a.Compile(expr ? expr : "");
    if (e.Empty()) throw EExprError("Empty expression");
    switch (e.Type()) {
      case TType::Character: return xbTypeCharacter;
      case TType::Numeric: return xbTypeNumeric;
      case TType::Logical: return xbTypeLogical;
      default: return xbTypeDate;
    }
  });
}
XBE_EXPORT int32_t xb_EvalLogical(const char* expr) {
  return With(xbFalse, [&](TWorkArea& a) { return XbLogical(a.Evaluate(a.Compile(expr ? expr : "")).Log); });
}
XBE_EXPORT double xb_EvalNumeric(const char* expr) {
  return With(0.0, [&](TWorkArea& a) { return a.Evaluate(a.Compile(expr ? expr : "")).Num; });
}
XBE_EXPORT const char* xb_EvalString(const char* expr) {
  return With<const char*>("", [&](TWorkArea& a) { return Text(ValueText(a.Evaluate(a.Compile(expr ? expr : "")))); });
}
XBE_EXPORT int32_t xb_Query(const char* expr) {
  return With(-1, [&](TWorkArea& a) {
    a.SetFilter(expr ? expr : "");
    a.GoTop();
    return int32_t(a.RecNo());
  });
}
XBE_EXPORT int32_t xb_QueryTest(const char* expr) {
  return With(-1, [&](TWorkArea& a) {
    TExpression e = a.Compile(expr ? expr : "");
    if (e.Empty()) return 0;
    if (e.Type() != TType::Logical) throw EExprError(std::string("A filter must be a logical expression: ") + expr);
    return 1;  // evaluated record by record
  });
}
XBE_EXPORT int32_t xb_QueryRecCount() { return With(0, [](TWorkArea& a) { return int32_t(a.FilterCount()); }); }
XBE_EXPORT const char* xb_DBFilter() { return With<const char*>("", [](TWorkArea& a) { return Text(a.FilterText()); }); }

// ---- orders

XBE_EXPORT int32_t xb_IndexOpen(const char* file) {
  return With(0, [&](TWorkArea& a) {
    int first = a.OpenIndex(file ? file : "");
    ReportNotice(a);
    return first;
  });
}
XBE_EXPORT void xb_CloseIndexes() { Do([](TWorkArea& a) { a.CloseIndexes(); }); }
XBE_EXPORT int32_t xb_IndexOrd() { return With(0, [](TWorkArea& a) { return a.CurrentOrder(); }); }
XBE_EXPORT int32_t xb_SetOrder(int32_t order) {
  return With(0, [&](TWorkArea& a) {
    int old = a.CurrentOrder();
    if (order < 0 || order > a.OrderCount()) throw EDbfError("No order number " + std::to_string(order));
    a.SetOrder(order);
    return old;
  });
}
XBE_EXPORT int32_t xb_TagArea(const char* tag) { return With(0, [&](TWorkArea& a) { return a.TagArea(tag ? tag : ""); }); }

namespace {
template <class F>
const char* OrderText(int32_t order, F f) {
  return With<const char*>("", [&](TWorkArea& a) {
    const TOrder* o = a.Order(order);
    return o ? Text(f(*o)) : "";
  });
}
}  // namespace

XBE_EXPORT const char* xb_TagName(int32_t order) { return OrderText(order, [](const TOrder& o) { return o.Tag; }); }
XBE_EXPORT const char* xb_IndexName(int32_t order) { return OrderText(order, [](const TOrder& o) { return o.File; }); }
XBE_EXPORT const char* xb_IndexKey() {
  return With<const char*>("", [](TWorkArea& a) { return OrderText(a.CurrentOrder(), [](const TOrder& o) { return o.Key.Text(); }); });
}
XBE_EXPORT const char* xb_IndexCondition() {
  return With<const char*>("", [](TWorkArea& a) { return OrderText(a.CurrentOrder(), [](const TOrder& o) { return o.For.Text(); }); });
}
XBE_EXPORT const char* xb_IndexKeyField() {
  return With<const char*>("", [](TWorkArea& a) {
    return OrderText(a.CurrentOrder(), [](const TOrder& o) {
      std::string names;
      for (const auto& n : o.Key.FieldNames()) names += (names.empty() ? "" : ";") + n;
      return names;
    });
  });
}
XBE_EXPORT int32_t xb_IndexType() {
  return With(0, [](TWorkArea& a) {
    const TOrder* o = a.Order(a.CurrentOrder());
    return o ? (o->Unique ? 2 : 1) : 0;
  });
}
XBE_EXPORT int32_t xb_Seek(const char* key) { return With(xbFalse, [&](TWorkArea& a) { return XbLogical(a.Seek(key ? key : "")); }); }
XBE_EXPORT int32_t xb_SetScope(const char* low, const char* high) {
  return With(xbFalse, [&](TWorkArea& a) {
    if (!a.SetScope(low ? low : "", high ? high : "")) throw EDbfError("A scope needs an active order");
    a.GoTop();
    return xbTrue;
  });
}
XBE_EXPORT const char* xb_GetScope(int32_t which) {
  return With<const char*>("", [&](TWorkArea& a) { return Text(a.Scope(which)); });
}
