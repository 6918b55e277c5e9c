// The automation core: result codes, GUIDs, the IUnknown and IDispatch interfaces, dispatch
// parameters, and a counted interface pointer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/rtl/AnsiString.h"

using HRESULT = int32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using ULONG = uint32_t;
using VARIANT_BOOL = int16_t;
using WideString = std::wstring;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Result codes keep the platform's values.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = static_cast<HRESULT>(0x800706BA);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);

// Invoke flags.
constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

// Class contexts of object creation.
constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
constexpr uint32_t CLSCTX_REMOTE_SERVER = 0x10;

struct GUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};
  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.D1 != b.D1 || a.D2 != b.D2 || a.D3 != b.D3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.D4[i] != b.D4[i]) return false;
    return true;
  }
};
using IID = GUID;
using CLSID = GUID;

namespace com_detail {
constexpr uint32_t hexDigit(char c) {
  return c >= '0' && c <= '9' ? uint32_t(c - '0') : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                                                                        : uint32_t(c - 'A' + 10);
}
constexpr uint32_t hexAt(std::string_view s, size_t pos, size_t digits) {
  uint32_t v = 0;
  for (size_t i = 0; i < digits; ++i) v = v * 16 + hexDigit(s[pos + i]);
  return v;
}
}  // namespace com_detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as a GUID; usable in constant expressions.
constexpr GUID StringToGUID(std::string_view s) {
  using com_detail::hexAt;
  GUID g;
  g.D1 = hexAt(s, 1, 8);
  g.D2 = static_cast<uint16_t>(hexAt(s, 10, 4));
  g.D3 = static_cast<uint16_t>(hexAt(s, 15, 4));
  g.D4[0] = static_cast<uint8_t>(hexAt(s, 20, 2));
  g.D4[1] = static_cast<uint8_t>(hexAt(s, 22, 2));
  for (int i = 0; i < 6; ++i) g.D4[2 + i] = static_cast<uint8_t>(hexAt(s, 25 + 2 * size_t(i), 2));
  return g;
}
AnsiString GUIDToString(const GUID& g);
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

constexpr GUID GUID_NULL{};
constexpr IID IID_IUnknown = StringToGUID("{00000000-0000-0000-C000-000000000046}");
constexpr IID IID_IDispatch = StringToGUID("{00020400-0000-0000-C000-000000000046}");
constexpr IID IID_IConnectionPointContainer = StringToGUID("{B196B284-BAB4-101A-B69C-00AA00341D07}");
constexpr IID IID_IConnectionPoint = StringToGUID("{B196B286-BAB4-101A-B69C-00AA00341D07}");

class IUnknown {
public:
  virtual HRESULT QueryInterface(const IID& iid, void** obj) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default;
};

class OleVariant;

struct DISPPARAMS {
  OleVariant* rgvarg = nullptr;  // arguments from right to left
  DISPID* rgdispidNamedArgs = nullptr;
  uint32_t cArgs = 0;
  uint32_t cNamedArgs = 0;
};

struct EXCEPINFO {
  uint16_t wCode = 0;
  WideString bstrSource;
  WideString bstrDescription;
  WideString bstrHelpFile;
  uint32_t dwHelpContext = 0;
  HRESULT scode = 0;
};

class ITypeInfo;

class IDispatch : public IUnknown {
public:
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(const IID& iid, const WideString* names, uint32_t count, LCID lcid,
                                DISPID* dispids) = 0;
  virtual HRESULT Invoke(DISPID dispid, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                         OleVariant* result, EXCEPINFO* excepInfo, uint32_t* argErr) = 0;

protected:
  ~IDispatch() = default;
};

// Holds one counted reference to an interface.
template <class T>
class TComPtr {
public:
  TComPtr() = default;
  TComPtr(std::nullptr_t) {}
  // Takes a new reference.
  explicit TComPtr(T* p) : FPtr(p) { if (FPtr) FPtr->AddRef(); }
  TComPtr(const TComPtr& o) : TComPtr(o.FPtr) {}
  TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
  template <class U>
  TComPtr(const TComPtr<U>& o) : TComPtr(static_cast<T*>(o.Get())) {}
  ~TComPtr() { Reset(); }
  TComPtr& operator=(TComPtr o) noexcept { std::swap(FPtr, o.FPtr); return *this; }

  // Adopts a reference the caller already holds.
  static TComPtr Attach(T* p) { TComPtr r; r.FPtr = p; return r; }
  T* Detach() { return std::exchange(FPtr, nullptr); }
  void Reset() { if (auto* p = std::exchange(FPtr, nullptr)) p->Release(); }
  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  // For out parameters: releases what is held and hands out the slot.
  T** Put() { Reset(); return &FPtr; }
  void** PutVoid() { Reset(); return reinterpret_cast<void**>(&FPtr); }
  friend bool operator==(const TComPtr& a, const TComPtr& b) { return a.FPtr == b.FPtr; }

  // The interface iid of this object, or an empty pointer.
  template <class U>
  TComPtr<U> Query(const IID& iid) const {
    TComPtr<U> r;
    if (FPtr) FPtr->QueryInterface(iid, r.PutVoid());
    return r;
  }

private:
  T* FPtr = nullptr;
};

// Wide strings of the automation layer and the Windows-1252 strings of the system.
WideString AnsiToWide(std::string_view s);
AnsiString WideToAnsi(const WideString& w);  // unmappable characters become '?'
std::string WideToUtf8(const WideString& w);
WideString Utf8ToWide(std::string_view s);   // bad sequences become U+FFFD
