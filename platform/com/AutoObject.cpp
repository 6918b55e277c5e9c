#include "platform/com/AutoObject.h"

const wchar_t* TDispatchTable::ServerSource = L"Microsoft Excel";

namespace {
const OleVariant& missingArg() {
  static const OleVariant m = OleVariant::Missing();
  return m;
}
}  // namespace

const OleVariant& TInvokeArgs::Arg(size_t i) const { return i < Args.size() ? Args[i].Deref() : missingArg(); }

const OleVariant& TInvokeArgs::Required(size_t i) const {
  if (!Has(i)) throw EAutoServerError(DISP_E_PARAMNOTFOUND, "A required argument is missing.");
  return Args[i].Deref();
}

HRESULT TDispatchTable::GetIDsOfNames(const WideString* names, uint32_t count, DISPID* dispids) const {
  if (!names || !dispids) return E_POINTER;
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < count; ++i) {
    dispids[i] = DISPID_UNKNOWN;
    auto it = FNames.find(UpperCase(WideToAnsi(names[i])));
    if (i == 0 && it != FNames.end() && FMembers.count(it->second)) {
      dispids[i] = it->second;
    } else {
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

void TDispatchTable::Method(DISPID dispid, TMember fn) { FMembers[dispid] = TEntry{std::move(fn), nullptr, true}; }

void TDispatchTable::Property(DISPID dispid, TMember getter, TMember setter) {
  FMembers[dispid] = TEntry{std::move(getter), std::move(setter), false};
}

HRESULT TDispatchTable::run(DISPID dispid, TInvokeArgs& args, OleVariant* result, EXCEPINFO* info) {
  auto it = FMembers.find(dispid);
  if (it == FMembers.end()) return DISP_E_MEMBERNOTFOUND;
  const TEntry& e = it->second;
  const TMember* fn = nullptr;
  if (args.IsPut()) {
    fn = e.Setter ? &e.Setter : nullptr;
  } else if (e.IsMethod ? (args.Flags & DISPATCH_METHOD) : (args.Flags & DISPATCH_PROPERTYGET)) {
    fn = &e.Getter;
  }
  if (!fn || !*fn) return DISP_E_MEMBERNOTFOUND;
  auto fail = [&](HRESULT code, const AnsiString& text) {
    if (info) {
      *info = EXCEPINFO{};
      info->bstrSource = ServerSource;
      info->bstrDescription = AnsiToWide(text);
      info->scode = code;
    }
    return DISP_E_EXCEPTION;
  };
  try {
    OleVariant v = (*fn)(args);
    if (result) *result = std::move(v);
    return S_OK;
  } catch (const EAutoServerError& e) {
    return fail(e.Code(), e.Message());
  } catch (const EVariantError&) {
    return DISP_E_TYPEMISMATCH;
  } catch (const Exception& e) {
    return fail(E_FAIL, e.Message());
  }
}

HRESULT TDispatchTable::Invoke(DISPID dispid, uint16_t flags, DISPPARAMS* params, OleVariant* result,
                               EXCEPINFO* excepInfo) {
  TInvokeArgs args;
  args.Flags = flags;
  if (params) {
    uint32_t n = params->cArgs;
    uint32_t named = std::min(params->cNamedArgs, n);
    if (n > 0 && !params->rgvarg) return E_POINTER;
    if (named > 0 && !params->rgdispidNamedArgs) return E_POINTER;
    uint32_t positional = n - named;
    args.Args.resize(positional);
    for (uint32_t i = 0; i < positional; ++i) args.Args[i] = params->rgvarg[n - 1 - i];
    for (uint32_t i = 0; i < named; ++i) {
      DISPID id = params->rgdispidNamedArgs[i];
      if (id == DISPID_PROPERTYPUT) {
        args.PutValue = params->rgvarg[i];
      } else if (id >= 0 && id < 64) {
        if (args.Args.size() <= size_t(id)) args.Args.resize(size_t(id) + 1, OleVariant::Missing());
        args.Args[size_t(id)] = params->rgvarg[i];
      } else {
        return DISP_E_PARAMNOTFOUND;
      }
    }
    // A put without the named value takes its last argument.
    if (args.IsPut() && named == 0) {
      if (args.Args.empty()) return DISP_E_BADPARAMCOUNT;
      args.PutValue = args.Args.back();
      args.Args.pop_back();
    }
  }
  return run(dispid, args, result, excepInfo);
}

HRESULT TDispatchTable::DualCall(DISPID dispid, uint16_t flags, std::vector<OleVariant> argv, OleVariant* result,
                                 const OleVariant& putValue) {
  TInvokeArgs args;
  args.Flags = flags;
  args.Args = std::move(argv);
  args.PutValue = putValue;
  EXCEPINFO info;
  HRESULT hr = run(dispid, args, result, &info);
  return hr == DISP_E_EXCEPTION ? info.scode : hr;
}

HRESULT QueryResult(HRESULT hr, const OleVariant& v, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (FAILED(hr)) return hr;
  TComPtr<IDispatch> d = v.AsDispatch();
  if (!d) return S_OK;
  return d->QueryInterface(iid, out);
}
