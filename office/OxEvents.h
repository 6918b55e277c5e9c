// Receiving a server's events: one sink per outgoing interface, advised on the server's connection
// point, and the adapter that holds the sinks of one component.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/com/ComObj.h"
#include "platform/com/ConnectionPoints.h"

QUORVEX_EXCEPTION(EEventSinkException, Exception);

// Receives (event interface, dispatch id, arguments with slot 0 the event's first parameter).
using TOxEventDispatcher = std::function<void(const IID& iid, DISPID dispid, std::vector<OleVariant>& args)>;

class TOxEventSink final : public IDispatch {
public:
  // Advises at once; raises EEventSinkException "Cannot Register Events" when the server refuses.
  TOxEventSink(IUnknown* server, TOxEventDispatcher dispatcher, const IID& iid);
  ~TOxEventSink();
  TOxEventSink(const TOxEventSink&) = delete;
  TOxEventSink& operator=(const TOxEventSink&) = delete;

  const IID& EventIID() const { return FIID; }

  HRESULT QueryInterface(const IID& iid, void** obj) override;
  // The sink lives as long as its adapter: references are not counted.
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(const IID& iid, const WideString* names, uint32_t count, LCID lcid, DISPID* dispids) override;
  HRESULT Invoke(DISPID dispid, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params, OleVariant* result,
                 EXCEPINFO* excepInfo, uint32_t* argErr) override;

private:
  enum TMode { amAdvise, amUnadvise };
  bool connect(TMode mode);

  TComPtr<IUnknown> FServer;
  uint32_t FCookie = 0;
  TOxEventDispatcher FDispatcher;
  IID FIID;
};

class TOxEventAdapter {
public:
  TOxEventAdapter(IUnknown* server, TOxEventDispatcher dispatcher)
      : FServer(server), FDispatcher(std::move(dispatcher)) {}
  // Frees every sink in order, each unadvising, then lets the server go.
  ~TOxEventAdapter();
  TOxEventAdapter(const TOxEventAdapter&) = delete;
  TOxEventAdapter& operator=(const TOxEventAdapter&) = delete;

  // One sink per interface; a second call for the same one does nothing.
  void AddSink(const IID& iid);
  int SinkCount() const { return static_cast<int>(FSinks.size()); }

private:
  int findSink(const IID& iid) const;
  TComPtr<IUnknown> FServer;
  TOxEventDispatcher FDispatcher;
  std::vector<std::unique_ptr<TOxEventSink>> FSinks;
};
