// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_CONNECTION_POINT_H_
#define USBORVA_ACTIVEX_CONNECTION_POINT_H_

// clang-format off
#include <windows.h>
#include <ocidl.h>
// clang-format on

#include <initializer_list>
#include <utility>
#include <vector>

#include "activex/com_ptr.h"

namespace usborva::activex {

// One outgoing interface of the control. Lives inside the control object and shares its
// reference count, so a sink holding the point keeps the control alive.
class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

  const IID& iid() const { return iid_; }
  // The sinks advised now, each with a reference of its own: a sink may unadvise while it
  // is being called.
  std::vector<ComPtr<IUnknown>> Snapshot() const;

 private:
  IConnectionPointContainer* owner_;
  IID iid_;
  DWORD next_cookie_ = 1;
  std::vector<std::pair<DWORD, ComPtr<IUnknown>>> sinks_;
};

// Hands out the control's connection points one by one, each enumerator holding a reference
// to every point. E_OUTOFMEMORY when it cannot be made.
HRESULT EnumeratePoints(std::initializer_list<IConnectionPoint*> points,
                        IEnumConnectionPoints** out);

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_CONNECTION_POINT_H_
