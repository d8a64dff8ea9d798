// SPDX-License-Identifier: Apache-2.0
#include "activex/connection_point.h"

#include <olectl.h>

#include <new>

#include "activex/com_entry.h"
#include "activex/interface_table.h"

namespace usborva::activex {

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** object) {
  return QueryInterfaceTable({{IID_IUnknown, this}, {IID_IConnectionPoint, this}}, iid, object);
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
  return Guarded(ErrorReport::kResultOnly, [&] {
    sinks_.emplace_back(next_cookie_, std::move(typed));
    *cookie = next_cookie_++;
  });
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

// One advised sink as IEnumConnections hands it out.
struct Connection {
  ComPtr<IUnknown> sink;
  DWORD cookie;
};

void HandOut(const ComPtr<IConnectionPoint>& point, IConnectionPoint** out) { point.CopyTo(out); }

void HandOut(const Connection& connection, CONNECTDATA* out) {
  out->dwCookie = connection.cookie;
  connection.sink.CopyTo(&out->pUnk);
}

// A snapshot enumerator, as IEnumConnectionPoints and IEnumConnections want it: Held keeps
// a reference to each item for as long as the enumerator (or a clone) lives, and every item
// handed out through Next carries a new reference of its own.
template <typename Enum, typename Item, typename Held, const IID& kIid>
class Enumerator final : public Enum {
 public:
  Enumerator(std::vector<Held> items, size_t next) : items_(std::move(items)), next_(next) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    return QueryInterfaceTable({{IID_IUnknown, this}, {kIid, this}}, iid, object);
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
    while (got < count && next_ < items_.size()) HandOut(items_[next_++], &out[got++]);
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
    return Guarded(ErrorReport::kResultOnly, [&] { *out = new Enumerator(items_, next_); });
  }

 private:
  ~Enumerator() = default;

  LONG references_ = 1;
  std::vector<Held> items_;
  size_t next_;
};

using PointEnumerator = Enumerator<IEnumConnectionPoints, IConnectionPoint*,
                                   ComPtr<IConnectionPoint>, IID_IEnumConnectionPoints>;
using ConnectionEnumerator =
    Enumerator<IEnumConnections, CONNECTDATA, Connection, IID_IEnumConnections>;

}  // namespace

HRESULT EnumeratePoints(std::initializer_list<IConnectionPoint*> points,
                        IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded(ErrorReport::kResultOnly, [&] {
    std::vector<ComPtr<IConnectionPoint>> items;
    items.reserve(points.size());
    for (IConnectionPoint* point : points) items.push_back(ComPtr<IConnectionPoint>::Share(point));
    *out = new PointEnumerator(std::move(items), 0);
  });
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  return Guarded(ErrorReport::kResultOnly, [&] {
    std::vector<Connection> items;
    items.reserve(sinks_.size());
    for (const auto& [cookie, sink] : sinks_) items.push_back(Connection{sink, cookie});
    *connections = new ConnectionEnumerator(std::move(items), 0);
  });
}

}  // namespace usborva::activex
