// Server objects of this layer: reference counting, interface queries, and IDispatch over a table
// of members, each reached by dispatch id and, through a name table, by name.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/com/ComObj.h"

// The arguments of one call, left to right, named ones moved into their places.
class TInvokeArgs {
public:
  uint16_t Flags = DISPATCH_METHOD;
  std::vector<OleVariant> Args;
  OleVariant PutValue;  // the value of a property put

  bool IsPut() const { return (Flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
  bool Has(size_t i) const { return i < Args.size() && !Args[i].Deref().IsMissing(); }
  // The argument, or Missing when it was left out.
  const OleVariant& Arg(size_t i) const;
  // Raises DISP_E_PARAMNOTFOUND when the argument was left out.
  const OleVariant& Required(size_t i) const;
};

// What a member raises to fail the call with the server's exception information.
class EAutoServerError : public Exception {
public:
  EAutoServerError(HRESULT code, const AnsiString& description) : Exception(description), FCode(code) {}
  HRESULT Code() const { return FCode; }

private:
  HRESULT FCode;
};

// Names of the members, case-insensitive; one id per name across the whole server.
using TDispNames = std::map<AnsiString, DISPID>;

// The members of one server object and the IDispatch calls over them.
class TDispatchTable {
public:
  using TMember = std::function<OleVariant(const TInvokeArgs&)>;

  explicit TDispatchTable(const TDispNames& names) : FNames(names) {}
  void Method(DISPID dispid, TMember fn);
  // A getter alone is read-only; a put on it fails.
  void Property(DISPID dispid, TMember getter, TMember setter = nullptr);
  bool HasMember(DISPID dispid) const { return FMembers.count(dispid) != 0; }

  HRESULT GetIDsOfNames(const WideString* names, uint32_t count, DISPID* dispids) const;
  HRESULT Invoke(DISPID dispid, uint16_t flags, DISPPARAMS* params, OleVariant* result, EXCEPINFO* excepInfo);
  // Dual calls: the member runs directly and its failure is a bare code.
  HRESULT DualCall(DISPID dispid, uint16_t flags, std::vector<OleVariant> args, OleVariant* result,
                   const OleVariant& putValue = {});

  // Whom the exception information names as its source.
  static const wchar_t* ServerSource;

private:
  struct TEntry {
    TMember Getter;  // also the method
    TMember Setter;
    bool IsMethod = false;
  };
  HRESULT run(DISPID dispid, TInvokeArgs& args, OleVariant* result, EXCEPINFO* info);

  const TDispNames& FNames;
  std::map<DISPID, TEntry> FMembers;
};

// A counted server object answering IDispatch, and the dual interface Intf when it is one.
template <class Intf = IDispatch>
class TAutoObject : public Intf {
public:
  using TMember = TDispatchTable::TMember;

  TAutoObject(const TDispNames& names, const IID& iid) : FTable(names), FIID(iid) {}
  TAutoObject(const TAutoObject&) = delete;
  TAutoObject& operator=(const TAutoObject&) = delete;

  HRESULT QueryInterface(const IID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == FIID) {
      *obj = static_cast<Intf*>(this);
      this->AddRef();
      return S_OK;
    }
    *obj = nullptr;
    return QueryMore(iid, obj);
  }
  ULONG AddRef() override { return ++FRefCount; }
  ULONG Release() override {
    ULONG n = --FRefCount;
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetTypeInfoCount(uint32_t* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(const IID&, const WideString* names, uint32_t count, LCID, DISPID* dispids) override {
    return FTable.GetIDsOfNames(names, count, dispids);
  }
  HRESULT Invoke(DISPID dispid, const IID&, LCID, uint16_t flags, DISPPARAMS* params, OleVariant* result,
                 EXCEPINFO* excepInfo, uint32_t*) override {
    // Keeps this object alive should the member drop the last other reference to it.
    TComPtr<Intf> self(this);
    return FTable.Invoke(dispid, flags, params, result, excepInfo);
  }

  const IID& PrimaryIID() const { return FIID; }
  IDispatch* AsDispatch() { return static_cast<Intf*>(this); }

  void Method(DISPID dispid, TMember fn) { FTable.Method(dispid, std::move(fn)); }
  void Property(DISPID dispid, TMember getter, TMember setter = nullptr) {
    FTable.Property(dispid, std::move(getter), std::move(setter));
  }

protected:
  virtual ~TAutoObject() = default;
  virtual HRESULT QueryMore(const IID&, void**) { return E_NOINTERFACE; }
  HRESULT DualCall(DISPID dispid, uint16_t flags, std::vector<OleVariant> args, OleVariant* result,
                   const OleVariant& putValue = {}) {
    TComPtr<Intf> self(this);
    return FTable.DualCall(dispid, flags, std::move(args), result, putValue);
  }
  HRESULT DualGet(DISPID dispid, OleVariant& out, std::vector<OleVariant> args = {}) {
    return DualCall(dispid, DISPATCH_PROPERTYGET, std::move(args), &out);
  }
  HRESULT DualPut(DISPID dispid, const OleVariant& v) { return DualCall(dispid, DISPATCH_PROPERTYPUT, {}, nullptr, v); }

private:
  TDispatchTable FTable;
  IID FIID;
  ULONG FRefCount = 0;
};

// The interface iid of the result of a dual call.
HRESULT QueryResult(HRESULT hr, const OleVariant& v, const IID& iid, void** out);

// Creates an object with its first reference held by the result.
template <class T, class... A>
TComPtr<T> MakeAuto(A&&... args) {
  return TComPtr<T>(new T(std::forward<A>(args)...));
}
