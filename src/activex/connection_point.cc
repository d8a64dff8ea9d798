#include "activex/connection_point.h"

#include <olectl.h>

#include <new>

namespace usborva::activex {

ConnectionPoint::~ConnectionPoint() {
  for (auto& [cookie, sink] : sinks_) sink->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = owner_;
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  IUnknown* typed = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  sinks_.emplace_back(next_cookie_, typed);
  *cookie = next_cookie_++;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      IUnknown* sink = it->second;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) *connections = nullptr;
  return E_NOTIMPL;
}

std::vector<IUnknown*> ConnectionPoint::Snapshot() const {
  std::vector<IUnknown*> sinks;
  sinks.reserve(sinks_.size());
  for (const auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  return sinks;
}

namespace {

class PointEnumerator final : public IEnumConnectionPoints {
 public:
  PointEnumerator(std::vector<IConnectionPoint*> points, size_t next)
      : points_(std::move(points)), next_(next) {
    for (IConnectionPoint* point : points_) point->AddRef();
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnectionPoints)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG got = 0;
    while (got < count && next_ < points_.size()) {
      out[got] = points_[next_++];
      out[got++]->AddRef();
    }
    if (fetched != nullptr) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    next_ += count;
    if (next_ <= points_.size()) return S_OK;
    next_ = points_.size();
    return S_FALSE;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnectionPoints** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PointEnumerator(points_, next_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~PointEnumerator() {
    for (IConnectionPoint* point : points_) point->Release();
  }

  LONG references_ = 1;
  std::vector<IConnectionPoint*> points_;
  size_t next_;
};

}  // namespace

HRESULT EnumeratePoints(std::vector<IConnectionPoint*> points, IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  *out = new (std::nothrow) PointEnumerator(std::move(points), 0);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace usborva::activex
