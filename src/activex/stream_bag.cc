// SPDX-License-Identifier: Apache-2.0
#include "activex/stream_bag.h"

#include <cstring>

namespace usborva::activex {
namespace {

constexpr uint8_t kMagic[4] = {'U', 'O', 'R', 'V'};
constexpr uint16_t kVersion = 1;

class Writer {
 public:
  void Bytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + n);
  }
  template <typename T>
  void Number(T value) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    Bytes(raw, sizeof(T));  // the component runs on little-endian machines only
  }
  void Text(const String& text) {
    Number<uint32_t>(static_cast<uint32_t>(text.size()));
    for (char16_t unit : text) Number<uint16_t>(unit);
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  bool Bytes(void* out, size_t n) {
    if (n > left_) return false;
    if (n > 0) std::memcpy(out, data_, n);
    data_ += n;
    left_ -= n;
    return true;
  }
  template <typename T>
  bool Number(T* out) {
    return Bytes(out, sizeof(T));
  }
  bool Text(String* out) {
    uint32_t n = 0;
    if (!Number(&n) || n > left_ / 2) return false;
    out->resize(n);
    for (char16_t& unit : *out) {
      uint16_t raw = 0;
      Number(&raw);
      unit = raw;
    }
    return true;
  }
  size_t left() const { return left_; }

 private:
  const uint8_t* data_;
  size_t left_;
};

void WriteValue(Writer& w, const Variant& v) {
  w.Number<uint8_t>(static_cast<uint8_t>(v.type()));
  switch (v.type()) {
    case VarType::kInteger:
      w.Number(v.integer());
      break;
    case VarType::kLong:
      w.Number(v.long_value());
      break;
    case VarType::kByte:
      w.Number(v.byte());
      break;
    case VarType::kBoolean:
      w.Number<uint8_t>(v.boolean() ? 1 : 0);
      break;
    case VarType::kDouble:
      w.Number(v.dbl());
      break;
    case VarType::kString:
      w.Text(v.string());
      break;
    case VarType::kByteArray:
      w.Number<uint32_t>(static_cast<uint32_t>(v.bytes().size()));
      w.Bytes(v.bytes().data(), v.bytes().size());
      break;
    default:
      break;
  }
}

// A number stored as T, made into its Variant; nullopt when the bytes end first.
template <typename T>
std::optional<Variant> ReadNumber(Reader& r, Variant (*make)(T)) {
  T x;
  if (!r.Number(&x)) return std::nullopt;
  return make(x);
}

std::optional<Variant> ReadValue(Reader& r) {
  uint8_t tag = 0;
  if (!r.Number(&tag)) return std::nullopt;
  switch (static_cast<VarType>(tag)) {
    case VarType::kEmpty:
      return Variant();
    case VarType::kNull:
      return Variant::Null();
    case VarType::kInteger:
      return ReadNumber(r, &Variant::FromInteger);
    case VarType::kLong:
      return ReadNumber(r, &Variant::FromLong);
    case VarType::kByte:
      return ReadNumber(r, &Variant::FromByte);
    case VarType::kBoolean: {
      uint8_t x;
      if (r.Number(&x) && x <= 1) return Variant::FromBoolean(x == 1);
      break;
    }
    case VarType::kDouble:
      return ReadNumber(r, &Variant::FromDouble);
    case VarType::kString: {
      String s;
      if (r.Text(&s)) return Variant::FromString(std::move(s));
      break;
    }
    case VarType::kByteArray: {
      uint32_t n = 0;
      if (!r.Number(&n) || n > r.left()) break;
      ByteArray bytes(n);
      r.Bytes(bytes.data(), n);
      return Variant::FromBytes(std::move(bytes));
    }
    default:
      break;
  }
  return std::nullopt;
}

}  // namespace

Variant StreamBag::ReadProperty(const String& key, const Variant& default_value) {
  for (const auto& [name, value] : entries_) {
    if (name == key) return value;
  }
  return default_value;
}

void StreamBag::WriteProperty(const String& key, const Variant& value,
                              const Variant& default_value) {
  if (ValueEquals(value, default_value)) return;
  for (auto& [name, stored] : entries_) {
    if (name == key) {
      stored = value;
      return;
    }
  }
  entries_.emplace_back(key, value);
}

std::vector<uint8_t> StreamBag::Encode() const {
  Writer w;
  w.Bytes(kMagic, sizeof kMagic);
  w.Number(kVersion);
  w.Number<uint32_t>(static_cast<uint32_t>(entries_.size()));
  for (const auto& [name, value] : entries_) {
    w.Text(name);
    WriteValue(w, value);
  }
  return w.Take();
}

std::optional<StreamBag> StreamBag::Decode(const uint8_t* data, size_t size) {
  if (size > kMaxStreamBagBytes) return std::nullopt;
  Reader r(data, size);
  uint8_t magic[4];
  uint16_t version = 0;
  uint32_t count = 0;
  if (!r.Bytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0 || !r.Number(&version) ||
      version != kVersion || !r.Number(&count) || count > r.left()) {
    return std::nullopt;
  }
  StreamBag bag;
  for (uint32_t i = 0; i < count; ++i) {
    String key;
    if (!r.Text(&key)) return std::nullopt;
    std::optional<Variant> value = ReadValue(r);
    if (!value) return std::nullopt;
    bag.entries_.emplace_back(std::move(key), std::move(*value));
  }
  if (r.left() != 0) return std::nullopt;
  return bag;
}

}  // namespace usborva::activex
