// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_COM_PTR_H_
#define USBORVA_ACTIVEX_COM_PTR_H_

// The component's one owner of COM references: every interface pointer it keeps, receives
// from a call or hands out goes through ComPtr, so no early return or exception can leak a
// reference and none is released twice. Release() is called here and nowhere else.
// clang-format off
#include <windows.h>
#include <unknwn.h>
// clang-format on

#include <utility>

namespace usborva::activex {

// An owning pointer to a COM interface T: holds one reference, or nothing. Copying adds a
// reference, moving passes it on, and the pointer releases it when it lets go (destruction,
// assignment, Reset, Put). Every operation is noexcept: it is used inside entry points and
// destructors. Not thread-safe, like the apartment-threaded objects it points to.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already owns (no AddRef): what a constructor of ours
  // or a factory function returns.
  explicit ComPtr(T* owned) noexcept : pointer_(owned) {}
  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  // Copy or move assignment: the old reference is released after the new one is held, so
  // assigning a pointer to itself is safe.
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // A new reference to borrowed (AddRef), which the caller keeps owning: a parameter
  // passed in, or this object itself.
  static ComPtr Share(T* borrowed) noexcept {
    if (borrowed != nullptr) borrowed->AddRef();
    return ComPtr(borrowed);
  }

  // The interface, still owned by this pointer (nullptr when empty).
  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  // Releases what is held and gives the slot of an out-parameter that receives a new
  // reference (QueryInterface, CreateErrorInfo, LoadTypeLibEx and the like).
  T** Put() noexcept {
    Reset();
    return &pointer_;
  }
  // Put, as the void** that QueryInterface-style calls take.
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  // Releases what is held; empty afterwards.
  void Reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // Hands the reference to the caller, who must release it; empty afterwards.
  T* Detach() noexcept { return std::exchange(pointer_, nullptr); }
  // Hands a new reference to an out-parameter (nullptr when empty), keeping ours.
  void CopyTo(T** out) const noexcept {
    *out = pointer_;
    if (pointer_ != nullptr) pointer_->AddRef();
  }

  // What is held, as interface U (identified by iid), or an empty pointer; hr receives the
  // result of QueryInterface (E_POINTER when this pointer is empty).
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
