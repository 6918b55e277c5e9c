#include "platform/com/Variants.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

OleVariant::OleVariant(IDispatch* v) : FType(VT_DISPATCH), FDispatch(v) {}

OleVariant OleVariant::Array(std::vector<OleVariant> items, int lowBound) {
  OleVariant v;
  v.FType = VT_ARRAY | VT_VARIANT;
  v.FArray = std::move(items);
  v.FLowBound = lowBound;
  return v;
}

const OleVariant& OleVariant::Deref() const {
  if (FType == (VT_BYREF | VT_VARIANT) && FRef) return *static_cast<const OleVariant*>(FRef);
  return *this;
}

bool OleVariant::IsNumber() const {
  const OleVariant& v = Deref();
  return v.FType == VT_I2 || v.FType == VT_I4 || v.FType == VT_R8;
}

bool OleVariant::IsInterface() const {
  const OleVariant& v = Deref();
  return v.FType == VT_DISPATCH || v.FType == VT_UNKNOWN || v.FType == (VT_BYREF | VT_DISPATCH);
}

double OleVariant::AsDouble() const {
  const OleVariant& v = Deref();
  switch (v.FType) {
    case VT_EMPTY: return 0;
    case VT_I2: case VT_I4: case VT_BOOL: return v.FInt;
    case VT_R8: case VT_DATE: return v.FDouble;
    case VT_BYREF | VT_BOOL: return *static_cast<VARIANT_BOOL*>(v.FRef);
    case VT_BSTR: {
      std::string a = WideToUtf8(v.FText);
      char* end = nullptr;
      double d = std::strtod(a.c_str(), &end);
      if (!a.empty() && end && *end == '\0' && std::isfinite(d)) return d;
      break;
    }
    default: break;
  }
  throw EVariantError("Could not convert variant to a number");
}

int OleVariant::AsInteger() const {
  double d = AsDouble();
  if (!(d >= -2147483648.0 && d <= 2147483647.0)) throw EVariantError("Variant overflow");
  return static_cast<int>(std::nearbyint(d));
}

bool OleVariant::AsBool() const {
  const OleVariant& v = Deref();
  if (v.FType == VT_BSTR) {
    AnsiString t = UpperCase(WideToAnsi(v.FText));
    if (t == "TRUE") return true;
    if (t == "FALSE") return false;
  }
  return v.AsDouble() != 0;
}

WideString NumberToWide(double v) {
  char buf[40];
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", v);
  }
  return AnsiToWide(buf);
}

namespace {

// "2024-02-29", with " 13:30:00" when the time of day is not midnight.
WideString dateText(double date) {
  double whole = std::floor(date);
  long long seconds = std::llround((date - whole) * 86400);
  long long days = static_cast<long long>(whole) + seconds / 86400 + 693899;  // days from 1 March of year 0
  seconds %= 86400;
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long doe = days - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
  char buf[96];
  if (seconds)
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  else
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld", y, m, d);
  return AnsiToWide(buf);
}

}  // namespace

WideString OleVariant::AsWide() const {
  const OleVariant& v = Deref();
  switch (v.FType) {
    case VT_EMPTY: return {};
    case VT_BSTR: return v.FText;
    case VT_I2: case VT_I4: return NumberToWide(v.FInt);
    case VT_R8: return NumberToWide(v.FDouble);
    case VT_DATE: return dateText(v.FDouble);
    case VT_BOOL: return v.FInt ? L"True" : L"False";
    default: break;
  }
  throw EVariantError("Could not convert variant to a string");
}

TComPtr<IDispatch> OleVariant::AsDispatch() const {
  const OleVariant& v = Deref();
  switch (v.FType) {
    case VT_EMPTY: case VT_NULL: return {};
    case VT_DISPATCH: case VT_UNKNOWN: return v.FDispatch;
    case VT_BYREF | VT_DISPATCH: return TComPtr<IDispatch>(*static_cast<IDispatch**>(v.FRef));
    default: break;
  }
  throw EVariantError("Variant is not an object");
}

void OleVariant::SetRef(const OleVariant& value) const {
  switch (FType) {
    case VT_BYREF | VT_BOOL:
      *static_cast<VARIANT_BOOL*>(FRef) = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case VT_BYREF | VT_VARIANT:
      *static_cast<OleVariant*>(FRef) = value;
      return;
    case VT_BYREF | VT_DISPATCH: {
      auto** slot = static_cast<IDispatch**>(FRef);
      TComPtr<IDispatch> keep = value.AsDispatch();
      if (*slot) (*slot)->Release();
      *slot = keep.Detach();
      return;
    }
    default: break;
  }
  throw EVariantError("Variant is not a reference");
}

bool operator==(const OleVariant& a0, const OleVariant& b0) {
  const OleVariant& a = a0.Deref();
  const OleVariant& b = b0.Deref();
  if (a.IsNumber() && b.IsNumber()) return a.AsDouble() == b.AsDouble();
  if (a.FType != b.FType) return false;
  switch (a.FType) {
    case VT_BSTR: return a.FText == b.FText;
    case VT_DATE: return a.FDouble == b.FDouble;
    case VT_BOOL: case VT_ERROR: return a.FInt == b.FInt;
    case VT_DISPATCH: case VT_UNKNOWN: return a.FDispatch == b.FDispatch;
    case VT_ARRAY | VT_VARIANT: return a.FLowBound == b.FLowBound && a.FArray == b.FArray;
    default: return a.FRef == b.FRef;
  }
}
