// Outgoing interfaces: a server's connection points, which event sinks advise and unadvise, and
// the one-point container that servers of this layer use.
#pragma once

#include <vector>

#include "platform/com/ComTypes.h"
#include "platform/com/Variants.h"

class IConnectionPoint;

class IConnectionPointContainer : public IUnknown {
public:
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;

protected:
  ~IConnectionPointContainer() = default;
};

class IConnectionPoint : public IUnknown {
public:
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;

protected:
  ~IConnectionPoint() = default;
};

// One connection point for one outgoing dispatch interface. It lives inside its server object and
// borrows that object's reference count.
class TConnectionPoint final : public IConnectionPoint {
public:
  TConnectionPoint(IUnknown& owner, const IID& iid) : FOwner(owner), FIID(iid) {}
  TConnectionPoint(const TConnectionPoint&) = delete;
  TConnectionPoint& operator=(const TConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** obj) override;
  ULONG AddRef() override { return FOwner.AddRef(); }
  ULONG Release() override { return FOwner.Release(); }
  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  const IID& ConnectionIID() const { return FIID; }
  int SinkCount() const { return static_cast<int>(FSinks.size()); }
  // Calls Invoke on every advised sink; arguments left to right. Sinks advised or unadvised
  // during the call are honoured for the next event.
  void Fire(DISPID dispid, const std::vector<OleVariant>& args);
  // Drops every sink, as when the server goes away.
  void Clear() { FSinks.clear(); }

private:
  struct TSink {
    uint32_t Cookie;
    TComPtr<IDispatch> Sink;
  };
  IUnknown& FOwner;
  IID FIID;
  std::vector<TSink> FSinks;
  uint32_t FNextCookie = 1;
};
