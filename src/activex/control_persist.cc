// SPDX-License-Identifier: Apache-2.0
// Saving and loading through the container: a property bag (text forms, designers) maps
// straight onto the control's ReadProperties / WriteProperties; a stream carries the same
// keys and values in the control's own binary layout.
#include <string>

#include "activex/com_bridge.h"
#include "activex/com_entry.h"
#include "activex/control_object.h"
#include "activex/stream_bag.h"

namespace usborva::activex {
namespace {

// The container's IPropertyBag as the control's PropertyBag.
class ComPropertyBag final : public PropertyBag {
 public:
  ComPropertyBag(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}

  // A key the bag does not hold (E_INVALIDARG, the bag's "no such property") reads as the
  // default; any other failure of the bag stops the load at this key with that error.
  Variant ReadProperty(const String& key, const Variant& default_value) override {
    const std::wstring name(key.begin(), key.end());
    OwnedVariant value;
    const HRESULT hr = bag_->Read(name.c_str(), value.get(), log_);
    if (hr == E_INVALIDARG) return default_value;
    if (FAILED(hr)) throw ComError(hr);
    return FromVariant(*value);
  }

  void WriteProperty(const String& key, const Variant& value,
                     const Variant& default_value) override {
    if (ValueEquals(value, default_value)) return;
    const std::wstring name(key.begin(), key.end());
    OwnedVariant native;
    ToVariant(value, native.get());
    const HRESULT hr = bag_->Write(name.c_str(), native.get());
    if (FAILED(hr)) throw ComError(hr);
  }

 private:
  IPropertyBag* bag_;
  IErrorLog* log_;
};

HRESULT ReadExactly(IStream* stream, void* data, ULONG size) {
  ULONG got = 0;
  HRESULT hr = stream->Read(data, size, &got);
  if (FAILED(hr)) return hr;
  return got == size ? S_OK : STG_E_READFAULT;
}

}  // namespace

STDMETHODIMP ControlObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_USBORVA;
  return S_OK;
}

STDMETHODIMP ControlObject::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP ControlObject::InitNew() {
  if (initialised_) return E_UNEXPECTED;
  initialised_ = true;
  return Guarded([&] { control_->InitProperties(); });
}

STDMETHODIMP ControlObject::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  if (initialised_) return E_UNEXPECTED;
  initialised_ = true;
  ComPropertyBag adapter(bag, log);
  return Guarded([&] {
    control_->ReadProperties(adapter);
    dirty_ = false;
  });
}

STDMETHODIMP ControlObject::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  ComPropertyBag adapter(bag, nullptr);
  return Guarded([&] {
    control_->WriteProperties(adapter);
    if (clear_dirty) dirty_ = false;
  });
}

STDMETHODIMP ControlObject::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  if (initialised_) return E_UNEXPECTED;
  uint32_t size = 0;
  HRESULT hr = ReadExactly(stream, &size, sizeof size);
  if (FAILED(hr)) return hr;
  if (size > kMaxStreamBagBytes) return ReportError(STG_E_INVALIDHEADER, L"Not a saved USBORVA");
  return Guarded([&] {
    std::vector<uint8_t> bytes(size);
    const HRESULT read = ReadExactly(stream, bytes.data(), size);
    if (FAILED(read)) throw ComError(read);
    std::optional<StreamBag> bag = StreamBag::Decode(bytes.data(), bytes.size());
    if (!bag) throw ComError(STG_E_INVALIDHEADER, L"Not a saved USBORVA");
    initialised_ = true;
    control_->ReadProperties(*bag);
    dirty_ = false;
  });
}

STDMETHODIMP ControlObject::Save(IStream* stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  StreamBag bag;
  std::vector<uint8_t> bytes;
  HRESULT hr = Guarded([&] {
    control_->WriteProperties(bag);
    bytes = bag.Encode();
  });
  if (FAILED(hr)) return hr;
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  hr = stream->Write(&size, sizeof size, nullptr);
  if (SUCCEEDED(hr)) hr = stream->Write(bytes.data(), size, nullptr);
  if (SUCCEEDED(hr) && clear_dirty) dirty_ = false;
  return hr;
}

STDMETHODIMP ControlObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  StreamBag bag;
  HRESULT hr = Guarded([&] {
    control_->WriteProperties(bag);
    size->QuadPart = sizeof(uint32_t) + bag.Encode().size();
  });
  return hr;
}

}  // namespace usborva::activex
