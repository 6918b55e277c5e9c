#include "office/OxEvents.h"

#include "platform/classlib/Forms.h"

TOxEventSink::TOxEventSink(IUnknown* server, TOxEventDispatcher dispatcher, const IID& iid)
    : FServer(server), FDispatcher(std::move(dispatcher)), FIID(iid) {
  if (!connect(amAdvise)) throw EEventSinkException("Cannot Register Events");
}

TOxEventSink::~TOxEventSink() { connect(amUnadvise); }

bool TOxEventSink::connect(TMode mode) {
  if (!FServer) return false;
  TComPtr<IConnectionPointContainer> container = FServer.Query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return false;
  TComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(FIID, point.Put())) || !point) return false;
  if (mode == amAdvise) return SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &FCookie));
  return SUCCEEDED(point->Unadvise(FCookie));
}

HRESULT TOxEventSink::QueryInterface(const IID& iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == FIID) {
    *obj = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

HRESULT TOxEventSink::GetTypeInfoCount(uint32_t* count) {
  if (count) *count = 0;
  return E_NOTIMPL;
}

HRESULT TOxEventSink::GetTypeInfo(uint32_t, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT TOxEventSink::GetIDsOfNames(const IID&, const WideString*, uint32_t, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TOxEventSink::Invoke(DISPID dispid, const IID&, LCID, uint16_t, DISPPARAMS* params, OleVariant*, EXCEPINFO*,
                             uint32_t*) {
  uint32_t n = params && params->rgvarg ? params->cArgs : 0;
  uint32_t m = n && params->rgdispidNamedArgs ? std::min(params->cNamedArgs, n) : 0;
  // The server passes arguments right to left; slot 0 is the event's first parameter.
  std::vector<OleVariant> slots(n);
  for (uint32_t i = 0; i < n; ++i) slots[i] = params->rgvarg[n - 1 - i];
  // A named argument goes to the slot its dispatch id names.
  for (uint32_t i = 0; i < m; ++i) {
    DISPID slot = params->rgdispidNamedArgs[i];
    if (slot >= 0 && uint32_t(slot) < n) slots[size_t(slot)] = params->rgvarg[i];
  }
  // A handler may disconnect and so free this sink: the call runs on copies.
  TOxEventDispatcher dispatcher = FDispatcher;
  const IID iid = FIID;
  // A handler's failure is the application's to show; the server is told all went well.
  try {
    if (dispatcher) dispatcher(iid, dispid, slots);
  } catch (...) {
    Application().HandleCurrentException();
  }
  return S_OK;
}

TOxEventAdapter::~TOxEventAdapter() {
  for (auto& sink : FSinks) sink.reset();
}

int TOxEventAdapter::findSink(const IID& iid) const {
  int found = -1;
  for (size_t i = 0; i < FSinks.size(); ++i)
    if (IsEqualGUID(FSinks[i]->EventIID(), iid)) found = int(i);
  return found;
}

void TOxEventAdapter::AddSink(const IID& iid) {
  if (findSink(iid) >= 0) return;
  FSinks.push_back(std::make_unique<TOxEventSink>(FServer.Get(), FDispatcher, iid));
}
