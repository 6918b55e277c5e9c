#include "platform/classlib/Variants.h"

#include <cmath>
#include <cstdlib>

#include "platform/rtl/Format.h"

const std::vector<Variant>& Variant::Items() const {
  static const std::vector<Variant> none;
  return FType == varArray ? std::get<std::vector<Variant>>(FValue) : none;
}

int64_t Variant::AsInteger() const {
  switch (FType) {
    case varSmallint:
    case varInteger: return std::get<int64_t>(FValue);
    case varDouble:
    case varDate: return static_cast<int64_t>(std::llround(std::get<double>(FValue)));
    case varBoolean: return std::get<bool>(FValue) ? -1 : 0;
    case varString: {
      int64_t v = 0;
      if (TryStrToInt(Trim(std::get<AnsiString>(FValue)), v)) return v;
      break;
    }
    default: break;
  }
  throw EConvertError("Could not convert variant to type Integer");
}

double Variant::AsDouble() const {
  switch (FType) {
    case varSmallint:
    case varInteger: return double(std::get<int64_t>(FValue));
    case varDouble:
    case varDate: return std::get<double>(FValue);
    case varBoolean: return std::get<bool>(FValue) ? -1 : 0;
    case varString: {
      AnsiString s = Trim(std::get<AnsiString>(FValue));
      char* end = nullptr;
      double d = std::strtod(s.c_str(), &end);
      if (!s.empty() && end && *end == 0) return d;
      break;
    }
    default: break;
  }
  throw EConvertError("Could not convert variant to type Double");
}

bool Variant::AsBoolean() const {
  if (FType == varBoolean) return std::get<bool>(FValue);
  if (FType == varString) {
    const AnsiString& s = std::get<AnsiString>(FValue);
    if (SameText(s, "True")) return true;
    if (SameText(s, "False")) return false;
  }
  return AsDouble() != 0;
}

TDateTime Variant::AsDateTime() const {
  if (FType == varString) {
    TDateTime d = 0;
    if (TryStrToDate(std::get<AnsiString>(FValue), d)) return d;
    throw EConvertError("Could not convert variant to type Date");
  }
  return AsDouble();
}

AnsiString Variant::AsString() const {
  switch (FType) {
    case varEmpty:
    case varNull: return AnsiString();
    case varSmallint:
    case varInteger: return IntToStr(std::get<int64_t>(FValue));
    case varDouble: return FloatToStr(std::get<double>(FValue));
    case varDate: return DateToStr(std::get<double>(FValue));
    case varBoolean: return std::get<bool>(FValue) ? "True" : "False";
    case varString: return std::get<AnsiString>(FValue);
    default: break;
  }
  throw EConvertError("Could not convert variant to type String");
}

bool Variant::operator==(const Variant& other) const { return FType == other.FType && FValue == other.FValue; }
