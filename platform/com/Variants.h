// Automation variants: the value kinds that pass through dispatch calls, one-dimensional arrays,
// and by-reference values through which a callee writes back to its caller.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com/ComTypes.h"
#include "platform/rtl/Exceptions.h"

using VARTYPE = uint16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_DATE = 7;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_VARIANT = 12;
constexpr VARTYPE VT_UNKNOWN = 13;
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_BYREF = 0x4000;
constexpr VARTYPE VT_TYPEMASK = 0x0FFF;

// A variant that cannot be read as the kind asked for.
QUORVEX_EXCEPTION(EVariantError, Exception);

class OleVariant {
public:
  OleVariant() = default;
  OleVariant(int v) : FType(VT_I4), FInt(v) {}
  OleVariant(double v) : FType(VT_R8), FDouble(v) {}
  OleVariant(bool v) : FType(VT_BOOL), FInt(v ? VARIANT_TRUE : VARIANT_FALSE) {}
  OleVariant(const WideString& v) : FType(VT_BSTR), FText(v) {}
  OleVariant(const wchar_t* v) : FType(VT_BSTR), FText(v) {}
  // Narrow text becomes a wide string, as at every edge of the automation layer.
  OleVariant(const char* v) : FType(VT_BSTR), FText(AnsiToWide(v)) {}
  OleVariant(const AnsiString& v) : FType(VT_BSTR), FText(AnsiToWide(v)) {}
  OleVariant(IDispatch* v);
  OleVariant(const TComPtr<IDispatch>& v) : OleVariant(v.Get()) {}

  static OleVariant Null() { OleVariant v; v.FType = VT_NULL; return v; }
  static OleVariant Int16(int16_t i) { OleVariant v{int(i)}; v.FType = VT_I2; return v; }
  // Days since 30 December 1899, the time of day as the fraction.
  static OleVariant Date(double days) { OleVariant v{days}; v.FType = VT_DATE; return v; }
  static OleVariant Error(HRESULT code) { OleVariant v{int(code)}; v.FType = VT_ERROR; return v; }
  // An optional argument left out.
  static OleVariant Missing() { return Error(DISP_E_PARAMNOTFOUND); }
  static OleVariant Array(std::vector<OleVariant> items, int lowBound = 0);
  static OleVariant ByRef(VARIANT_BOOL* b) { OleVariant v; v.FType = VT_BYREF | VT_BOOL; v.FRef = b; return v; }
  static OleVariant ByRef(IDispatch** d) { OleVariant v; v.FType = VT_BYREF | VT_DISPATCH; v.FRef = d; return v; }
  static OleVariant ByRef(OleVariant* p) { OleVariant v; v.FType = VT_BYREF | VT_VARIANT; v.FRef = p; return v; }

  VARTYPE VType() const { return FType; }
  bool IsEmpty() const { return FType == VT_EMPTY; }
  bool IsNull() const { return FType == VT_NULL; }
  bool IsMissing() const { return FType == VT_EMPTY || (FType == VT_ERROR && FInt == DISP_E_PARAMNOTFOUND); }
  bool IsArray() const { return (FType & VT_ARRAY) != 0; }
  bool IsByRef() const { return (FType & VT_BYREF) != 0; }
  bool IsText() const { return Deref().FType == VT_BSTR; }
  bool IsNumber() const;
  bool IsInterface() const;

  // Readings that convert as automation does; raise EVariantError when they cannot.
  int AsInteger() const;
  double AsDouble() const;
  bool AsBool() const;
  WideString AsWide() const;
  AnsiString AsAnsi() const { return WideToAnsi(AsWide()); }
  // Empty and Null give an empty pointer; any other non-interface raises.
  TComPtr<IDispatch> AsDispatch() const;
  HRESULT ErrorCode() const { return FType == VT_ERROR ? FInt : S_OK; }

  int LowBound() const { return FLowBound; }
  const std::vector<OleVariant>& Elements() const { return FArray; }

  // The value behind a by-reference variant (itself otherwise).
  const OleVariant& Deref() const;
  // Writes through a by-reference variant; raises EVariantError on one that is not.
  void SetRef(const OleVariant& value) const;

  friend bool operator==(const OleVariant& a, const OleVariant& b);

private:
  VARTYPE FType = VT_EMPTY;
  int32_t FInt = 0;
  double FDouble = 0;
  WideString FText;
  TComPtr<IDispatch> FDispatch;
  std::vector<OleVariant> FArray;
  int FLowBound = 0;
  void* FRef = nullptr;
};

// Number text as automation writes it: integers plainly, others with up to 15 significant digits.
WideString NumberToWide(double v);
