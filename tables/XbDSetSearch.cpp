// The table data set's searching: Locate and Lookup, through an index seek where an order fits.
#include "tables/XbDSet.h"

#include "tables/XBE7.h"
#include "tables/XbExprText.h"

using namespace XbExprText;

namespace {

constexpr int32_t kPropOrderCount = xbPropOrderCount;
constexpr int32_t kPropGetExact = xbPropGetExact;
constexpr int32_t kPropSetExact = xbPropSetExact;

}  // namespace

// ---- searching

void TXbTable::restoreOrder(int32_t order) {
  XbOps::SetOrder(*this, order);
  // A change of order drops the engine's scope; the table's stays.
  if (!order) return;
  int32_t rec = XbOps::RecNo(*this);
  if (FScoped) XbOps::SetScope(*this, FScopeBegin, FScopeEnd);
  else if (!FMasterKey.empty()) XbOps::SetScope(*this, FMasterKey, FMasterKey);
  else return;
  if (rec > 0) XbOps::Go(*this, rec);
}

bool TXbTable::fieldMatchesKey(int order, const AnsiString& field, bool caseInsensitive) {
  XbOps::SetOrder(*this, order);
  AnsiString key = UpperCase(XbOps::IndexKey(*this));
  if (!SameText(XbOps::IndexKeyField(*this), field)) return false;
  return caseInsensitive ? Contains(key, "UPPER(") : !Contains(key, "UPPER(");
}

AnsiString TXbTable::keyText(TField* field, const Variant& value, bool upper) const {
  switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return IntToStr(value.AsInteger());
    case ftBoolean: return value.AsBoolean() ? ".T." : ".F.";
    case ftFloat:
    case ftCurrency: return XbNumber(value.AsDouble());
    case ftDate: return value.VarType() == varString ? value.AsString() : Dtos(value.AsDateTime());
    default: return upper ? AnsiUpperCase(value.AsString()) : value.AsString();
  }
}

bool TXbTable::seekLocate(TField* field, const Variant& value, TLocateOptions options) {
  AnsiString key = keyText(field, value, Contains(UpperCase(XbOps::IndexKey(*this)), "UPPER("));
  int32_t keep = XbOps::RecNo(*this);
  int32_t exact = XbOps::SysProp(*this, kPropGetExact, 0);
  XbOps::SysProp(*this, kPropSetExact, (options & loPartialKey) ? 0 : 1);
  bool found = XbOps::Seek(*this, key) != 0;
  if (!(options & loPartialKey)) found = XbOps::Found(*this) != 0;
  XbOps::SysProp(*this, kPropSetExact, exact != 0 ? 1 : 0);
  return found || (XbOps::Go(*this, keep), false);
}

void TXbTable::moveToFound(int32_t rec) {
  BeforeMove();
  XbOps::Go(*this, rec);
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
  Resync(0);
  AfterMove();
}

bool TXbTable::Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  select();
  std::vector<AnsiString> names = SplitFieldNames(keyFields);
  std::vector<Variant> values = keyValues.IsArray() ? keyValues.Items() : std::vector<Variant>{keyValues};
  if (names.empty() || names.size() != values.size()) return false;
  bool ci = options & loCaseInsensitive;
  int32_t previousOrder = XbOps::IndexOrd(*this);
  if (names.size() == 1 && XbOps::SysProp(*this, kPropOrderCount, 0) > 0 && !VarIsNull(values[0])) {
    TField* f = FieldByName(names[0]);
    int32_t count = XbOps::SysProp(*this, kPropOrderCount, 0);
    for (int32_t i = 1; i <= count; ++i) {
      if (!fieldMatchesKey(i, names[0], ci && f->DataType() == ftString)) continue;
      bool found = seekLocate(f, values[0], options);
      int32_t rec = XbOps::RecNo(*this);
      restoreOrder(previousOrder);
      if (!found) return false;
      moveToFound(rec);
      return true;
    }
    restoreOrder(previousOrder);
  }
  AnsiString terms;
  for (std::size_t i = 0; i < names.size(); ++i) {
    TField* f = FieldByName(names[i]);
    const Variant& v = values[i];
    AnsiString name = UpperCase(f->FieldName()), term;
    switch (f->DataType()) {
      case ftString: {
        AnsiString s = VarIsNull(v) ? AnsiString() : v.AsString();
        // "=" between texts matches longer values while exact comparison is off: a whole value
        // is compared at the field's width, as the seek does.
        if (!(options & loPartialKey) && int(s.size()) < f->Size()) s.resize(std::size_t(f->Size()), ' ');
        term = (ci ? "UPPER(" + name + ")" : name) + "=" + XbQuote(ci ? AnsiUpperCase(s) : s);
        break;
      }
      case ftSmallint:
      case ftInteger:
      case ftWord: term = name + "=" + IntToStr(v.AsInteger()); break;
      case ftFloat:
      case ftCurrency: term = name + "=" + XbNumber(v.AsDouble()); break;
      case ftBoolean: term = name + (v.AsBoolean() ? "= .T." : "= .F."); break;
      case ftDate: {
        AnsiString d = v.VarType() == varString ? v.AsString() : Dtos(v.AsDateTime());
        if ((options & loPartialKey) && d.size() < 8)
          term = "LEFT( DTOS(" + name + "), " + IntToStr(int64_t(d.size())) + ") = " + XbQuote(d);
        else
          term = "DTOS(" + name + ") = " + XbQuote(d);
        break;
      }
      default: continue;
    }
    terms += (terms.empty() ? "" : " .and. ") + term;
  }
  AnsiString previous = XbOps::DBFilter(*this);
  AnsiString expr = previous.empty() ? terms : "(" + terms + ") .and. (" + previous + ")";
  if (XbOps::EvalTest(*this, expr) != xbTypeLogical) return false;
  XbOps::Query(*this, expr);
  int32_t rec = XbOps::Eof(*this) ? 0 : XbOps::RecNo(*this);
  XbOps::Query(*this, previous);
  countStale();
  if (rec < 1) {
    if (TRecordBuffer b = ActiveBuffer(); b && bookmarkOf(b) > 0) XbOps::Go(*this, bookmarkOf(b));
    return false;
  }
  moveToFound(rec);
  return true;
}

