// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_STREAM_BAG_H_
#define USBORVA_ACTIVEX_STREAM_BAG_H_

// The property bag a container gets when it saves the control to a stream: the keys and
// Variants the control writes, kept in memory and turned into bytes. Standard C++ only.
//
// Layout, little-endian: "UORV", format version (u16 = 1), entry count (u32), then per
// entry the key (u32 code units, UTF-16 units) and the value (a type tag byte, then
// Integer i16, Long i32, Byte u8, Boolean u8, Double 8 bytes, String u32 units and the
// units, Byte array u32 length and the bytes; Empty and Null carry nothing).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "usborva/container.h"
#include "usborva/variant.h"

namespace usborva::activex {

class StreamBag final : public PropertyBag {
 public:
  Variant ReadProperty(const String& key, const Variant& default_value) override;
  void WriteProperty(const String& key, const Variant& value,
                     const Variant& default_value) override;

  std::vector<uint8_t> Encode() const;
  // nullopt when the bytes are not a bag this control wrote (wrong header, cut short,
  // unknown type, over the limits).
  static std::optional<StreamBag> Decode(const uint8_t* data, size_t size);

  size_t size() const { return entries_.size(); }

 private:
  std::vector<std::pair<String, Variant>> entries_;
};

// The largest saved state the control accepts from a stream.
inline constexpr uint32_t kMaxStreamBagBytes = 16u << 20;

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_STREAM_BAG_H_
