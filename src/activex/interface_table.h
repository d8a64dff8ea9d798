// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_INTERFACE_TABLE_H_
#define USBORVA_ACTIVEX_INTERFACE_TABLE_H_

// QueryInterface for every object of the component, over a table of the interfaces the
// object hands out: each object lists its interfaces once instead of restating the rules.
// clang-format off
#include <windows.h>
#include <unknwn.h>
// clang-format on

#include <initializer_list>

namespace usborva::activex {

// One interface of an object: its iid and the object seen as that interface (a pointer to
// the interface, converted to its IUnknown base at the same address).
struct InterfaceEntry {
  const IID& iid;
  IUnknown* as;
};

// The entry for iid in *object, with a new reference; E_NOINTERFACE and a null *object
// when the table has none; E_POINTER without a slot. Never throws.
inline HRESULT QueryInterfaceTable(std::initializer_list<InterfaceEntry> table, REFIID iid,
                                   void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  for (const InterfaceEntry& entry : table) {
    if (IsEqualIID(iid, entry.iid)) {
      *object = entry.as;
      entry.as->AddRef();
      return S_OK;
    }
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_INTERFACE_TABLE_H_