Variant TXbTable::Lookup(const AnsiString& keyFields, const Variant& keyValues, const AnsiString& resultFields) {
  if (VarIsNull(keyValues) || !FWorkArea) return Variant::Null();
  select();
  std::vector<AnsiString> names = SplitFieldNames(keyFields);
  auto resultOf = [&]() -> Variant {
    std::vector<AnsiString> results = SplitFieldNames(resultFields);
    if (results.size() == 1) return FieldByName(results[0])->AsVariant();
    std::vector<Variant> items;
    for (const AnsiString& r : results) items.push_back(FieldByName(r)->AsVariant());
    return VarArrayOf(items);
  };
  if (XbOps::IndexOrd(*this) == 0 || names.size() != 1 || keyValues.IsArray()) {
    if (!Locate(keyFields, keyValues, 0)) return Variant::Null();
    return resultOf();
  }
  AnsiString name = UpperCase(names[0]);
  char type = Trim(XbOps::FieldType(*this, name)).c_str()[0];
  int width = XbOps::FieldWidth(*this, name);
  AnsiString key;
  switch (type) {
    case 'N':
    case 'F': {
      key = keyValues.VarType() == varDouble ? XbNumber(keyValues.AsDouble()) : IntToStr(keyValues.AsInteger());
      if (int(key.size()) < width) key = AnsiString(std::size_t(width) - key.size(), ' ') + key;
      break;
    }
    case 'C':
      key = keyValues.AsString();
      if (int(key.size()) < width) key.resize(std::size_t(width), ' ');
      break;
    case 'D': key = keyValues.VarType() == varString ? keyValues.AsString() : Dtos(keyValues.AsDateTime()); break;
    case 'L': key = keyValues.AsInteger() == -1 || keyValues.AsBoolean() ? "T" : "F"; break;
    default: key = keyValues.AsString(); break;
  }
  int32_t keep = XbOps::RecNo(*this);
  XbOps::Seek(*this, key);
  Variant result = Variant::Null();
  if (XbOps::Found(*this)) {
    std::vector<Variant> items;
    for (const AnsiString& r : SplitFieldNames(resultFields)) {
      AnsiString rn = UpperCase(r);
      char rt = Trim(XbOps::FieldType(*this, rn)).c_str()[0];
      switch (rt) {
        case 'I': items.push_back(Variant(int64_t(XbOps::GetInteger(*this, rn)))); break;
        case 'C': items.push_back(Variant(XbOps::GetTrimString(*this, rn))); break;
        case 'D': {
          AnsiString d = XbOps::GetDateString(*this, rn);
          items.push_back(d.empty() || d[0] == ' ' ? Variant(int64_t(0)) : Variant(d));
          break;
        }
        case 'L': items.push_back(Variant(XbOps::GetTrimString(*this, rn) == "T")); break;
        case 'N':
        case 'F':
          if (XbOps::FieldDecimals(*this, rn) > 0 || XbOps::FieldWidth(*this, rn) > 4)
            items.push_back(Variant(XbOps::GetDouble(*this, rn)));
          else
            items.push_back(Variant(int64_t(XbOps::GetInteger(*this, rn))));
          break;
        default: items.push_back(Variant(XbOps::GetTrimString(*this, rn))); break;
      }
    }
    result = items.size() == 1 ? items[0] : VarArrayOf(items);
  }
  XbOps::Go(*this, keep);
  return result;
}
