// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_COM_PTR_H_
#define USBORVA_ACTIVEX_COM_PTR_H_

// An owning pointer to a COM interface: one reference, released when the pointer lets go,
// so no early return or exception can leak a reference.
// clang-format off
#include <windows.h>
#include <unknwn.h>
// clang-format on

#include <utility>

namespace usborva::activex {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already owns (no AddRef).
  explicit ComPtr(T* owned) noexcept : pointer_(owned) {}
  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // A new reference to borrowed (AddRef).
  static ComPtr Share(T* borrowed) noexcept {
    if (borrowed != nullptr) borrowed->AddRef();
    return ComPtr(borrowed);
  }

  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  // Releases what is held; the slot for an out-parameter that receives a new reference.
  T** Put() noexcept {
    Reset();
    return &pointer_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  void Reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // Hands the reference to the caller.
  T* Detach() noexcept { return std::exchange(pointer_, nullptr); }
  // Hands a new reference to an out-parameter, keeping ours.
  void CopyTo(T** out) const noexcept {
    *out = pointer_;
    if (pointer_ != nullptr) pointer_->AddRef();
  }

  // The interface iid of what is held, or an empty pointer; hr receives the result.
  template <typename U>
  ComPtr<U> As(REFIID iid, HRESULT* hr = nullptr) const noexcept {
    ComPtr<U> out;
    const HRESULT result =
        pointer_ == nullptr ? E_POINTER : pointer_->QueryInterface(iid, out.PutVoid());
    if (hr != nullptr) *hr = result;
    if (FAILED(result)) out.Reset();
    return out;
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_COM_PTR_H_
