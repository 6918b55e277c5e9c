// Variants: one value of any of the data-access types, null, or an array of them, as search keys
// and field values travel between a data set and its callers.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"

enum TVarType { varEmpty, varNull, varSmallint, varInteger, varDouble, varDate, varBoolean, varString, varArray };

class Variant {
public:
  Variant() = default;
  Variant(int v) : FType(varInteger), FValue(int64_t(v)) {}
  Variant(int16_t v) : FType(varSmallint), FValue(int64_t(v)) {}
  Variant(int64_t v) : FType(varInteger), FValue(v) {}
  Variant(double v) : FType(varDouble), FValue(v) {}
  Variant(bool v) : FType(varBoolean), FValue(v) {}
  Variant(const char* v) : FType(varString), FValue(AnsiString(v)) {}
  Variant(AnsiString v) : FType(varString), FValue(std::move(v)) {}
  Variant(std::vector<Variant> items) : FType(varArray), FValue(std::move(items)) {}
  static Variant Null() {
    Variant v;
    v.FType = varNull;
    return v;
  }
  static Variant FromDate(TDateTime d) {
    Variant v(d);
    v.FType = varDate;
    return v;
  }

  TVarType VarType() const { return FType; }
  bool IsNull() const { return FType == varNull; }
  bool IsEmpty() const { return FType == varEmpty; }
  bool IsArray() const { return FType == varArray; }
  const std::vector<Variant>& Items() const;

  // Conversions raise EConvertError when the value has no such reading.
  int64_t AsInteger() const;
  double AsDouble() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  AnsiString AsString() const;

  bool operator==(const Variant& other) const;

private:
  TVarType FType = varEmpty;
  std::variant<std::monostate, int64_t, double, bool, AnsiString, std::vector<Variant>> FValue;
};



inline bool VarIsNull(const Variant& v) { return v.IsNull() || v.IsEmpty(); }
inline bool VarIsArray(const Variant& v) { return v.IsArray(); }
inline Variant VarArrayOf(std::vector<Variant> items) { return Variant(std::move(items)); }
