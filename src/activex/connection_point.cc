// SPDX-License-Identifier: Apache-2.0
#include "activex/connection_point.h"

#include <olectl.h>

#include <new>

namespace usborva::activex {

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
  ComPtr<IUnknown> typed;
  if (FAILED(sink->QueryInterface(iid_, typed.PutVoid()))) return CONNECT_E_CANNOTCONNECT;
  try {
    sinks_.emplace_back(next_cookie_, std::move(typed));
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *cookie = next_cookie_++;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      const ComPtr<IUnknown> sink = std::move(it->second);  // released after the erase
      sinks_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Snapshot() const {
  std::vector<ComPtr<IUnknown>> sinks;
  sinks.reserve(sinks_.size());
  for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
  return sinks;
}

namespace {

// A snapshot enumerator over items of type Item (IConnectionPoint* or CONNECTDATA), as
// IEnumConnectionPoints and IEnumConnections want it. Each item holds a reference.
template <typename Enum, typename Item, const IID& kIid>
class Enumerator final : public Enum {
 public:
  Enumerator(std::vector<Item> items, size_t next) : items_(std::move(items)), next_(next) {
    for (Item& item : items_) Unknown(item)->AddRef();
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid)) {
      *object = static_cast<Enum*>(this);
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
  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG got = 0;
    while (got < count && next_ < items_.size()) {
      out[got] = items_[next_++];
      Unknown(out[got++])->AddRef();
    }
    if (fetched != nullptr) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > items_.size() - next_) {
      next_ = items_.size();
      return S_FALSE;
    }
    next_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Enum** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    try {
      *out = new Enumerator(items_, next_);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

 private:
  ~Enumerator() {
    for (Item& item : items_) Unknown(item)->Release();
  }
  static IUnknown* Unknown(IConnectionPoint* point) { return point; }
  static IUnknown* Unknown(const CONNECTDATA& data) { return data.pUnk; }

  LONG references_ = 1;
  std::vector<Item> items_;
  size_t next_;
};

using PointEnumerator =
    Enumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;
using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;

}  // namespace

HRESULT EnumeratePoints(std::vector<IConnectionPoint*> points, IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    *out = new PointEnumerator(std::move(points), 0);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  try {
    std::vector<CONNECTDATA> items;
    items.reserve(sinks_.size());
    for (const auto& [cookie, sink] : sinks_) items.push_back(CONNECTDATA{sink.get(), cookie});
    *connections = new ConnectionEnumerator(std::move(items), 0);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace usborva::activex
