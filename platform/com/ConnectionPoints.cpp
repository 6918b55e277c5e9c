#include "platform/com/ConnectionPoints.h"

#include <algorithm>

#include "platform/com/ComObj.h"

HRESULT TConnectionPoint::QueryInterface(const IID& iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *obj = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

HRESULT TConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = FIID;
  return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  // A sink answers for the outgoing interface with its IDispatch.
  TComPtr<IDispatch> disp;
  if (FAILED(sink->QueryInterface(FIID, disp.PutVoid())) || !disp) return CONNECT_E_CANNOTCONNECT;
  *cookie = FNextCookie++;
  FSinks.push_back({*cookie, std::move(disp)});
  return S_OK;
}

HRESULT TConnectionPoint::Unadvise(uint32_t cookie) {
  auto it = std::find_if(FSinks.begin(), FSinks.end(), [&](const TSink& s) { return s.Cookie == cookie; });
  if (it == FSinks.end()) return CONNECT_E_NOCONNECTION;
  FSinks.erase(it);
  return S_OK;
}

void TConnectionPoint::Fire(DISPID dispid, const std::vector<OleVariant>& args) {
  std::vector<uint32_t> cookies;
  for (const TSink& s : FSinks) cookies.push_back(s.Cookie);
  std::vector<OleVariant> reversed(args.rbegin(), args.rend());
  for (uint32_t cookie : cookies) {
    // A sink unadvised by an earlier one (or freed with it) is not called, and once called a sink
    // is not touched again: sinks that do not count references may be gone by then.
    auto it = std::find_if(FSinks.begin(), FSinks.end(), [&](const TSink& t) { return t.Cookie == cookie; });
    if (it == FSinks.end()) continue;
    IDispatch* sink = it->Sink.Get();
    std::vector<OleVariant> argv = reversed;
    DISPPARAMS params;
    params.rgvarg = argv.data();
    params.cArgs = static_cast<uint32_t>(argv.size());
    OleVariant result;
    EXCEPINFO info;
    uint32_t argErr = 0;
    // A sink's failure is its own business; the server goes on with the others.
    sink->Invoke(dispid, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &info, &argErr);
  }
}
